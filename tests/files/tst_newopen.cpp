// New, New Window, Open, the command-line open and the HTML template, from
// both menus.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "files/commondialog.h"
#include "frame/mainwindow.h"
#include "platform/documentloader.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "storage/fileprobe.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using document::DocumentWindow;

namespace {

bool coloured(platform::RichTextBox *box, int textPos, quint32 colour)
{
    quint32 c = 0;
    return box->colourRuns().colourAt(box->toDocumentPosition(textPos), &c) && c == colour;
}

QStringList captions(frame::MainWindow *w)
{
    QStringList out;
    for (DocumentWindow *d : w->documents())
        out << d->caption();
    return out;
}

// "=" with no ";" after it: the edit-area pass ends with an error.
const QByteArray kBrokenScript = "<b>bold</b>\n$x = 1\n# note here\n";

} // namespace

class TestNewOpen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void countersOfBothMenus()
    {
        EditorFixture f;
        QVERIFY(f.trigger("mnuBlankFile"));
        QVERIFY(f.trigger("mnuBlankFile"));
        QVERIFY(f.trigger("mnuBlankFile"));
        QVERIFY(f.trigger("mnuWindowNewWindow"));
        QVERIFY(f.triggerQuick("mnuBlankFile"));
        QVERIFY(f.triggerQuick("mnuWindowNewWindow"));
        QCOMPARE(captions(f.window()),
                 (QStringList{"Untitled 1", "Untitled 2", "Untitled 3", "Untitled 4", "Untitled 1", "Untitled 2"}));
        QCOMPARE(f.activeDocument()->caption(), QStringLiteral("Untitled 2"));
        QCOMPARE(f.activeText()->Text(), QString());
    }

    void openFromTheMainMenu()
    {
        EditorFixture f;
        const QString path = f.scratch("page.cgi");
        writeFile(path, "<b>x</b> $v = \"abc\"; # hi\n");
        f.ui.chooseFile(path);
        QVERIFY(f.trigger("mnuFileOpen"));
        QCOMPARE(f.ui.fileRequests.size(), 1);
        const platform::FileRequest &r = f.ui.fileRequests[0];
        QCOMPARE(r.title, QStringLiteral("Open"));
        QVERIFY(!r.save);
        QCOMPARE(r.fileName, QString());
        QCOMPARE(r.filters.size(), 13);
        QCOMPARE(r.filters.first(), QStringLiteral("CGI Files (*.cgi)"));
        QCOMPARE(r.filters.at(5), QStringLiteral("HTML Files(*.html)"));
        QCOMPARE(r.filterIndex, 0);
        DocumentWindow *doc = f.activeDocument();
        QCOMPARE(doc->caption(), path);
        QVERIFY(doc->filesize->isVisible());
        QVERIFY(coloured(doc->rtfText, 0, 0xFF0000));  // the tag
        QVERIFY(coloured(doc->rtfText, 9, 0xC000C0));  // $v
        QVERIFY(coloured(doc->rtfText, 14, 0x0000FF)); // the edit area
        QVERIFY(coloured(doc->rtfText, 21, 0x00C000)); // the comment
        QCOMPARE(f.window()->panelText(2), QString());
        QCOMPARE(doc->filesize->text(), QStringLiteral("Total Bytes = %1").arg(QFile(path).size()));
        // The type chosen carries over to the next use of the dialog.
        f.ui.chooseFile(path, 4);
        QVERIFY(f.trigger("mnuFileOpen"));
        f.ui.cancelFile();
        QVERIFY(f.trigger("mnuFileOpen"));
        QCOMPARE(f.ui.fileRequests.last().filterIndex, 4);
    }

    void cancelAndMissingFile()
    {
        EditorFixture f;
        f.ui.cancelFile();
        QVERIFY(f.trigger("mnuFileOpen"));
        QCOMPARE(f.window()->documents().size(), 0);
        f.ui.chooseFile(f.scratch("nothing-here.pl"));
        QVERIFY(f.trigger("mnuFileOpen"));
        QCOMPARE(captions(f.window()), QStringList{QStringLiteral("Untitled 1")});
        QCOMPARE(f.ui.messages.size(), 0);
    }

    void anErrorEndsTheMainOpenButNotTheCommandLine()
    {
        EditorFixture probe;
        const QString path = probe.scratch("broken.pl");
        writeFile(path, kBrokenScript);
        {
            EditorFixture f;
            f.ui.chooseFile(path);
            QVERIFY(f.trigger("mnuFileOpen"));
            platform::RichTextBox *box = f.activeText();
            QVERIFY(coloured(box, 0, 0xFF0000));
            QVERIFY(!coloured(box, 13, 0xC000C0)); // the variable pass didn't run
            QVERIFY(!coloured(box, 21, 0x00C000)); // nor the comment pass
        }
        EditorFixture g(path);
        platform::RichTextBox *box = g.activeText();
        QVERIFY(coloured(box, 0, 0xFF0000));
        QVERIFY(coloured(box, 13, 0xC000C0));
        QVERIFY(coloured(box, 21, 0x00C000));
        QVERIFY(g.item("mnucoloron")->isChecked());
        QCOMPARE(g.window()->panelText(2), QString());
    }

    void lineReadOutFollowsTheColouring()
    {
        // The passes leave the selection on their last run, here the
        // comment on line 3: the read-out must say so after either open.
        EditorFixture probe;
        const QString path = probe.scratch("three.pl");
        writeFile(path, "<b>x</b>\n$v = 'abc';\n# note here\n");
        auto check = [](DocumentWindow *doc) {
            QCOMPARE(doc->rtfText->LineFromChar(), 2);
            QCOMPARE(doc->lblCurrLineNo->text(), QStringLiteral("Line Number= 3"));
        };
        {
            EditorFixture f;
            f.ui.chooseFile(path);
            QVERIFY(f.trigger("mnuFileOpen"));
            check(f.activeDocument());
        }
        EditorFixture g(path);
        check(g.activeDocument());
    }

    void onlyRegularFilesAreRead()
    {
        // A FIFO, a device or a folder is never opened and opens no
        // window: a message says what it is, from the command line (and
        // the socket, which opens the same way) and from the dialog.
        EditorFixture probe;
        const QString fifo = probe.scratch("pipe");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QString folder = probe.scratch("folder");
        QVERIFY(QDir().mkpath(folder));
        const QList<QPair<QString, QString>> cases{
            {fifo, "a named pipe"}, {"/dev/zero", "a character device"}, {folder, "a folder"}};
        for (const auto &[path, kind] : cases) {
            EditorFixture f(path, [](ScriptedUi &ui) { ui.answer(platform::Answer::OK); });
            QVERIFY2(captions(f.window()).isEmpty(), qPrintable(path));
            QCOMPARE(f.ui.messages.size(), 1);
            QVERIFY(f.ui.messages[0].text.contains(path) && f.ui.messages[0].text.contains(kind));
            QCOMPARE(f.ui.unexpected, 0);
        }
        EditorFixture f;
        f.ui.chooseFile(fifo);
        f.ui.answer(platform::Answer::OK);
        QVERIFY(f.trigger("mnuFileOpen"));
        QVERIFY(captions(f.window()).isEmpty());
        QVERIFY(f.ui.messages.value(0).text.contains(QLatin1String("a named pipe")));
        QCOMPARE(f.ui.unexpected, 0);
    }

    void namesThatAreNotUtf8AreRefused()
    {
        // The file is there under a name that is not valid UTF-8. The
        // command line keeps the name's bytes; Qt's dialogs show U+FFFD for
        // them. Each way it is refused: no window, and Save As never makes a
        // second file beside it.
        EditorFixture probe;
        const QByteArray raw = QFile::encodeName(probe.scratch()) + "/caf\xe9.pl";
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0 && ::write(fd, "x\n", 2) == 2 && ::close(fd) == 0);
        const QString kept = storage::decodeFileName(raw);
        const QString shown = QFile::decodeName(raw);
        const QString refusal = QStringLiteral("The name of this file is not valid UTF-8; rename it to open it here.");
        for (const QString &name : {kept, shown}) {
            EditorFixture f(name, [](ScriptedUi &ui) { ui.answer(platform::Answer::OK); });
            QVERIFY(captions(f.window()).isEmpty());
            QVERIFY(f.ui.messages.value(0).text.endsWith(refusal));
        }
        EditorFixture f;
        f.ui.chooseFile(shown);
        f.ui.answer(platform::Answer::OK);
        QVERIFY(f.trigger("mnuFileOpen"));
        QVERIFY(captions(f.window()).isEmpty());
        f.newDocument(QStringLiteral("text"));
        f.ui.chooseFile(shown);
        f.ui.answer(platform::Answer::OK);
        f.ui.cancelFile();
        QVERIFY(f.trigger("mnuFileSaveAs"));
        QCOMPARE(f.ui.messages.size(), 2);
        QVERIFY(f.ui.messages[1].text.endsWith(refusal));
        QVERIFY(!QFileInfo::exists(shown));
        QCOMPARE(::access(raw.constData(), F_OK), 0);
        QCOMPARE(f.ui.unexpected, 0);
    }

    void veryLargeFilesAskFirst()
    {
        EditorFixture f;
        const QString path = f.scratch("huge.txt");
        QFile huge(path);
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(platform::kAskAbove + 1)); // sparse: nothing written
        huge.close();
        f.ui.chooseFile(path);
        f.ui.answer(platform::Answer::No);
        QVERIFY(f.trigger("mnuFileOpen"));
        QCOMPARE(f.ui.messages.size(), 1);
        QCOMPARE(f.ui.messages[0].buttons, platform::Buttons::YesNo);
        QVERIFY(f.ui.messages[0].text.contains(path));
        QCOMPARE(captions(f.window()), QStringList{QStringLiteral("Untitled 1")});
        QCOMPARE(f.activeText()->Text(), QString());
    }

    void quickLinkOpenReusesTheClickedWindow()
    {
        EditorFixture f;
        const QString path = f.scratch("into.pl");
        writeFile(path, "<i>it</i> $a = 'bc';\n");
        DocumentWindow *doc = f.newDocument(QStringLiteral("old text"));
        f.ui.chooseFile(path);
        f.ui.answer(platform::Answer::No);
        QVERIFY(f.triggerQuick("mnuFileOpen"));
        QCOMPARE(f.window()->documents().size(), 1);
        QCOMPARE(doc->caption(), path);
        QCOMPARE(doc->rtfText->Text(), QStringLiteral("<i>it</i> $a = 'bc';\r\n"));
        QCOMPARE(f.ui.fileRequests.last().filters.size(), 12); // the short filter
        QVERIFY(coloured(doc->rtfText, 0, 0xFF0000));
        QVERIFY(!coloured(doc->rtfText, 10, 0xC000C0)); // tag pass only
        QVERIFY(f.quickItem("mnucoloron")->isChecked());
        QCOMPARE(f.window()->panelText(2), QStringLiteral("File - Changed")); // not cleared
    }

    // Edits not saved in the clicked document are offered for saving before
    // its text is replaced, as a close would.
    void quickLinkOpenOverUnsavedEdits_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("saveTo"); // the Save As answer after Yes
        QTest::addColumn<bool>("loaded");
        QTest::newRow("Yes: saved, then loaded") << int(platform::Answer::Yes) << "saved.pl" << true;
        QTest::newRow("No: loaded") << int(platform::Answer::No) << "" << true;
        QTest::newRow("Escape: nothing changes") << int(platform::Answer::Cancel) << "" << false;
        QTest::newRow("Yes, save fails: nothing loaded") << int(platform::Answer::Yes) << "missing/x.pl" << false;
        QTest::newRow("nothing unsaved: no question") << -1 << "" << true;
    }

    void quickLinkOpenOverUnsavedEdits()
    {
        QFETCH(int, answer);
        QFETCH(QString, saveTo);
        QFETCH(bool, loaded);
        EditorFixture f;
        const QString path = f.scratch("new.pl");
        writeFile(path, "new\n");
        DocumentWindow *doc = f.newDocument(answer < 0 ? QString() : QStringLiteral("typed"));
        f.ui.chooseFile(path);
        if (answer >= 0)
            f.ui.answer(platform::Answer(answer));
        if (!saveTo.isEmpty())
            f.ui.chooseFile(f.scratch(saveTo));
        if (saveTo.contains(QLatin1Char('/')))
            f.ui.answer(platform::Answer::OK); // the report that it could not be saved
        QVERIFY(f.triggerQuick("mnuFileOpen"));
        QCOMPARE(f.ui.unexpected, 0);
        QCOMPARE(f.ui.messages.isEmpty(), answer < 0);
        if (answer >= 0) {
            QCOMPARE(f.ui.messages.first().text, QStringLiteral(" Do You Want To Save Changes?"));
            QCOMPARE(f.ui.messages.first().title, QStringLiteral("File Has Changed"));
        }
        QCOMPARE(doc->rtfText->Text(), loaded ? QStringLiteral("new\r\n") : QStringLiteral("typed"));
        QCOMPARE(doc->caption(), loaded ? path : QStringLiteral("Untitled 1"));
        if (saveTo == QLatin1String("saved.pl"))
            QCOMPARE(readFile(f.scratch(saveTo)), QByteArray("typed"));
    }

    void htmlTemplate()
    {
        EditorFixture f;
        QVERIFY(f.trigger("mnuhtemplate"));
        DocumentWindow *doc = f.activeDocument();
        QCOMPARE(doc->caption(), QStringLiteral("Untitled 1"));
        QFile t(f.programFolder() + "/newhtml.qz");
        QVERIFY(t.open(QIODevice::ReadOnly));
        const QString expected = QString::fromUtf8(t.readAll()).replace(QLatin1String("\n"), QLatin1String("\r\n"));
        QCOMPARE(doc->rtfText->Text(), expected);
        QVERIFY(coloured(doc->rtfText, expected.indexOf(QLatin1Char('<')), 0xFF0000));
        QVERIFY(f.item("mnuhtmlpreview")->isEnabled());
        // From the Quick Link menu: its own counter.
        QVERIFY(f.triggerQuick("mnuhtemplate"));
        QCOMPARE(f.activeDocument()->caption(), QStringLiteral("Untitled 1"));
        // A missing template leaves an empty window.
        QFile::remove(f.programFolder() + "/newhtml.qz");
        QVERIFY(f.trigger("mnuhtemplate"));
        QCOMPARE(f.activeDocument()->caption(), QStringLiteral("Untitled 2"));
        QCOMPARE(f.activeText()->Text(), QString());
    }
};

QTEST_MAIN(TestNewOpen)
#include "tst_newopen.moc"
