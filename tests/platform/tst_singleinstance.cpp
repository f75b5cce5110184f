// One editor per desktop: a start with a file hands it to the running
// editor and ends; without a running editor (or with a socket left by one
// that crashed) a start runs as usual; --new-instance runs apart; the
// socket takes nothing but a path.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "frame/application.h"
#include "frame/mainwindow.h"
#include "platform/richtextbox.h"
#include "platform/singleinstance.h"
#include "storage/fileprobe.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

bool coloured(platform::RichTextBox *box, int textPos, quint32 colour)
{
    quint32 c = 0;
    return box->colourRuns().colourAt(box->toDocumentPosition(textPos), &c) && c == colour;
}

// "=" with no ";" after it stops the edit-area pass: only the command-line
// open goes on to colour the variable and the comment.
const QByteArray kScript = "<b>bold</b>\n$x = 1\n# note here\n";

bool serving()
{
    QLocalSocket probe;
    probe.connectToServer(platform::SingleInstance::socketPath());
    return probe.waitForConnected(500);
}

// What the socket answers a message: the answer byte, or nothing when the
// connection is dropped.
QByteArray answerTo(const QByteArray &message)
{
    QLocalSocket socket;
    socket.connectToServer(platform::SingleInstance::socketPath());
    if (!socket.waitForConnected(1000))
        return "not connected";
    socket.write(message);
    socket.flush();
    QByteArray answer;
    QDeadlineTimer deadline(7000);
    while (answer.isEmpty() && socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
        QTest::qWait(10);
        answer += socket.readAll();
    }
    return answer;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime;
    std::vector<std::unique_ptr<QProcess>> m_editors;
    std::unique_ptr<QTemporaryDir> m_scratch; // outlives the editors started

    // Starts the built editor with its own settings folders.
    QProcess *startEditor(const QStringList &args, const QString &workDir, const QString &home,
                          const QProcessEnvironment &extra = {})
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(extra);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        // No desktop cache tools that would outlive the editor in its folders.
        env.insert(QStringLiteral("PATH"), m_runtime.filePath(QStringLiteral("no-tools")));
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(workDir);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QCoreApplication::applicationDirPath() + QStringLiteral("/quilex"), args);
        process->waitForStarted();
        m_editors.push_back(std::move(process));
        return m_editors.back().get();
    }

private Q_SLOTS:
    void initTestCase()
    {
        isolateSettings();
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }

    void init() { m_scratch.reset(new QTemporaryDir); }

    void cleanup()
    {
        for (auto &p : m_editors) {
            p->kill();
            p->waitForFinished();
        }
        m_editors.clear();
        m_scratch.reset();
    }

    void secondStartOpensItsFileInTheRunningEditor()
    {
        EditorFixture f;
        platform::SingleInstance instance;
        app::serveLaterStarts(instance, *f.window());
        QVERIFY(instance.isListening());
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(platform::SingleInstance::socketPath()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));

        f.window()->showMinimized();
        const QString path = f.scratch("site/broken.pl");
        writeFile(path, kScript);
        // Named relative to the second start's own folder.
        QProcess *second = startEditor({QStringLiteral("broken.pl")}, f.scratch("site"), f.scratch("home"));
        QTRY_COMPARE_WITH_TIMEOUT(second->state(), QProcess::NotRunning, 10000);
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);

        QCOMPARE(f.window()->documents().size(), 1);
        document::DocumentWindow *doc = f.activeDocument();
        QCOMPARE(doc->caption(), path);
        platform::RichTextBox *box = doc->rtfText;
        QCOMPARE(box->Text(), QString::fromLatin1(kScript).replace(QLatin1String("\n"), QLatin1String("\r\n")));
        QVERIFY(coloured(box, 0, 0xFF0000));
        QVERIFY(coloured(box, 13, 0xC000C0));
        QVERIFY(coloured(box, 21, 0x00C000));
        QVERIFY(!doc->filesize->isVisibleTo(doc));
        QVERIFY(!f.window()->isMinimized());

        // A closed editor takes no more files.
        f.close();
        QVERIFY(!instance.isListening());
    }

    void startWithoutARunningEditorRunsAsUsual()
    {
        const QString dir = m_scratch->path();
        writeFile(dir + QStringLiteral("/a.pl"), "print 1;\n");
        QProcess *first = startEditor({QStringLiteral("a.pl")}, dir, dir);
        QTRY_VERIFY_WITH_TIMEOUT(serving(), 15000);
        QCOMPARE(first->state(), QProcess::Running);

        // A crash leaves its socket behind; the next start is not held up.
        first->kill();
        first->waitForFinished();
        QVERIFY(QFileInfo::exists(platform::SingleInstance::socketPath()));
        // (A helper forked at that moment may hold the socket a moment longer.)
        QTRY_VERIFY(!serving());
        QProcess *next = startEditor({QStringLiteral("a.pl")}, dir, dir);
        QTRY_VERIFY_WITH_TIMEOUT(serving(), 15000);
        QCOMPARE(next->state(), QProcess::Running);
    }

    void newInstanceRunsApart()
    {
        EditorFixture f;
        platform::SingleInstance instance;
        app::serveLaterStarts(instance, *f.window());
        const QString path = f.scratch("b.pl");
        writeFile(path, "print 2;\n");
        QProcess *apart = startEditor({QStringLiteral("--new-instance"), path}, f.scratch(), f.scratch("home"));
        // Its start-up has registered the file types in its own folders.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(f.scratch("home/config/mimeapps.list")), 15000);
        QTest::qWait(300);
        QCOMPARE(apart->state(), QProcess::Running);
        QCOMPARE(f.window()->documents().size(), 0);
    }

    // Launched from the desktop, a start that hands its file over ends the
    // desktop's launch feedback for itself, since it shows no window.
    void handOverEndsLaunchFeedback()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            QSKIP("needs Xvfb");
        QProcess server;
        server.start(xvfb, {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
        QVERIFY(server.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine(), 15000);
        const QByteArray display = ':' + server.readLine().trimmed();
        auto stopServer = qScopeGuard([&server] {
            server.terminate();
            server.waitForFinished();
        });
        // Start-up messages go to the root window, to those watching it.
        xcb_connection_t *x = xcb_connect(display.constData(), nullptr);
        auto disconnect = qScopeGuard([x] { xcb_disconnect(x); });
        QVERIFY(!xcb_connection_has_error(x));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(x);

        const QString dir = m_scratch->path();
        writeFile(dir + QStringLiteral("/a.pl"), "print 1;\n");
        QProcessEnvironment env;
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        startEditor({}, dir, dir, env);
        const QDir sockets(m_runtime.filePath(QStringLiteral("quillet-lite")));
        QTRY_VERIFY_WITH_TIMEOUT(sockets.entryList(QDir::System).join(' ').contains(QLatin1String("xcb")), 15000);
        env.insert(QStringLiteral("DESKTOP_STARTUP_ID"), QStringLiteral("menu-42 \"a\"_TIME1234"));
        QProcess *second = startEditor({QStringLiteral("a.pl")}, dir, dir, env);
        QTRY_COMPARE_WITH_TIMEOUT(second->state(), QProcess::NotRunning, 10000);
        QCOMPARE(second->exitCode(), 0);

        // The message arrives in pieces of 20 bytes, up to a NUL.
        QByteArray message;
        QDeadlineTimer deadline(5000);
        while (!message.endsWith('\0') && !deadline.hasExpired()) {
            std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_poll_for_event(x), &std::free);
            if (!event) {
                QTest::qWait(20);
                continue;
            }
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                const auto *m = reinterpret_cast<xcb_client_message_event_t *>(event.get());
                message.append(reinterpret_cast<const char *>(m->data.data8), 20);
                message.truncate(message.indexOf('\0') < 0 ? message.size() : message.indexOf('\0') + 1);
            }
        }
        QCOMPARE(message, QByteArray("remove: ID=\"menu-42 \\\"a\\\"_TIME1234\"\0", 36));
    }

    void socketTakesOnlyAPath()
    {
        platform::SingleInstance instance;
        QStringList opened;
        connect(&instance, &platform::SingleInstance::openRequested, this,
                [&opened](const QString &p) { opened << p; });
        QVERIFY(instance.listen());
        // A second server for the same display stands back.
        platform::SingleInstance other;
        QVERIFY(!other.listen());

        const QList<QByteArray> notPaths{
            QByteArray("relative/file.pl\0", 17),
            QByteArray("open /tmp/x.pl\0", 15),
            QByteArray("/tmp/x.pl\0/tmp/y.pl\0", 20),
            QByteArray(5000, '/'),
            QByteArray("\0", 1),
            QByteArray("/tmp/no-end"),
        };
        for (const QByteArray &m : notPaths)
            QVERIFY2(answerTo(m).isEmpty(), m.left(40).constData());
        QCoreApplication::processEvents();
        QCOMPARE(opened, QStringList());

        QCOMPARE(answerTo(QByteArray("/tmp/a file.pl\0", 15)), QByteArray(1, platform::SingleInstance::kAccepted));
        QTRY_COMPARE(opened, QStringList{QStringLiteral("/tmp/a file.pl")});
        // A name that is not valid UTF-8 arrives with its bytes, for the
        // editor to refuse.
        QCOMPARE(answerTo(QByteArray("/tmp/\xff\xfe.pl\0", 11)), QByteArray(1, platform::SingleInstance::kAccepted));
        QTRY_COMPARE(opened.size(), 2);
        QCOMPARE(storage::encodeFileName(opened[1]), QByteArray("/tmp/\xff\xfe.pl"));
    }

    void secondStartRefusesANameThatIsNotUtf8()
    {
        EditorFixture f;
        platform::SingleInstance instance;
        app::serveLaterStarts(instance, *f.window());
        const QByteArray raw = QFile::encodeName(f.scratch()) + "/caf\xe9.pl";
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        // The shell hands the bytes over as they are.
        QProcess second;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), f.scratch("home/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), f.scratch("home/data"));
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(f.scratch());
        f.ui.answer(platform::Answer::OK);
        second.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$(printf 'caf\\351.pl')\""),
                                                QCoreApplication::applicationDirPath() + QStringLiteral("/quilex")});
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE(f.ui.messages.size(), 1);
        QVERIFY(f.ui.messages[0].text.endsWith(
            QLatin1String("The name of this file is not valid UTF-8; rename it to open it here.")));
        QCOMPARE(f.window()->documents().size(), 0);
    }

    // The runtime folder is used only when it is this user's own: one of
    // another user's gives way to a private folder of this user's, and a
    // link planted as the editor's folder there is never followed.
    void runtimeFolderIsTheUsersOwn()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to give a folder to another user");
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        auto restore = qScopeGuard([&saved] { qputenv("XDG_RUNTIME_DIR", saved); });
        QTemporaryDir foreign;
        QCOMPARE(::chown(QFile::encodeName(foreign.path()).constData(), 65534, 65534), 0);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(foreign.path()));
        auto privateFolderOf = [](const QString &socket) {
            struct stat st {};
            return !socket.isEmpty() && ::lstat(QFile::encodeName(QFileInfo(socket).path()).constData(), &st) == 0
                && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 0777) == 0700;
        };
        QString socket = platform::SingleInstance::socketPath();
        QVERIFY2(!socket.startsWith(foreign.path()) && !socket.startsWith(QLatin1String("/quillet-lite")),
                 qPrintable(socket));
        QVERIFY(privateFolderOf(socket));

        QTemporaryDir own, elsewhere;
        QCOMPARE(::chmod(QFile::encodeName(elsewhere.path()).constData(), 0755), 0);
        QCOMPARE(::symlink(QFile::encodeName(elsewhere.path()).constData(),
                           QFile::encodeName(own.path() + QStringLiteral("/quillet-lite")).constData()),
                 0);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(own.path()));
        platform::SingleInstance instance;
        instance.listen();
        socket = platform::SingleInstance::socketPath();
        QVERIFY2(!socket.startsWith(own.path()), qPrintable(socket));
        QVERIFY(privateFolderOf(socket));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(elsewhere.path()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0755));
        QVERIFY(QDir(elsewhere.path()).isEmpty(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot));
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
