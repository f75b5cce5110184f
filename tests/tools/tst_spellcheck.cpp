// Spell check: which words are prose in a script and a page, the
// correction loop with a scripted dialog, the menu command's two faces, the
// speller that cannot run, the text coming back exactly (line breaks,
// colours, undo), the dictionary's language and character set, and the
// real dialog, where Enter changes nothing the user hasn't chosen.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/speller.h"
#include "platform/spelldialog.h"
#include "tools/spellcheck.h"
#include "tools/spellwords.h"

#include <QAction>
#include <QApplication>
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

QString sample(const char *name)
{
    return QStringLiteral(QUILLET_SOURCE_DIR "/tests/data/spell/") + QLatin1String(name);
}

// Text() of a sample: line breaks as CR LF.
QString sampleText(const char *name)
{
    QString s = QString::fromUtf8(readFile(sample(name)));
    s.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return s;
}

// Answers every spelling question with Ignore and records the words.
class IgnoringUi : public ScriptedUi
{
public:
    QStringList words;
    platform::SpellAnswer spellDialog(const platform::SpellRequest &request) override
    {
        words << request.word;
        return ::answer(SpellAnswer::Ignore);
    }
};

// Shows the real dialog for every question and presses Enter in it.
class EnterUi : public ScriptedUi
{
public:
    QStringList words;
    platform::SpellAnswer spellDialog(const platform::SpellRequest &request) override
    {
        words << request.word;
        platform::SpellDialog dialog(request);
        dialog.show();
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        return dialog.answer();
    }
};

QStringList wordsOf(const QString &text, tools::DocumentKind kind)
{
    QStringList out;
    for (const tools::ProseWord &w : tools::proseWords(text, kind))
        out << text.mid(w.start, w.length);
    return out;
}

} // namespace

class TestSpellCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init()
    {
        qputenv("LANG", "en_US.UTF-8");
        qunsetenv("LC_ALL");
        qunsetenv("LC_MESSAGES");
        clearSettings();
        QFile::remove(platform::Speller::personalDictionaryPath());
        platform::setDictionaryFolders({});
    }

    void questionsAreTheMisspeltProse_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("questions");
        // Code words that a speller would question (usr, elsif, foreach,
        // qw, param, STDIN, Verdana, Detials, initalise, emial, teh, quik)
        // are never asked about.
        QTest::newRow("CGI script") << "guestbook.cgi"
                                    << QStringList{"undernieth", "mesage", "dubble", "Plese", "nmae",
                                                   "fountian", "succesfully", "apends"};
        QTest::newRow("HTML page") << "club.html"
                                   << QStringList{"tournement", "remarkible", "trophey", "calandar", "adress"};
    }
    void questionsAreTheMisspeltProse()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, questions);
        const QString text = sampleText(file.toLatin1().constData());
        IgnoringUi ui;
        const tools::SpellOutcome outcome =
            tools::checkSpelling(text, tools::documentKind(sample(file.toLatin1().constData()), text));
        QCOMPARE(ui.words, questions);
        QVERIFY(outcome.ran);
        QVERIFY(outcome.edits.empty());
    }

    void wordsLeftOut_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("words");
        const int plain = int(tools::DocumentKind::Plain), perl = int(tools::DocumentKind::Perl),
                  html = int(tools::DocumentKind::Html);
        QTest::newRow("names and addresses")
            << plain
            << "fooBar iPhone STDIN HTMLPARSER abc123 my_var http://a.example/x joe@example.com "
               "/usr/bin ./run C:\\dir index.html Foo::Bar don't Word"
            << QStringList{"HTMLPARSER", "don't", "Word"};
        QTest::newRow("names the document uses")
            << perl << "my ($wrod, @lsit, %hsah); sub frobnicate {}\n# wrod lsit hsah frobnicate here"
            << QStringList{"here"};
        QTest::newRow("punctuation variables")
            << perl << "my $x = $' . $\" . $/; # one\nprint \"two words\";"
            << QStringList{"one", "two", "words"};
        QTest::newRow("quote-like operators")
            << perl << "my @a = qw(alpha beta); $s =~ s{gamma delta}{epsilon zeta}gx; "
                       "$t =~ tr/a-z/A-Z/; print q{single quoted}, qq[double $x quoted];"
            << QStringList{"single", "quoted", "double", "quoted"};
        QTest::newRow("division and patterns")
            << perl << "$a = $b / 2; # half\n$c = 4 / $d; # quarter\n"
                       "if ($x =~ /some words/) { split /more words/, $y }"
            << QStringList{"half", "quarter"};
        QTest::newRow("strings")
            << perl << "$h{'key'}; open(F, '<', \"file name\"); printf(\"%-5s items %d\\n\", $n);"
                       " die \"Can\\'t go\\tthere: $!\";"
            << QStringList{"file", "name", "items", "go", "there"};
        QTest::newRow("indented here-document")
            << perl << "print <<~EOT;\n    <b>Bold</b> text ${name}s\n    EOT\n# after"
            << QStringList{"Bold", "text", "after"};
        QTest::newRow("markup")
            << html << "<p title='Tip text' class=\"big\">One&nbsp;two caf&eacute; Hel<b>lo</b> &lt;/tbody&gt;</p>"
                       "<script>var wrod;</script><STYLE>p{}</STYLE><!-- note -->"
            << QStringList{"Tip", "text", "One", "two", "note"};
    }
    void wordsLeftOut()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QStringList, words);
        QCOMPARE(wordsOf(text, tools::DocumentKind(kind)), words);
    }

    void documentKinds()
    {
        using tools::DocumentKind;
        QCOMPARE(tools::documentKind("/x/a.PL", "<html>"), DocumentKind::Perl);
        QCOMPARE(tools::documentKind("/x/a.t", QString()), DocumentKind::Perl);
        QCOMPARE(tools::documentKind("/x/a.shtml", "#!/usr/bin/perl"), DocumentKind::Html);
        QCOMPARE(tools::documentKind("/x/a.txt", "#!/usr/bin/perl"), DocumentKind::Plain);
        QCOMPARE(tools::documentKind("/x/search", "#!/usr/bin/env perl -w\r\n"), DocumentKind::Perl);
        QCOMPARE(tools::documentKind(QString(), "\r\n  <p>"), DocumentKind::Html);
        QCOMPARE(tools::documentKind(QString(), "#!/bin/sh\r\n<p>"), DocumentKind::Plain);
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

    void noDictionarySaysWhatIsMissing()
    {
        QTemporaryDir empty;
        platform::setDictionaryFolders({empty.path()});
        qputenv("LANG", "de_DE.UTF-8");
        ScriptedUi ui;
        bool ran = true;
        QCOMPARE(tools::SpellCheckText(QStringLiteral("Ths text"), &ran), QString());
        QVERIFY(!ran);
        QCOMPARE(ui.spellRequests.size(), 0);
        QCOMPARE(ui.messages.size(), 1);
        // Not "finished": what is missing and how to install it.
        const QString text = ui.messages[0].text;
        QVERIFY2(text.contains(QLatin1String("de_DE")) && text.contains(QLatin1String("en_US"))
                     && text.contains(QLatin1String("apt install hunspell-en-us")),
                 qPrintable(text));
        QVERIFY(!text.contains(QLatin1String("Finished")));
        QCOMPARE(ui.messages[0].title, QStringLiteral("QZ Quick Speller"));
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

        // The user's language, a country of it that has no dictionary, and
        // a language without one.
        platform::setDictionaryFolders({dir.path(), QStringLiteral("/usr/share/hunspell")});
        qputenv("LANG", "de_DE.UTF-8");
        qputenv("LC_ALL", "C");
        QCOMPARE(platform::Speller().dictionaryPath(), dir.filePath(QStringLiteral("de_DE.dic")));
        qputenv("LC_ALL", "de_AT.UTF-8@euro");
        QCOMPARE(platform::Speller().dictionaryPath(), dir.filePath(QStringLiteral("de_DE.dic")));
        qputenv("LC_ALL", "fr_FR.UTF-8");
        QCOMPARE(platform::Speller().dictionaryPath(), QStringLiteral("/usr/share/hunspell/en_US.dic"));

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
        QVERIFY(f.ui.messages[0].text.contains(QLatin1String("hunspell-en-us")));
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

    void checkThatChangesNothingLeavesTheDocumentUntouched()
    {
        platform::writeSetting("settings", "spellcheck", "Check &Spelling");
        EditorFixture f(sample("guestbook.cgi"));
        platform::RichTextBox *box = f.activeText();
        const QString text = box->Text();
        const std::vector<platform::ColourRuns::Run> runs = box->colourRuns().all();
        const int undoSteps = box->document()->availableUndoSteps();
        QVERIFY(runs.size() > 20);
        {
            // Enter on every question of the real dialog.
            EnterUi ui;
            QVERIFY(f.trigger("mnuspelling"));
            QCOMPARE(ui.words.size(), 8);
            QCOMPARE(ui.messages.size(), 1);
            QCOMPARE(ui.messages[0].text, kFinished);
        }
        platform::setUi(&f.ui);
        QCOMPARE(box->Text(), text);
        QCOMPARE(box->document()->availableUndoSteps(), undoSteps);
        QCOMPARE(f.window()->panelText(2), QString());
        const std::vector<platform::ColourRuns::Run> after = box->colourRuns().all();
        QCOMPARE(after.size(), runs.size());
        for (size_t i = 0; i < runs.size(); ++i) {
            QCOMPARE(after[i].start, runs[i].start);
            QCOMPARE(after[i].length, runs[i].length);
            QCOMPARE(after[i].colour, runs[i].colour);
        }
    }

    void correctionKeepsLineBreaksAndColoursAndUndoesInOneStep()
    {
        platform::writeSetting("settings", "spellcheck", "Check &Spelling");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("mixed.pl"));
        const QByteArray bytes = "# One misteak here\n# two\rprint \"<img alt='three misteak'>\";\r\nprint \"last line\";\n";
        writeFile(path, bytes);
        EditorFixture f(path);
        platform::RichTextBox *box = f.activeText();
        const QString before = box->Text();
        box->setSelStart(int(before.lastIndexOf(QLatin1String("misteak"))));
        box->setSelLength(7);
        const quint32 comment = box->SelColor();
        QVERIFY(comment != 0);

        f.ui.spell(answer(SpellAnswer::ChangeAll, QStringLiteral("mistake")));
        QVERIFY(f.trigger("mnuspelling"));
        QCOMPARE(f.ui.spellRequests.size(), 1);
        QCOMPARE(box->encodedText(),
                 QByteArray("# One mistake here\n# two\rprint \"<img alt='three mistake'>\";\r\nprint \"last line\";\n"));
        const QString corrected = box->Text();
        box->setSelStart(int(corrected.lastIndexOf(QLatin1String("mistake"))));
        box->setSelLength(7);
        QCOMPARE(box->SelColor(), comment);
        QCOMPARE(f.window()->panelText(2), QStringLiteral("File - Changed"));

        box->document()->undo();
        QCOMPARE(box->Text(), before);
        QCOMPARE(box->encodedText(), bytes);
        box->setSelStart(int(before.lastIndexOf(QLatin1String("misteak"))));
        box->setSelLength(7);
        QCOMPARE(box->SelColor(), comment);
    }

    void realDialogChangesOnlyWhatWasChosen()
    {
        platform::SpellRequest request;
        request.word = QStringLiteral("sentense");
        request.context = QStringLiteral("This is a sentense here.");
        request.wordInContext = 10;
        request.suggestions = QStringList{QStringLiteral("sentence"), QStringLiteral("sentenced")};
        {
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
            QCOMPARE(dialog.lstSuggestions->count(), 2);
            // A new question: nothing chosen, Enter ignores.
            QCOMPARE(dialog.txtChangeTo->text(), request.word);
            QVERIFY(!dialog.cmdChange->isEnabled());
            QVERIFY(dialog.cmdIgnore->isDefault());
            dialog.show();
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
            QCOMPARE(dialog.answer().action, SpellAnswer::Ignore);
        }
        {
            // Moving into the suggestions chooses none of them.
            platform::SpellDialog dialog(request);
            dialog.show();
            QApplication::setActiveWindow(&dialog);
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            dialog.lstSuggestions->setFocus(Qt::TabFocusReason);
            QTest::keyClick(dialog.lstSuggestions, Qt::Key_Return);
            QCOMPARE(dialog.answer().action, SpellAnswer::Ignore);
        }
        {
            // A suggestion picked: Enter changes to it.
            platform::SpellDialog dialog(request);
            dialog.show();
            dialog.lstSuggestions->setCurrentRow(1);
            QCOMPARE(dialog.txtChangeTo->text(), QStringLiteral("sentenced"));
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
            QCOMPARE(dialog.answer().action, SpellAnswer::Change);
            QCOMPARE(dialog.answer().replacement, QStringLiteral("sentenced"));
        }
        {
            // A replacement typed: Enter changes to it.
            platform::SpellDialog dialog(request);
            dialog.show();
            QTest::keyClicks(dialog.txtChangeTo, QStringLiteral("sentience"));
            QTest::keyClick(dialog.txtChangeTo, Qt::Key_Return);
            QCOMPARE(dialog.answer().action, SpellAnswer::Change);
            QCOMPARE(dialog.answer().replacement, QStringLiteral("sentience"));
        }
        // Escape cancels.
        platform::SpellDialog bare(request);
        bare.show();
        QTest::keyClick(&bare, Qt::Key_Escape);
        QCOMPARE(bare.answer().action, SpellAnswer::Cancel);
        QVERIFY(!bare.isVisible());
    }
};

QTEST_MAIN(TestSpellCheck)
#include "tst_spellcheck.moc"
