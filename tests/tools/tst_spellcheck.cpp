// Spell check: which words are looked at, the correction loop with a
// scripted dialog, the menu command's two faces, the speller that cannot
// run, undo, the dictionary's own character set and the real dialog.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/speller.h"
#include "platform/spelldialog.h"
#include "tools/spellcheck.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextDocument>

using platform::SpellAnswer;

namespace {

SpellAnswer answer(SpellAnswer::Action action, const QString &replacement = QString())
{
    SpellAnswer a;
    a.action = action;
    a.replacement = replacement;
    return a;
}

const QString kFinished = QStringLiteral("QZ Quick Speller Is Finished !");
const QString kQuestion = QStringLiteral(
    "A spelling dictionary is required for this feature, Do you still want to install spell check?");

} // namespace

class TestSpellCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init()
    {
        clearSettings();
        QFile::remove(platform::Speller::personalDictionaryPath());
        platform::setDictionaryFolders({});
    }

    void wordsOutsideMarkupAndCode()
    {
        const QString text = QStringLiteral(
            "<p class=\"intro\">Helo &nbsp;&#169;&#x2F; $name @list %hash $#array ${ref} "
            "$Pkg::var $::top http://www.exmaple.com/pth https://a.b/c?d=e ftp://f.g/h "
            "mailto:x@y.zz www.sitee.org joe.bloggs@exmaple.com abc123 my_var 4you "
            "don't world</p>\r\n<!-- a commnet --><br/>");
        QCOMPARE(tools::checkableWords(text),
                 (QStringList{QStringLiteral("Helo"), QStringLiteral("don't"), QStringLiteral("world")}));
        // Things that only look like markup are prose.
        QCOMPARE(tools::checkableWords(QStringLiteral("if a < b and 50% off & more")),
                 (QStringList{"if", "a", "b", "and", "off", "more"}));
    }

    void oneWordCorrectedGivesExactlyTheText()
    {
        ScriptedUi ui;
        ui.spell(answer(SpellAnswer::Change, QStringLiteral("sentence")));
        ui.answer(platform::Answer::OK);
        bool ran = false;
        const QString out =
            tools::SpellCheckText(QStringLiteral("This is a sentense.\r\nSecond line.\r\n"), &ran);
        QVERIFY(ran);
        QCOMPARE(out, QStringLiteral("This is a sentence.\r\nSecond line.\r\n"));
        QCOMPARE(ui.spellRequests.size(), 1);
        const platform::SpellRequest &r = ui.spellRequests[0];
        QCOMPARE(r.word, QStringLiteral("sentense"));
        QCOMPARE(r.context, QStringLiteral("This is a sentense."));
        QCOMPARE(r.wordInContext, 10);
        QVERIFY(r.suggestions.contains(QStringLiteral("sentence")));
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].text, kFinished);
        QCOMPARE(ui.messages[0].title, QStringLiteral("QZ Quick Speller"));
        QCOMPARE(ui.messages[0].buttons, platform::Buttons::OK);
        QCOMPARE(ui.messages[0].icon, platform::Icon::None);
        QCOMPARE(ui.unexpected, 0);
    }

    void changeAllIgnoreAllAndCancel()
    {
        ScriptedUi ui;
        ui.spell(answer(SpellAnswer::ChangeAll, QStringLiteral("the")));
        ui.spell(answer(SpellAnswer::IgnoreAll));
        ui.spell(answer(SpellAnswer::Ignore));
        ui.spell(answer(SpellAnswer::Cancel));
        ui.answer(platform::Answer::OK);
        const QString out = tools::SpellCheckText(
            QStringLiteral("teh cat, Qzxv, teh dog, Qzxv, wrold and frend"));
        // Cancel keeps what was corrected; the rest stays as it was.
        QCOMPARE(out, QStringLiteral("the cat, Qzxv, the dog, Qzxv, wrold and frend"));
        QCOMPARE(ui.spellRequests.size(), 4);
        QCOMPARE(ui.spellRequests[2].word, QStringLiteral("wrold"));
        QCOMPARE(ui.spellRequests[3].word, QStringLiteral("frend"));
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.unexpected, 0);
    }

    void addGoesToThePersonalDictionary()
    {
        const QString personal = platform::Speller::personalDictionaryPath();
        {
            ScriptedUi ui;
            ui.spell(answer(SpellAnswer::Add));
            tools::SpellCheckText(QStringLiteral("Quilletish here, Quilletish there"));
            QCOMPARE(ui.spellRequests.size(), 1);
        }
        QFile file(personal);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("Quilletish\n"));
        file.close();
        // The next check knows it from the start.
        ScriptedUi ui;
        QCOMPARE(tools::SpellCheckText(QStringLiteral("Quilletish")), QStringLiteral("Quilletish"));
        QCOMPARE(ui.spellRequests.size(), 0);
    }

    void noDictionaryStillFinishes()
    {
        QTemporaryDir empty;
        platform::setDictionaryFolders({empty.path()});
        ScriptedUi ui;
        bool ran = true;
        QCOMPARE(tools::SpellCheckText(QStringLiteral("Ths text"), &ran), QString());
        QVERIFY(!ran);
        QCOMPARE(ui.spellRequests.size(), 0);
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].text, kFinished);
    }

    void dictionaryChoiceAndCharacterSet()
    {
        QTemporaryDir dir;
        QFile aff(dir.filePath(QStringLiteral("de_DE.aff")));
        QVERIFY(aff.open(QIODevice::WriteOnly));
        aff.write("SET ISO8859-1\nTRY \xdf" "ae\xe4\n");
        aff.close();
        QFile dic(dir.filePath(QStringLiteral("de_DE.dic")));
        QVERIFY(dic.open(QIODevice::WriteOnly));
        dic.write("3\nStra\xdf" "e\nM\xe4" "dchen\nHaus\n");
        dic.close();

        QCOMPARE(platform::Speller::findDictionary(QStringLiteral("de_DE"), {dir.path()}),
                 dir.filePath(QStringLiteral("de_DE.dic")));
        // Another language falls back to en_US, and without it to nothing.
        QCOMPARE(platform::Speller::findDictionary(QStringLiteral("fr_FR"), {dir.path()}), QString());
        QCOMPARE(platform::Speller::findDictionary(QStringLiteral("fr_FR"),
                                                   {dir.path(), QStringLiteral("/usr/share/hunspell")}),
                 QStringLiteral("/usr/share/hunspell/en_US.dic"));

        platform::setDictionaryFolders({dir.path()});
        platform::Speller speller(QStringLiteral("de_DE"));
        QVERIFY(speller.isReady());
        QCOMPARE(speller.encoding(), QStringLiteral("ISO8859-1"));
        QVERIFY(speller.isCorrect(QStringLiteral("Straße")));
        QVERIFY(speller.isCorrect(QStringLiteral("Mädchen")));
        QVERIFY(!speller.isCorrect(QStringLiteral("Strase")));
        QVERIFY(speller.suggestions(QStringLiteral("Strae")).contains(QStringLiteral("Straße")));
        // A word outside the dictionary's alphabet can't be looked at.
        QVERIFY(!speller.canCheck(QStringLiteral("Ελλάδα")));
        speller.accept(QStringLiteral("Grüße"));
        QVERIFY(speller.isCorrect(QStringLiteral("Grüße")));
    }

    void firstUseAnsweredNo()
    {
        EditorFixture f;
        f.newDocument(QStringLiteral("Ths stays."));
        f.ui.answer(platform::Answer::No);
        QVERIFY(f.trigger("mnuspelling"));
        QCOMPARE(f.ui.messages.size(), 1);
        QCOMPARE(f.ui.messages[0].text, kQuestion);
        QCOMPARE(f.ui.messages[0].title, QStringLiteral("Quillet Lite"));
        QCOMPARE(f.ui.messages[0].buttons, platform::Buttons::YesNo);
        QCOMPARE(f.ui.messages[0].icon, platform::Icon::None);
        QCOMPARE(f.item("mnuspelling")->text(), QStringLiteral("Install Spell Check"));
        QCOMPARE(platform::readSetting("settings", "spellcheck", QStringLiteral("unset")),
                 QStringLiteral("unset"));
        QCOMPARE(f.ui.spellRequests.size(), 0);
        QCOMPARE(f.activeText()->Text(), QStringLiteral("Ths stays."));
    }

    void firstUseYesChecksTheWholeTextAtOnce()
    {
        EditorFixture f;
        const QString original = QStringLiteral("Ths line\r\n<b>$varr</b> is fine");
        f.newDocument(original);
        platform::RichTextBox *box = f.activeText();
        // A selection is ignored: the whole text goes through.
        box->setSelStart(10);
        box->setSelLength(4);
        f.ui.answer(platform::Answer::Yes);
        f.ui.spell(answer(SpellAnswer::Change, QStringLiteral("This")));
        f.ui.answer(platform::Answer::OK);
        QVERIFY(f.trigger("mnuspelling"));
        QCOMPARE(f.item("mnuspelling")->text(), QStringLiteral("Check &Spelling"));
        QCOMPARE(platform::readSetting("settings", "spellcheck", QString()), QStringLiteral("Check &Spelling"));
        QCOMPARE(f.ui.spellRequests.size(), 1);
        QCOMPARE(f.ui.spellRequests[0].word, QStringLiteral("Ths"));
        QCOMPARE(box->Text(), QStringLiteral("This line\r\n<b>$varr</b> is fine"));
        QCOMPARE(f.ui.messages.size(), 2);
        QCOMPARE(f.ui.messages[1].text, kFinished);
        QCOMPARE(f.ui.unexpected, 0);

        // The replacement is one edit, undone in one step.
        box->document()->undo();
        QCOMPARE(box->Text(), original);
    }

    void quickLinkCopyFollowsTheMainCaption()
    {
        platform::writeSetting("settings", "spellcheck", "Check &Spelling");
        EditorFixture f;
        f.newDocument(QStringLiteral("Quick tset"));
        f.ui.spell(answer(SpellAnswer::Change, QStringLiteral("test")));
        QVERIFY(f.triggerQuick("mnuspelling"));
        QCOMPARE(f.activeText()->Text(), QStringLiteral("Quick test"));
        QCOMPARE(f.ui.messages.size(), 1); // no install question
    }

    void spellerThatCannotRunLeavesTheDocument()
    {
        platform::writeSetting("settings", "spellcheck", "Check &Spelling");
        QTemporaryDir empty;
        EditorFixture f;
        f.newDocument(QStringLiteral("Ths must stay"));
        f.window()->framclean();
        platform::setDictionaryFolders({empty.path()});
        QVERIFY(f.trigger("mnuspelling"));
        platform::setDictionaryFolders({});
        QCOMPARE(f.ui.messages.size(), 1);
        QCOMPARE(f.ui.messages[0].text, kFinished);
        QCOMPARE(f.activeText()->Text(), QStringLiteral("Ths must stay"));
        QCOMPARE(f.window()->panelText(2), QString());
    }

    void noDocumentSavesTheSettingOnly()
    {
        EditorFixture f;
        f.ui.answer(platform::Answer::Yes);
        QVERIFY(f.trigger("mnuspelling"));
        QCOMPARE(platform::readSetting("settings", "spellcheck", QString()), QStringLiteral("Check &Spelling"));
        QCOMPARE(f.ui.messages.size(), 1); // the question, nothing after it
        QCOMPARE(f.ui.spellRequests.size(), 0);
    }

    void realDialog()
    {
        platform::SpellRequest request;
        request.word = QStringLiteral("sentense");
        request.context = QStringLiteral("This is a sentense here.");
        request.wordInContext = 10;
        request.suggestions = QStringList{QStringLiteral("sentence"), QStringLiteral("sentenced")};
        platform::SpellDialog dialog(request);
        QVERIFY(dialog.isModal());
        for (const char *name : {"txtContext", "txtChangeTo", "lstSuggestions", "cmdChange",
                                 "cmdChangeAll", "cmdIgnore", "cmdIgnoreAll", "cmdAdd", "cmdCancel"})
            QVERIFY2(dialog.findChild<QWidget *>(QLatin1String(name)), name);
        QVERIFY(dialog.txtContext->isReadOnly());
        QCOMPARE(dialog.txtContext->toPlainText(), request.context);
        // The word is marked in its context, and only the word.
        const QTextBlock block = dialog.txtContext->document()->firstBlock();
        QTextCursor probe(block);
        probe.setPosition(12);
        QCOMPARE(probe.charFormat().fontWeight(), int(QFont::Bold));
        probe.setPosition(5);
        QVERIFY(probe.charFormat().fontWeight() != int(QFont::Bold));
        QCOMPARE(dialog.txtChangeTo->text(), QStringLiteral("sentence"));
        QCOMPARE(dialog.lstSuggestions->count(), 2);

        dialog.lstSuggestions->setCurrentRow(1);
        QCOMPARE(dialog.txtChangeTo->text(), QStringLiteral("sentenced"));
        dialog.cmdChangeAll->click();
        QCOMPARE(dialog.answer().action, SpellAnswer::ChangeAll);
        QCOMPARE(dialog.answer().replacement, QStringLiteral("sentenced"));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        // Nothing to change to: only the other buttons work; Escape cancels.
        request.suggestions.clear();
        platform::SpellDialog bare(request);
        QCOMPARE(bare.txtChangeTo->text(), QStringLiteral("sentense"));
        bare.txtChangeTo->clear();
        QVERIFY(!bare.cmdChange->isEnabled());
        bare.show();
        QTest::keyClick(&bare, Qt::Key_Escape);
        QCOMPARE(bare.answer().action, SpellAnswer::Cancel);
        QVERIFY(!bare.isVisible());
    }
};

QTEST_MAIN(TestSpellCheck)
#include "tst_spellcheck.moc"
