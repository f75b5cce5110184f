#include "tools/spellcheck.h"

#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/speller.h"
#include "platform/ui.h"
#include "tools/toolcommands.h"

#include <QAction>
#include <QHash>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>

namespace tools {

namespace {

const QString kInstall = QStringLiteral("Install Spell Check");
const QString kCheck = QStringLiteral("Check &Spelling");

// Runs of text the speller never looks at, each tried where it may start.
const QRegularExpression &tagPattern()
{
    static const QRegularExpression re(QStringLiteral("<[A-Za-z/!?][^>]*>"));
    return re;
}
const QRegularExpression &entityPattern()
{
    static const QRegularExpression re(
        QStringLiteral("&(?:#[0-9]+|#[xX][0-9A-Fa-f]+|[A-Za-z][A-Za-z0-9]*);"));
    return re;
}
const QRegularExpression &variablePattern()
{
    // $name, @list, %hash, $#array, ${...}, $Package::name, $::name
    static const QRegularExpression re(QStringLiteral(
        "[$@%]#?(?:\\{[^}\\n]*\\}|(?:::)?[A-Za-z_][A-Za-z0-9_]*(?:::[A-Za-z_][A-Za-z0-9_]*)*)"));
    return re;
}
const QRegularExpression &addressPattern()
{
    static const QRegularExpression re(
        QStringLiteral("(?:(?:https?|ftp)://|mailto:|www\\.)[^\\s\"'<>]+"),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}
const QRegularExpression &mailPattern()
{
    static const QRegularExpression re(
        QStringLiteral("[A-Za-z0-9._%+-]+@[A-Za-z0-9-]+(?:\\.[A-Za-z0-9-]+)*\\.[A-Za-z]{2,}"));
    return re;
}

// The length of a match that starts exactly at pos, or 0.
int matchAt(const QRegularExpression &re, const QString &text, int pos)
{
    const QRegularExpressionMatch m =
        re.match(text, pos, QRegularExpression::NormalMatch,
                 QRegularExpression::AnchorAtOffsetMatchOption);
    return m.hasMatch() ? int(m.capturedLength()) : 0;
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c == QLatin1Char('_');
}

bool isApostrophe(QChar c)
{
    return c == QLatin1Char('\'') || c == QChar(0x2019);
}

// The line around a word, clipped to a readable length.
QString contextOf(const QString &text, int start, int length, int *wordInContext)
{
    int from = start;
    while (from > 0 && text.at(from - 1) != QLatin1Char('\n') && text.at(from - 1) != QLatin1Char('\r'))
        --from;
    int to = start + length;
    while (to < text.size() && text.at(to) != QLatin1Char('\n') && text.at(to) != QLatin1Char('\r'))
        ++to;
    const int margin = 60;
    from = qMax(from, start - margin);
    to = qMin(to, start + length + margin);
    *wordInContext = start - from;
    return text.mid(from, to - from);
}

} // namespace

bool nextCheckableWord(const QString &text, int from, int *start, int *length)
{
    int i = qMax(0, from);
    const int n = int(text.size());
    while (i < n) {
        const QChar c = text.at(i);
        int skip = 0;
        if (c == QLatin1Char('<'))
            skip = matchAt(tagPattern(), text, i);
        else if (c == QLatin1Char('&'))
            skip = matchAt(entityPattern(), text, i);
        else if (c == QLatin1Char('$') || c == QLatin1Char('@') || c == QLatin1Char('%'))
            skip = matchAt(variablePattern(), text, i);
        if (skip > 0) {
            i += skip;
            continue;
        }
        if (!isWordChar(c)) {
            ++i;
            continue;
        }
        // A word, unless it starts an address.
        skip = matchAt(addressPattern(), text, i);
        if (!skip)
            skip = matchAt(mailPattern(), text, i);
        if (skip > 0) {
            i += skip;
            continue;
        }
        int end = i + 1;
        bool code = c.isDigit() || c == QLatin1Char('_');
        while (end < n) {
            const QChar d = text.at(end);
            if (isWordChar(d)) {
                code = code || d.isDigit() || d == QLatin1Char('_');
                ++end;
            } else if (isApostrophe(d) && end + 1 < n && text.at(end + 1).isLetter()) {
                end += 2;
            } else {
                break;
            }
        }
        // Words with digits or underscores are names in code, not prose.
        if (!code) {
            *start = i;
            *length = end - i;
            return true;
        }
        i = end;
    }
    return false;
}

QStringList checkableWords(const QString &text)
{
    QStringList words;
    int start = 0, length = 0, pos = 0;
    while (nextCheckableWord(text, pos, &start, &length)) {
        words << text.mid(start, length);
        pos = start + length;
    }
    return words;
}

QString SpellCheckText(const QString &text, bool *ran)
{
    QString result = text;
    bool ok = false;
    platform::ignoreErrors([&] {
        platform::Speller speller;
        if (!speller.isReady())
            return;
        speller.loadPersonal();
        ok = true;
        QSet<QString> ignored;
        QHash<QString, QString> changeAll;
        int pos = 0, start = 0, length = 0;
        while (nextCheckableWord(result, pos, &start, &length)) {
            const QString word = result.mid(start, length);
            pos = start + length;
            if (ignored.contains(word))
                continue;
            const auto all = changeAll.constFind(word);
            if (all != changeAll.constEnd()) {
                result.replace(start, length, all.value());
                pos = start + int(all.value().size());
                continue;
            }
            if (!speller.canCheck(word) || speller.isCorrect(word))
                continue;
            platform::SpellRequest request;
            request.word = word;
            request.context = contextOf(result, start, length, &request.wordInContext);
            request.suggestions = speller.suggestions(word);
            request.parent = frame::frmMain();
            const platform::SpellAnswer answer = platform::ui().spellDialog(request);
            switch (answer.action) {
            case platform::SpellAnswer::Change:
            case platform::SpellAnswer::ChangeAll:
                result.replace(start, length, answer.replacement);
                pos = start + int(answer.replacement.size());
                if (answer.action == platform::SpellAnswer::ChangeAll)
                    changeAll.insert(word, answer.replacement);
                break;
            case platform::SpellAnswer::Ignore:
                break;
            case platform::SpellAnswer::IgnoreAll:
                ignored.insert(word);
                break;
            case platform::SpellAnswer::Add:
                speller.addToPersonal(word);
                break;
            case platform::SpellAnswer::Cancel:
                // Like closing the dialog: what was corrected stays.
                return;
            }
        }
    });
    platform::ignoreErrors([] {
        platform::ui().messageBox(frame::frmMain(), QStringLiteral("QZ Quick Speller Is Finished !"),
                                  QStringLiteral("QZ Quick Speller"), platform::Buttons::OK,
                                  platform::Icon::None);
    });
    if (ran)
        *ran = ok;
    return ok ? result : QString();
}

namespace {

void spellingCommand()
{
    frame::MainWindow *w = frame::frmMain();
    QAction *item = w->menuItem(QStringLiteral("mnuspelling"));
    if (item->text() == kInstall) {
        const platform::Answer answer = platform::ui().messageBox(
            w,
            QStringLiteral("A spelling dictionary is required for this feature, Do you still want to "
                           "install spell check?"),
            platform::appTitle(), platform::Buttons::YesNo, platform::Icon::None);
        if (answer != platform::Answer::Yes)
            return;
        item->setText(kCheck);
    }
    if (item->text() != kCheck)
        return;
    platform::writeSetting(QStringLiteral("settings"), QStringLiteral("spellcheck"), kCheck);
    QPointer<platform::RichTextBox> box = &w->requireText();
    const QString text = box->Text();
    bool ran = false;
    const QString corrected = SpellCheckText(text, &ran);
    // A speller that could not run gives nothing back: the document keeps
    // its text rather than being emptied.
    if (!ran || corrected.isEmpty() || !box)
        return;
    box->setText(corrected);
}

} // namespace

void registerSpellCommands()
{
    // The Quick Link copy runs the same command, steered by the main
    // menu's caption.
    frame::addCommand(QStringLiteral("mnuspelling"),
                      [](frame::Tree) { platform::endOnError(spellingCommand); });
}

} // namespace tools
