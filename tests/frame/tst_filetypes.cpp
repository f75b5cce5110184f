// File-type registration: the desktop entry, the MIME package and the
// default-application list in fresh XDG folders; a second start writes
// nothing; other people's entries are kept.

#include "support/testenv.h"

#include "support/fixture.h"

#include "frame/filetypes.h"
#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>

namespace {

quint64 inode(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return quint64(st.st_ino);
}

} // namespace

class TestFileTypes : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    QByteArray m_oldData, m_oldConfig, m_oldDirs;
    QStringList m_updates; // "tool folder" per cache update asked for

    QString data(const QString &name) const { return m_root->path() + QStringLiteral("/data/") + name; }
    QString config(const QString &name) const { return m_root->path() + QStringLiteral("/config/") + name; }
    QString desktopFile() const { return data(QStringLiteral("applications/quillet-lite.desktop")); }
    QString packageFile() const { return data(QStringLiteral("mime/packages/quillet-lite.xml")); }
    QString listFile() const { return config(QStringLiteral("mimeapps.list")); }

private Q_SLOTS:
    void initTestCase()
    {
        testenv::isolate();
        m_oldData = qgetenv("XDG_DATA_HOME");
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        m_oldDirs = qgetenv("XDG_DATA_DIRS");
    }

    void init()
    {
        m_root.reset(new QTemporaryDir);
        QDir().mkpath(m_root->path() + QStringLiteral("/data"));
        QDir().mkpath(m_root->path() + QStringLiteral("/config"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_root->path() + QStringLiteral("/data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_root->path() + QStringLiteral("/config")));
        platform::setProgramFolder(m_root->path() + QStringLiteral("/program"));
        m_updates.clear();
        frame::setCacheUpdater([this](const QString &tool, const QString &folder) {
            m_updates << tool + QLatin1Char(' ') + folder;
        });
    }

    void cleanup()
    {
        qputenv("XDG_DATA_HOME", m_oldData);
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
        qputenv("XDG_DATA_DIRS", m_oldDirs);
        platform::setProgramFolder(QString());
        frame::setCacheUpdater(nullptr);
    }

    void firstStartWritesTheAssociation()
    {
        frame::registerFileTypes();
        const QString entry = QString::fromUtf8(readFile(desktopFile()));
        QVERIFY(entry.startsWith(QLatin1String("[Desktop Entry]\n")));
        const QStringList lines = entry.split(QLatin1Char('\n'));
        QVERIFY(lines.contains(QStringLiteral("Type=Application")));
        QVERIFY(lines.contains(QStringLiteral("Name=Quillet Lite")));
        QVERIFY(lines.contains(QStringLiteral("Exec=") + QCoreApplication::applicationFilePath()
                               + QStringLiteral(" %f")));
        QVERIFY(lines.contains(QStringLiteral("Icon=") + m_root->path() + QStringLiteral("/program/quilex.ico")));
        QVERIFY(lines.contains(QStringLiteral("MimeType=application/x-perl;application/x-cgi;text/x-perl;")));
        QVERIFY(lines.contains(QStringLiteral("Terminal=false")));
        QVERIFY(lines.contains(QStringLiteral("Categories=Development;TextEditor;")));

        // This system has *.pl but no *.cgi: only the missing glob is added.
        const QByteArray package = readFile(packageFile());
        QVERIFY(package.contains("<mime-type type=\"application/x-cgi\">"));
        QVERIFY(package.contains("<glob pattern=\"*.cgi\"/>"));
        QVERIFY(!package.contains("*.pl"));

        const QString list = QString::fromUtf8(readFile(listFile()));
        // The caches are brought up to date for what was written.
        QCOMPARE(m_updates, (QStringList{QStringLiteral("update-desktop-database ") + data("applications"),
                                         QStringLiteral("update-mime-database ") + data("mime")}));

        QCOMPARE(list, QStringLiteral("[Default Applications]\n"
                                      "application/x-perl=quillet-lite.desktop\n"
                                      "application/x-cgi=quillet-lite.desktop\n"
                                      "\n"
                                      "[Added Associations]\n"
                                      "application/x-perl=quillet-lite.desktop;\n"
                                      "application/x-cgi=quillet-lite.desktop;\n"));
    }

    void secondStartWritesNothing()
    {
        frame::registerFileTypes();
        const QStringList files{desktopFile(), packageFile(), listFile()};
        QList<quint64> before;
        for (const QString &f : files) {
            before << inode(f);
            QVERIFY2(before.last() != 0, qPrintable(f));
        }
        m_updates.clear();
        frame::registerFileTypes();
        for (int i = 0; i < files.size(); ++i)
            QCOMPARE(inode(files[i]), before[i]);
        QCOMPARE(m_updates, QStringList());

        // A moved program folder rewrites the entry, and only the entry.
        platform::setProgramFolder(m_root->path() + QStringLiteral("/moved"));
        frame::registerFileTypes();
        QVERIFY(inode(desktopFile()) != before[0]);
        QVERIFY(readFile(desktopFile()).contains("/moved/quilex.ico"));
        QCOMPARE(inode(packageFile()), before[1]);
        QCOMPARE(inode(listFile()), before[2]);
        QCOMPARE(m_updates, QStringList{QStringLiteral("update-desktop-database ") + data("applications")});
    }

    // An installed copy's own entry serves: no second one for the user,
    // and one left by a copy run elsewhere (that would hide it) goes.
    void installedEntryServes()
    {
        const QString system = m_root->path() + QStringLiteral("/system");
        qputenv("XDG_DATA_DIRS", QFile::encodeName(system));
        // The installed entry names the program as it is found on PATH.
        QVERIFY(QDir().mkpath(m_root->path() + QStringLiteral("/bin")));
        QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), m_root->path() + QStringLiteral("/bin/quilex")));
        PathOverride path(m_root->path() + QStringLiteral("/bin"));
        writeFile(system + QStringLiteral("/applications/quillet-lite.desktop"),
                  "[Desktop Entry]\nType=Application\nName=Quillet Lite\nExec=quilex %f\n");
        writeFile(desktopFile(), "[Desktop Entry]\nType=Application\nName=Quillet Lite\nExec=/elsewhere/quilex %f\n");
        frame::registerFileTypes();
        QVERIFY(!QFileInfo::exists(desktopFile()));
        QVERIFY(readFile(listFile()).contains("[Default Applications]\napplication/x-perl=quillet-lite.desktop\n"
                                              "application/x-cgi=quillet-lite.desktop\n"));
        QCOMPARE(m_updates.first(), QStringLiteral("update-desktop-database ") + data("applications"));

        // An entry that starts another program is not this copy's.
        writeFile(system + QStringLiteral("/applications/quillet-lite.desktop"),
                  "[Desktop Entry]\nType=Application\nName=Quillet Lite\nExec=\"/opt/other copy/quilex\" %f\n");
        frame::registerFileTypes();
        QVERIFY(readFile(desktopFile()).contains("Exec=" + QFile::encodeName(QCoreApplication::applicationFilePath())));
    }

    void otherEntriesKept()
    {
        const QByteArray original = "# my choices\n"
                                    "[Default Applications]\n"
                                    "text/html=firefox.desktop\n"
                                    "application/x-perl = vim.desktop\n"
                                    "\n"
                                    "[Added Associations]\n"
                                    "application/x-perl=vim.desktop;emacs.desktop;\n"
                                    "text/plain=gedit.desktop;\n"
                                    "\n"
                                    "[Removed Associations]\n"
                                    "image/png=foo.desktop;\n";
        writeFile(listFile(), original);
        frame::registerFileTypes();
        QCOMPARE(QString::fromUtf8(readFile(listFile())),
                 QStringLiteral("# my choices\n"
                                "[Default Applications]\n"
                                "text/html=firefox.desktop\n"
                                "application/x-perl=quillet-lite.desktop\n"
                                "application/x-cgi=quillet-lite.desktop\n"
                                "\n"
                                "[Added Associations]\n"
                                "application/x-perl=quillet-lite.desktop;vim.desktop;emacs.desktop;\n"
                                "text/plain=gedit.desktop;\n"
                                "application/x-cgi=quillet-lite.desktop;\n"
                                "\n"
                                "[Removed Associations]\n"
                                "image/png=foo.desktop;\n"));
    }

    void desktopToolsAgree()
    {
        frame::registerFileTypes();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_root->path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_root->path() + QStringLiteral("/config"));
        env.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
        env.remove(QStringLiteral("DESKTOP_SESSION"));

        const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
        if (!xdgMime.isEmpty()) {
            for (const char *type : {"application/x-perl", "application/x-cgi"}) {
                QProcess query;
                query.setProcessEnvironment(env);
                query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), QLatin1String(type)});
                QVERIFY(query.waitForFinished(20000));
                QCOMPARE(QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed(),
                         QStringLiteral("quillet-lite.desktop"));
            }
        }
        // The package is one the MIME database accepts.
        const QString update = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
        if (update.isEmpty())
            QSKIP("update-mime-database is not installed");
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(update, {m_root->path() + QStringLiteral("/data/mime")});
        QVERIFY(run.waitForFinished(60000));
        QCOMPARE(run.exitCode(), 0);
        QVERIFY(readFile(data(QStringLiteral("mime/globs2"))).contains("application/x-cgi:*.cgi"));
    }
};

QTEST_MAIN(TestFileTypes)
#include "tst_filetypes.moc"
