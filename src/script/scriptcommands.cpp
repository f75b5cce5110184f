#include "script/scriptcommands.h"

#include "document/documentwindow.h"
#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "html/pageviewer.h"
#include "html/viewerwindow.h"
#include "platform/browser.h"
#include "platform/errors.h"
#include "platform/programstart.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/ui.h"
#include "script/lines.h"
#include "script/linenumbers.h"
#include "script/livepreview.h"
#include "script/perltools.h"
#include "script/workbench.h"

#include <QAction>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace script {

namespace {

const QString kSettings = QStringLiteral("settings");

bool switchOn(const QString &key)
{
    return platform::readSetting(kSettings, key, QStringLiteral("off")) == QLatin1String("on");
}

void showMark(frame::MainWindow *w, const QString &item, bool on)
{
    if (QAction *a = w->menuItem(item)) {
        a->setCheckable(true);
        a->setChecked(on);
    }
}

// The text control takes Ctrl+K for itself (delete to the end of the
// line); in a document it is Check Syntax's.
class ScriptKeys : public QObject
{
public:
    explicit ScriptKeys(QObject *text) : QObject(text)
    {
        setObjectName(QStringLiteral("scriptKeys"));
        text->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::ShortcutOverride)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        // Left unaccepted, the key goes to the menu's shortcut.
        return key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_K);
    }
};

// What a document window gets from this menu: its keys, and its line
// numbers when they are on.
void attach(frame::MainWindow *window)
{
    bool numbersRead = false, numbers = false;
    for (document::DocumentWindow *doc : window->documents()) {
        if (doc->rtfText->findChild<QObject *>(QStringLiteral("scriptKeys"), Qt::FindDirectChildrenOnly))
            continue;
        new ScriptKeys(doc->rtfText);
        if (!numbersRead) {
            numbers = switchOn(QStringLiteral("linenumbers"));
            numbersRead = true;
        }
        if (numbers)
            showLineNumbers(window, true);
    }
}

void goToLineCommand()
{
    frame::MainWindow *w = frame::frmMain();
    platform::RichTextBox *box = w ? w->activeText() : nullptr;
    if (!box)
        return;
    const int count = fileLineCount(*box);
    const std::optional<QString> answer = platform::ui().inputBox(
        w, QStringLiteral("Go to line (1 - %1):").arg(count), QStringLiteral("Go To Line"), QString());
    if (!answer)
        return;
    bool ok = false;
    const int line = answer->trimmed().toInt(&ok);
    if (ok && line >= 1 && line <= count) {
        goToLine(*box, line);
        box->setFocus(Qt::OtherFocusReason);
    }
}

// The page the viewer shows, in the user's own browser: the same address
// of the editor's server, which serves it while the editor runs.
void openInBrowser()
{
    html::PageViewer *viewer = html::pageViewer();
    const cgi::LoopbackServer *server = cgi::LoopbackServer::existing();
    QString folder;
    const QUrl page = viewer ? viewer->brwWebBrowser->pageUrl() : QUrl();
    if (!server || !page.isValid() || !server->folderOf(page, &folder)) {
        platform::ignoreErrors([] {
            platform::ui().messageBox(frame::frmMain(),
                                      QStringLiteral("There is no page to open: preview a page or run a script first."),
                                      QStringLiteral("Open in Browser"), platform::Buttons::OK,
                                      platform::Icon::Information);
        });
        return;
    }
    platform::ignoreErrors([&] { platform::programStart().ShellOpen(page.toString(QUrl::FullyEncoded)); });
}

} // namespace

void registerScriptCommands()
{
    using frame::Tree;
    frame::addCommand(QStringLiteral("mnuScriptCheck"), [](Tree) {
        frame::MainWindow *w = frame::frmMain();
        if (w && w->activeDocument())
            Workbench::of(w)->checkSyntax(w->activeDocument());
    });
    frame::addCommand(QStringLiteral("mnuScriptRun"), [](Tree) {
        frame::MainWindow *w = frame::frmMain();
        if (w && w->activeDocument())
            Workbench::of(w)->run(w->activeDocument(), true);
    });
    frame::addCommand(QStringLiteral("mnuScriptRunAgain"), [](Tree) {
        frame::MainWindow *w = frame::frmMain();
        if (!w)
            return;
        document::DocumentWindow *doc = w->activeDocument();
        Workbench *wb = Workbench::of(w);
        // From the page viewer: the script that made its page.
        if (!doc && w->activeChild() && w->activeChild() == html::pageViewer())
            doc = wb->viewerScript();
        if (doc)
            wb->run(doc, false);
    });
    frame::addCommand(QStringLiteral("mnuScriptCheckOutput"), [](Tree) {
        if (Workbench *wb = Workbench::of(frame::frmMain(), false))
            wb->checkOutput();
    });
    frame::addCommand(QStringLiteral("mnuScriptStop"), [](Tree) {
        if (Workbench *wb = Workbench::of(frame::frmMain(), false))
            wb->stop();
    });
    frame::addCommand(QStringLiteral("mnuScriptOpenBrowser"), [](Tree) { openInBrowser(); });
    frame::addCommand(QStringLiteral("mnuScriptTidy"), [](Tree) { tidyDocument(); });
    frame::addCommand(QStringLiteral("mnuScriptCritic"), [](Tree) { criticDocument(); });
    frame::addCommand(QStringLiteral("mnuScriptPerldoc"), [](Tree) { perldocAtCaret(); });
    frame::addCommand(QStringLiteral("mnuScriptGoto"), [](Tree) { goToLineCommand(); });
    frame::addCommand(QStringLiteral("mnuScriptLineNumbers"), [](Tree) {
        frame::MainWindow *w = frame::frmMain();
        if (!w)
            return;
        const bool on = !switchOn(QStringLiteral("linenumbers"));
        platform::writeSetting(kSettings, QStringLiteral("linenumbers"), on ? QStringLiteral("on") : QStringLiteral("off"));
        showMark(w, QStringLiteral("mnuScriptLineNumbers"), on);
        showLineNumbers(w, on);
    });
    frame::addCommand(QStringLiteral("mnuScriptLivePreview"), [](Tree) {
        frame::MainWindow *w = frame::frmMain();
        if (!w)
            return;
        const bool on = !switchOn(QStringLiteral("livepreview"));
        platform::writeSetting(kSettings, QStringLiteral("livepreview"), on ? QStringLiteral("on") : QStringLiteral("off"));
        showMark(w, QStringLiteral("mnuScriptLivePreview"), on);
        LivePreview::of(w)->setOn(on);
    });
    html::setPreviewListener([](document::DocumentWindow *doc, html::PageViewer *viewer) {
        if (LivePreview *live = LivePreview::of(frame::frmMain()))
            live->previewed(doc, viewer);
    });

    // The editor's server runs scripts as the workbench says, and its runs
    // are listed in the main window's Script Output.
    cgi::LoopbackServer::setLauncher(&startScript);
    cgi::LoopbackServer::setStartHook([](cgi::LoopbackServer *) { Workbench::of(frame::frmMain()); });
}

void startUp(frame::MainWindow *window)
{
    showMark(window, QStringLiteral("mnuScriptLineNumbers"), switchOn(QStringLiteral("linenumbers")));
    const bool live = switchOn(QStringLiteral("livepreview"));
    showMark(window, QStringLiteral("mnuScriptLivePreview"), live);
    LivePreview::of(window)->setOn(live);
    attach(window);
    // A new document window is made active: it is attached then.
    QObject::connect(window->mdiArea(), &QMdiArea::subWindowActivated, window, [window] { attach(window); });
}

} // namespace script
