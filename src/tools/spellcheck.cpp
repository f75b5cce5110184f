#include "tools/spellcheck.h"

#include "document/documentwindow.h"
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
#include <QSet>
#include <QTextCursor>

#include <algorithm>
#include <future>
#include <memory>

namespace tools {

namespace {

const QString kInstall = QStringLiteral("Install Spell Check");
const QString kCheck = QStringLiteral("Check &Spelling");

// The line around a word, clipped to a readable length, with the
// corrections already chosen on it.
QString contextOf(const QString &text, const std::vector<SpellEdit> &edits, int start, int length,
                  int *wordInContext)
{
    const int margin = 60;
    int from = start;
    while (from > 0 && start - from < margin && text.at(from - 1) != u'\n' && text.at(from - 1) != u'\r')
        --from;
    int to = start + length;
    while (to < int(text.size()) && to - start - length < margin && text.at(to) != u'\n'
           && text.at(to) != u'\r')
        ++to;
    QString context;
    int pos = from;
    auto e = std::lower_bound(edits.begin(), edits.end(), from,
                              [](const SpellEdit &edit, int p) { return edit.start < p; });
    for (; e != edits.end() && e->start + e->length <= start; ++e) {
        context += QStringView(text).mid(pos, e->start - pos);
        context += e->replacement;
        pos = e->start + e->length;
    }
    context += QStringView(text).mid(pos, start - pos);
    *wordInContext = int(context.size());
    context += QStringView(text).mid(start, to - start);
    return context;
}

QString singleLine(QString s)
{
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

void showMessage(const QString &text, platform::Icon icon)
{
    platform::ignoreErrors([&] {
        platform::ui().messageBox(frame::frmMain(), text, QStringLiteral("QZ Quick Speller"),
                                  platform::Buttons::OK, icon);
    });
}

} // namespace

SpellOutcome checkSpelling(const QString &text, DocumentKind kind)
{
    SpellOutcome outcome;
    platform::ignoreErrors([&] {
        // The dictionary loads while the words are found.
        auto loading = std::async(std::launch::async, [] {
            auto speller = std::make_unique<platform::Speller>();
            if (speller->isReady())
                speller->loadPersonal();
            return speller;
        });
        const std::vector<ProseWord> words = proseWords(text, kind);
        const std::unique_ptr<platform::Speller> loaded = loading.get();
        platform::Speller &speller = *loaded;
        if (!speller.isReady())
            return;
        outcome.ran = true;
        // Views into text, which stays as it is: corrections are edits.
        QHash<QStringView, bool> known;
        QSet<QStringView> ignored;
        QHash<QStringView, QString> changeAll;
        std::vector<SpellEdit> &edits = outcome.edits;
        for (const ProseWord &w : words) {
            const QStringView word = QStringView(text).mid(w.start, w.length);
            if (ignored.contains(word))
                continue;
            const auto all = changeAll.constFind(word);
            if (all != changeAll.constEnd()) {
                edits.push_back(SpellEdit{w.start, w.length, all.value()});
                continue;
            }
            auto k = known.constFind(word);
            if (k == known.constEnd()) {
                const QString s = word.toString();
                k = known.insert(word, !speller.canCheck(s) || speller.isCorrect(s));
            }
            if (k.value())
                continue;
            platform::SpellRequest request;
            request.word = word.toString();
            request.context = contextOf(text, edits, w.start, w.length, &request.wordInContext);
            request.suggestions = speller.suggestions(request.word);
            request.parent = frame::frmMain();
            const platform::SpellAnswer answer = platform::ui().spellDialog(request);
            const QString replacement = singleLine(answer.replacement);
            switch (answer.action) {
            case platform::SpellAnswer::Change:
            case platform::SpellAnswer::ChangeAll:
                // Nothing to change to, or the word itself: nothing changes.
                if (replacement.isEmpty() || replacement == word)
                    break;
                edits.push_back(SpellEdit{w.start, w.length, replacement});
                if (answer.action == platform::SpellAnswer::ChangeAll)
                    changeAll.insert(word, replacement);
                break;
            case platform::SpellAnswer::Ignore:
                break;
            case platform::SpellAnswer::IgnoreAll:
                ignored.insert(word);
                break;
            case platform::SpellAnswer::Add:
                speller.addToPersonal(request.word);
                known.clear(); // the word, and its forms, are known now
                break;
            case platform::SpellAnswer::Cancel:
                // Like closing the dialog: what was corrected stays.
                return;
            }
        }
    });
    if (outcome.ran)
        showMessage(QStringLiteral("QZ Quick Speller Is Finished !"), platform::Icon::None);
    else
        showMessage(platform::Speller::missingDictionaryMessage(), platform::Icon::Warning);
    return outcome;
}

QString applyEdits(const QString &text, const std::vector<SpellEdit> &edits)
{
    QString out;
    out.reserve(text.size());
    int pos = 0;
    for (const SpellEdit &e : edits) {
        out += QStringView(text).mid(pos, e.start - pos);
        out += e.replacement;
        pos = e.start + e.length;
    }
    out += QStringView(text).mid(pos);
    return out;
}

void applyEdits(platform::RichTextBox &box, const std::vector<SpellEdit> &edits)
{
    if (edits.empty())
        return;
    // The caret goes back where it was, moved by the edits before it.
    int caret = box.SelStart();
    int moved = caret;
    for (const SpellEdit &e : edits) {
        if (e.start >= caret)
            break;
        moved = e.start + e.length <= caret ? moved + int(e.replacement.size()) - e.length
                                            : moved - (caret - e.start);
    }
    // Last word first, so that the positions before it stay valid. Each
    // word is its own change (its colour carries over to the replacement),
    // all of them one step for Undo.
    QTextCursor group(box.document());
    for (auto e = edits.rbegin(); e != edits.rend(); ++e) {
        if (e == edits.rbegin())
            group.beginEditBlock();
        else
            group.joinPreviousEditBlock();
        box.setSelStart(e->start);
        box.setSelLength(e->length);
        box.setSelText(e->replacement);
        group.endEditBlock();
    }
    box.setSelStart(moved);
}

QString SpellCheckText(const QString &text, bool *ran)
{
    const SpellOutcome outcome = checkSpelling(text, documentKind(QString(), text));
    if (ran)
        *ran = outcome.ran;
    return outcome.ran ? applyEdits(text, outcome.edits) : QString();
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
    const document::DocumentWindow *doc = w->activeDocument();
    const QString text = box->Text();
    const DocumentKind kind = documentKind(doc && doc->hasFile() ? doc->caption() : QString(), text);
    const SpellOutcome outcome = checkSpelling(text, kind);
    // A speller that could not run changes nothing; nor is a document
    // written to whose text changed meanwhile.
    if (!outcome.ran || outcome.edits.empty() || !box || box->Text() != text)
        return;
    applyEdits(*box, outcome.edits);
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
