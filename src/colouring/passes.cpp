#include "colouring/passes.h"

#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"

#include <QAction>

namespace colouring {

const Switch kSwitches[4] = {{"setto", "mnucoloron", "mnucoloroff"},
                             {"edit", "mnuediton", "mnueditoff"},
                             {"var", "mnuvaron", "mnuvaroff"},
                             {"com", "mnucomcoloron", "mnucomcoloroff"}};

const Switch &tagSwitch()
{
    return kSwitches[0];
}

namespace {

struct PassData
{
    const Switch &sw;
    QChar opener;
    QChar closer;
    int startOffset;  // start = o + startOffset
    int lengthOffset; // length = c - o + lengthOffset
    unsigned colour;
    bool clearsMarker;
};

const PassData kTags{kSwitches[0], QLatin1Char('<'), QLatin1Char('>'), -1, 1, kTagColour, false};
const PassData kEditAreas{kSwitches[1], QLatin1Char('='), QLatin1Char(';'), 1, -3, kEditAreaColour, true};
const PassData kVariables{kSwitches[2], QLatin1Char('$'), QLatin1Char('='), -1, 0, kVariableColour, true};
const PassData kComments{kSwitches[3], QLatin1Char('#'), QLatin1Char(' '), -1, 0, kCommentColour, true};

// 1-based search from a 1-based start; 0 when not found. A start below 1
// is an invalid call.
int inStr(int start, const QString &s, QChar c)
{
    if (start < 1)
        throw platform::ControlError(5, QStringLiteral("Invalid procedure call or argument"));
    const qsizetype at = s.indexOf(c, start - 1);
    return at < 0 ? 0 : int(at) + 1;
}

void mark(frame::Tree marks, const char *item)
{
    frame::MainWindow *w = frame::frmMain();
    if (!w)
        return;
    QAction *a = marks == frame::Tree::Main ? w->menuItem(QString::fromLatin1(item))
                                            : w->quickItem(QString::fromLatin1(item));
    frame::checkPair(a, nullptr);
}

void runPass(const PassData &p, platform::RichTextBox &box, frame::Tree marks)
{
    const QString setting =
        platform::readSetting(QStringLiteral("settings"), QString::fromLatin1(p.sw.key), QStringLiteral("on"));
    if (setting != QLatin1String("on")) {
        mark(marks, p.sw.offItem);
        return;
    }
    mark(marks, p.sw.onItem);
    const QString s = box.Text();
    {
        // Redraw stays suspended while the pass selects and colours its
        // runs, and resumes however the pass ends.
        platform::SuspendedRedraw suspended(box);
        int start = 1;
        for (;;) {
            const int o = inStr(start, s, p.opener);
            if (o == 0)
                break;
            const int c = inStr(o, s, p.closer);
            box.setSelStart(o + p.startOffset);
            box.setSelLength(c - o + p.lengthOffset);
            box.setSelColor(p.colour);
            start = c;
        }
    }
    if (p.clearsMarker) {
        if (frame::MainWindow *w = frame::frmMain())
            w->setPanelText(2, QString());
    }
}

} // namespace

void htmlTagPass(platform::RichTextBox &box, frame::Tree marks)
{
    runPass(kTags, box, marks);
}

void editAreaPass(platform::RichTextBox &box)
{
    runPass(kEditAreas, box, frame::Tree::Main);
}

void variablePass(platform::RichTextBox &box)
{
    runPass(kVariables, box, frame::Tree::Main);
}

void commentPass(platform::RichTextBox &box)
{
    runPass(kComments, box, frame::Tree::Main);
}

} // namespace colouring
