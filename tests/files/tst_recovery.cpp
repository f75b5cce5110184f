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
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include <csignal>
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
    bool startChild(QProcess &child, const char *mode)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
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
