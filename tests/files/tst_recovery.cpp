// The recovery journal: an editor killed with unsaved text (a document with
// a file, an untitled one, the Code Keeper's notes) has them offered at the
// next start; restored texts come back as they were, declined ones go, and
// a running editor's entries are never offered to another.
//
// The editor that ends badly is this test program started again as a child
// with QUILLET_RECOVERY_CHILD set: it types, says "ready" and waits to be
// killed.

#include "support/fixture.h"
#include "support/testenv.h"

#include "document/documentwindow.h"
#include "files/recovery.h"
#include "frame/mainwindow.h"
#include "platform/documentloader.h"
#include "platform/recoverylog.h"
#include "platform/recoverystore.h"
#include "platform/documenttext.h"
#include "platform/richtextbox.h"
#include "tools/sidewindows.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <functional>
#include <cstdio>

namespace {

QStringList entries()
{
    return QDir(platform::recoveryFolder()).entryList({QStringLiteral("*.entry")}, QDir::Files);
}

QByteArray journaled()
{
    QByteArray all;
    for (const QString &name : entries())
        all += readFile(QDir(platform::recoveryFolder()).filePath(name));
    return all;
}

// What the journal holds for a text, rebuilt and written as saving would.
QByteArray rebuilt(platform::RichTextBox *box)
{
    files::recovery::flush(box);
    const QStringList names = entries();
    platform::RecoveryEntry entry;
    platform::RebuiltText text;
    QString why;
    if (names.size() != 1
        || !platform::RecoveryEntry::parse(readFile(QDir(platform::recoveryFolder()).filePath(names[0])), &entry)
        || !platform::rebuildText(entry, &text, &why))
        return "no entry: " + why.toUtf8();
    return platform::encodeText(text.text, text.format, &text.breaks);
}

// Leaves this editor's entries as an editor that ended would: under the
// name of a session nobody holds.
void leaveAsEnded()
{
    const QDir folder(platform::recoveryFolder());
    int n = 0;
    for (const QString &name : entries())
        QFile::copy(folder.filePath(name), folder.filePath(QStringLiteral("ended-%1.entry").arg(++n)));
}

QString damagedFolder()
{
    return platform::recoveryFolder() + QStringLiteral("/damaged");
}

// The child: an editor with three unsaved texts. With "wait", it reports
// once the journal holds them (and how long that took); otherwise at once.
int runChild(const QByteArray &mode, const QString &path)
{
    EditorFixture f(path);
    QElapsedTimer sinceTyping;
    f.activeText()->setSelText(QStringLiteral("<b>edited</b> "));
    f.newDocument(QStringLiteral("draft"));
    f.trigger(QStringLiteral("mnuholder"));
    tools::SideWindow::instance(tools::SideWindow::CodeKeeper)->text()->setSelText(QStringLiteral("note"));
    sinceTyping.start();
    if (mode == "wait") {
        while (!(journaled().contains("note") && journaled().contains("draft")
                 && journaled().contains("edited"))) {
            if (sinceTyping.elapsed() > 5000)
                return 3;
            QTest::qWait(20);
        }
        std::printf("journaled after %lld ms\n", static_cast<long long>(sinceTyping.elapsed()));
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QApplication::exec();
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT

private:
    QString m_path;

    // Starts the child and waits for it to be ready.
    bool startChild(QProcess &child, const char *mode, const QString &display = QString())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!display.isEmpty()) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            env.insert(QStringLiteral("DISPLAY"), display);
        }
        env.insert(QStringLiteral("QUILLET_RECOVERY_CHILD"), QString::fromLatin1(mode));
        child.setProcessEnvironment(env);
        // The file is named relative to the child's own folder.
        child.setWorkingDirectory(QFileInfo(m_path).path());
        child.start(QCoreApplication::applicationFilePath(), {QFileInfo(m_path).fileName()});
        if (!child.waitForStarted())
            return false;
        QByteArray out;
        while (!out.contains("ready") && child.waitForReadyRead(15000))
            out += child.readAllStandardOutput();
        if (out.contains("journaled after"))
            qInfo("%s", out.constData());
        return out.contains("ready");
    }

    void end(QProcess &child, int sig)
    {
        ::kill(pid_t(child.processId()), sig);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    }

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }

    void init()
    {
        clearSettings();
        QDir(platform::recoveryFolder()).removeRecursively();
        m_path = testenv::tempDir() + QStringLiteral("/page.pl");
        writeFile(m_path, "print 1;\n");
    }

    void killedEditorsTextIsOfferedAtNextStart_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::newRow("restore") << true;
        QTest::newRow("decline") << false;
    }

    void killedEditorsTextIsOfferedAtNextStart()
    {
        QFETCH(bool, restore);
        QProcess child;
        QVERIFY(startChild(child, "wait"));

        // While it runs, its entries are neither offered nor removed.
        const QStringList live = entries();
        QCOMPARE(live.size(), 3);
        {
            EditorFixture other;
            QVERIFY(other.ui.messages.isEmpty());
        }
        QCOMPARE(entries(), live);

        end(child, SIGKILL);
        const platform::Answer answer = restore ? platform::Answer::Yes : platform::Answer::No;
        EditorFixture f(QString(), [answer](ScriptedUi &ui) {
            for (int i = 0; i < 3; ++i)
                ui.answer(answer);
        });
        QCOMPARE(f.ui.unexpected, 0);
        QCOMPARE(f.ui.messages.size(), 3);
        QVERIFY(f.ui.messages.at(0).text.startsWith(m_path + QStringLiteral(" was not saved")));
        QVERIFY(f.ui.messages.at(1).text.startsWith(QStringLiteral("Untitled 2 was not saved")));
        QVERIFY(f.ui.messages.at(2).text.contains(QStringLiteral("Code Keeper")));
        const QList<document::DocumentWindow *> docs = f.window()->documents();
        if (!restore) {
            QVERIFY(docs.isEmpty());
            QVERIFY(entries().isEmpty());
            return;
        }

        QCOMPARE(docs.size(), 2);
        QCOMPARE(docs[0]->caption(), m_path);
        QCOMPARE(docs[0]->rtfText->Text(), QStringLiteral("<b>edited</b> print 1;\r\n"));
        QVERIFY(docs[0]->hasUnsavedEdits());
        quint32 colour = 0;
        QVERIFY(docs[0]->rtfText->colourRuns().colourAt(0, &colour)); // coloured as on open
        QCOMPARE(docs[1]->caption(), QStringLiteral("Untitled 2"));
        QCOMPARE(docs[1]->rtfText->Text(), QStringLiteral("draft"));
        QVERIFY(docs[1]->hasUnsavedEdits());
        QCOMPARE(tools::SideWindow::instance(tools::SideWindow::CodeKeeper)->text()->Text(), QStringLiteral("note"));
        // Now this editor's entries.
        QCOMPARE(entries().size(), 3);
        for (const QString &old : live)
            QVERIFY(!entries().contains(old));

        // The file did not change meanwhile: F12 asks nothing, and its entry goes.
        f.window()->mdiArea()->setActiveSubWindow(docs[0]->subWindow());
        QVERIFY(f.trigger(QStringLiteral("mnuFileSave")));
        QCOMPARE(f.ui.messages.size(), 3);
        QCOMPARE(readFile(m_path), QByteArray("<b>edited</b> print 1;\n"));
        QTRY_COMPARE(entries().size(), 2); // the journal drops it on its own thread
        QTest::qWait(50);
        QVERIFY(!docs[0]->hasUnsavedEdits());
        QCOMPARE(f.window()->panelText(2), QString());
    }

    // A large document is journaled from pieces gathered between events
    // that follow later edits: after every kind of edit the journal holds
    // exactly what a save would write, breaks and all.
    void largeDocumentJournalFollowsEdits()
    {
        QByteArray bytes;
        for (int i = 0; bytes.size() < 400 * 1024; ++i)
            bytes += QStringLiteral("line %1 \u00e9\u00a0\U0001F600 <b>x</b>\t\u2028;").arg(i).toUtf8()
                + (i % 3 ? "\r\n" : "\n");
        writeFile(m_path, bytes);
        EditorFixture f(m_path);
        platform::RichTextBox *box = f.activeText();
        const auto journaledText = [box] { return rebuilt(box); };
        const auto edit = [box](int at, int length, const QString &text) {
            box->setSelStart(at);
            box->setSelLength(length);
            box->setSelText(text);
        };
        // A line that crosses a piece's edge, and whose break is not the
        // file's usual one, split before that edge.
        // The style a line break carries when it isn't the file's usual one.
        const auto breakStyleAt = [box](int pos) {
            return platform::formatAt(box->document(), pos).property(platform::docform::BreakStyle);
        };
        const auto splitAcrossPieces = [box, breakStyleAt] {
            QTextDocument *doc = box->document();
            for (int edge = 64 * 1024; edge < doc->characterCount(); edge += 64 * 1024) {
                const int line = box->textLineOf(edge);
                const int start = box->textLineStart(line);
                if (start < edge && breakStyleAt(box->textLineEnd(line)).isValid()) {
                    QTextCursor c(doc);
                    c.setPosition(start);
                    c.insertText(QStringLiteral("\n"));
                    return;
                }
            }
            QFAIL("no line to split");
        };
        const int middle = box->TextLength() / 2;
        const QString pasted = QString::fromUtf8(bytes.left(60000));
        const std::vector<std::function<void()>> edits = {
            splitAcrossPieces,
            [&] { edit(middle, 0, QStringLiteral("typed")); },
            [&] { edit(middle + 20, 0, QStringLiteral("\r\n")); },           // splits a line
            [&] { edit(100, 5000, QString()); },                              // across many lines
            [&] { edit(middle - 3, 6, QStringLiteral("joined")); },           // across one break
            [&] { box->document()->undo(); box->document()->undo(); },
            [&] { edit(0, 0, QStringLiteral("first\r\n")); },
            [&] { edit(box->TextLength(), 0, QStringLiteral("\r\nlast")); },
            [&] { edit(middle / 2, 0, pasted); },
        };
        for (size_t i = 0; i < edits.size(); ++i) {
            edits[i]();
            QVERIFY(box->document()->isModified());
            const QByteArray journaled = journaledText();
            const QByteArray saved = box->encodedText();
            QVERIFY2(journaled == saved, qPrintable(QStringLiteral("after edit %1").arg(i)));
        }

        // Edits at a piece's edges, each on pieces gathered afresh (one for
        // every 64 K characters from the start): one character either side
        // of an edge, and two lines joined where the second one's break,
        // of another style, lies in the next piece.
        QTextDocument *doc = box->document();
        const auto gatherAfresh = [&] {
            files::recovery::forget(box);
            QTextCursor(doc).insertText(QStringLiteral("."));
            files::recovery::flush(box);
        };
        const auto change = [doc](int at, int removing, const QString &text) {
            QTextCursor c(doc);
            c.setPosition(at);
            c.setPosition(at + removing, QTextCursor::KeepAnchor);
            c.insertText(text);
        };
        const int edge = 2 * 64 * 1024;
        for (int offset = -2; offset <= 1; ++offset) {
            for (int removing = 0; removing <= 2; ++removing) {
                for (const QString &text : {QString(), QStringLiteral("x"), QStringLiteral("\n")}) {
                    if (removing == 0 && text.isEmpty())
                        continue;
                    gatherAfresh();
                    change(edge + offset, removing, text);
                    QVERIFY2(journaledText() == box->encodedText(),
                             qPrintable(QStringLiteral("at %1, %2 removed, %3 added").arg(offset).arg(removing).arg(text.size())));
                }
            }
        }
        bool joined = false;
        for (int at = 64 * 1024; at < doc->characterCount() && !joined; at += 64 * 1024) {
            gatherAfresh();
            const int second = box->textLineOf(at);
            const int secondStart = box->textLineStart(second);
            if (secondStart == at || second == 0
                || breakStyleAt(secondStart - 1) == breakStyleAt(box->textLineEnd(second)))
                continue;
            change(secondStart - 1, 1, QString());
            QVERIFY(journaledText() == box->encodedText());
            joined = true;
        }
        QVERIFY(joined);
        edit(1000, box->TextLength() - 2000, QStringLiteral("short"));
        QVERIFY(journaledText() == box->encodedText());
        QCOMPARE(files::recovery::cost().restarts, 0);
    }

    // The text comes back as typed, though the file's encoding can't hold
    // all of it; F12 then asks before writing UTF-8, as it would have
    // without the crash.
    void restoredTextKeepsWhatItsEncodingCantHold()
    {
        const QByteArray original("caf\xe9 na\xefve\r\n");
        writeFile(m_path, original);
        {
            EditorFixture f(m_path);
            f.activeText()->setSelStart(0);
            f.activeText()->setSelLength(0);
            f.activeText()->setSelText(QStringLiteral("\u015d\u2192"));
            files::recovery::flush(f.activeText());
            leaveAsEnded();
        }
        EditorFixture f(QString(), [](ScriptedUi &ui) { ui.answer(platform::Answer::Yes); });
        QCOMPARE(f.activeText()->Text(), QStringLiteral("\u015d\u2192caf\u00e9 na\u00efve\r\n"));
        QCOMPARE(f.activeText()->fileFormat().encoding, platform::TextFileFormat::Windows1252);
        f.ui.answer(platform::Answer::No);
        QVERIFY(f.trigger(QStringLiteral("mnuFileSave")));
        QCOMPARE(f.ui.messages.size(), 2);
        QVERIFY(f.ui.messages.last().text.contains(QStringLiteral("Windows-1252 can't hold")));
        QCOMPARE(readFile(m_path), original);
    }

    // What can't be read (a link to a device, a pipe, a huge header, junk,
    // an entry whose file changed under it) is put aside, never followed
    // or waited on, and the user hears of it once.
    void unreadableEntriesArePutAsideAndToldOnce()
    {
        const QDir folder(platform::recoveryFolder());
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), folder.filePath(QStringLiteral("ended-1.entry"))));
        QCOMPARE(::mkfifo(QFile::encodeName(folder.filePath(QStringLiteral("ended-2.entry"))).constData(), 0600), 0);
        writeFile(folder.filePath(QStringLiteral("ended-3.entry")),
                  "quillet-lite recovery 2\nkind=" + QByteArray(20 << 20, 'x'));
        writeFile(folder.filePath(QStringLiteral("ended-4.entry")), "junk");
        platform::RecoveryEntry onFile;
        onFile.fields = {{QStringLiteral("kind"), QStringLiteral("document")},
                         {QStringLiteral("caption"), m_path},
                         {QStringLiteral("base"), QStringLiteral("file")},
                         {QStringLiteral("base-path"), m_path},
                         {QStringLiteral("base-size"), QStringLiteral("9")},
                         {QStringLiteral("base-hash"), QStringLiteral("1")}};
        writeFile(folder.filePath(QStringLiteral("ended-5.entry")), onFile.serialise());
        {
            EditorFixture f(QString(), [](ScriptedUi &ui) { ui.answer(platform::Answer::OK); });
            QCOMPARE(f.ui.unexpected, 0);
            QCOMPARE(f.ui.messages.size(), 1);
            const QString told = f.ui.messages[0].text;
            QVERIFY(told.contains(QStringLiteral("symbolic link")) && told.contains(QStringLiteral("pipe"))
                    && told.contains(QStringLiteral("too large")) && told.contains(m_path + QStringLiteral(": its file")));
        }
        const QDir damaged(damagedFolder());
        QCOMPARE(damaged.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size(), 5);
        QVERIFY(QFileInfo(damaged.filePath(QStringLiteral("ended-1.entry"))).isSymLink());
        QVERIFY(entries().isEmpty());
        EditorFixture again;
        QVERIFY(again.ui.messages.isEmpty());
    }

    // A journal that can't write says so once, and once again when it can.
    void failingWritesAreToldOnceAndSoIsTheirEnd()
    {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit before{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
        EditorFixture f;
        f.ui.answer(platform::Answer::OK);
        f.ui.answer(platform::Answer::OK);
        const rlimit small{64 * 1024, before.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        files::recovery::cost(true);
        f.newDocument(QString(100 * 1024, QLatin1Char('x')));
        QTRY_COMPARE(f.ui.messages.size(), 1);
        QCOMPARE(f.ui.messages[0].text, QStringLiteral("Unsaved text is not being protected: File too large"));
        f.activeText()->setSelText(QStringLiteral("more"));
        QTRY_VERIFY(files::recovery::cost().snapshots >= 2); // failed again, silently
        ::setrlimit(RLIMIT_FSIZE, &before);
        QTRY_COMPARE_WITH_TIMEOUT(f.ui.messages.size(), 2, 20000);
        QCOMPARE(f.ui.messages[1].text, QStringLiteral("Unsaved text is protected again."));
        QCOMPARE(f.ui.unexpected, 0);
        QVERIFY(rebuilt(f.activeText()).endsWith("more"));
    }

    // The display going away ends the program through exit(): what was
    // typed just before is written first.
    void losingTheDisplayWritesWhatIsPending()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            QSKIP("Xvfb is not installed");
        QProcess server;
        server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp")});
        QVERIFY(server.waitForReadyRead(15000));
        const QString display = QLatin1Char(':') + QString::fromLatin1(server.readAllStandardOutput().trimmed());
        QProcess child;
        QVERIFY(startChild(child, "now", display));
        server.terminate();
        QVERIFY(server.waitForFinished(10000));
        QVERIFY(child.waitForFinished(10000));
        const QByteArray all = journaled();
        QVERIFY(all.contains("edited"));
        QVERIFY(all.contains("draft"));
        QVERIFY(all.contains("note"));
    }

    // The log follows every kind of edit: random ones, undone ones, and
    // ones large enough that the entry is compacted. A typed character
    // adds a few bytes to the entry, not the text.
    void logFollowsRandomEdits()
    {
        QByteArray bytes;
        for (int i = 0; bytes.size() < 50 * 1024; ++i)
            bytes += QStringLiteral("line %1 \u00e9\U0001F600\t\u2028;").arg(i).toUtf8() + (i % 3 ? "\r\n" : "\n");
        writeFile(m_path, bytes);
        EditorFixture f(m_path);
        platform::RichTextBox *box = f.activeText();
        QTextCursor c(box->document());
        c.insertText(QStringLiteral("a"));
        files::recovery::flush(box);
        QCOMPARE(entries().size(), 1);
        QVERIFY(QFileInfo(QDir(platform::recoveryFolder()).filePath(entries()[0])).size() < 2048);

        files::recovery::cost(true);
        QRandomGenerator random(21);
        const QStringList pieces = {QStringLiteral("x"), QStringLiteral("\n"), QStringLiteral("\u00e9"),
                                    QStringLiteral("\U0001F600"), QStringLiteral("ab ")};
        for (int step = 0; step < 300; ++step) {
            const int length = box->document()->characterCount() - 1;
            const int typing = step % 23 ? random.bounded(10) : 9; // now and then a large replacement
            if (typing < 3) { // at the caret, as keys would
                c.clearSelection();
                c.insertText(pieces[random.bounded(pieces.size())]);
            } else if (typing < 5) {
                typing < 4 ? c.deletePreviousChar() : c.deleteChar();
            } else if (typing < 6) {
                box->document()->undo();
            } else {
                c.setPosition(random.bounded(length + 1));
                c.setPosition(std::min(length, c.position() + random.bounded(step % 23 ? 8 : 20000)),
                              QTextCursor::KeepAnchor);
                QString text;
                for (int n = random.bounded(step % 23 ? 6 : 5000); n > 0; --n)
                    text += pieces[random.bounded(pieces.size())];
                c.insertText(text);
            }
            if (step % 4 != 0)
                continue;
            if (box->document()->isModified())
                QVERIFY2(rebuilt(box) == box->encodedText(), qPrintable(QString::number(step)));
            else // undone to the file's text: nothing to keep
                QVERIFY(rebuilt(box).startsWith("no entry"));
        }
        QVERIFY(files::recovery::cost().snapshots > 0); // compacted
        QCOMPARE(files::recovery::cost().restarts, 0);
        // A record the last write left incomplete is ignored.
        const QString entry = QDir(platform::recoveryFolder()).filePath(entries()[0]);
        QFile file(entry);
        QVERIFY(file.resize(file.size() - 1));
        QVERIFY(!rebuilt(box).startsWith("no entry"));
    }

    // SIGTERM (and SIGHUP) write what the journal had not written yet.
    void terminationWritesWhatIsPending()
    {
        QProcess child;
        QVERIFY(startChild(child, "now"));
        end(child, SIGTERM);
        const QByteArray all = journaled();
        QVERIFY(all.contains("edited"));
        QVERIFY(all.contains("draft"));
        QVERIFY(all.contains("note"));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QByteArray mode = qgetenv("QUILLET_RECOVERY_CHILD");
    if (!mode.isEmpty())
        return runChild(mode, QCoreApplication::arguments().value(1));
    TestRecovery test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recovery.moc"
