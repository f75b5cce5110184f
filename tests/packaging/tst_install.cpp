// The installed program: `cmake --install` into a scratch DESTDIR made
// read-only, the installed editor started there with a private home (and
// worked by the driver plugin), its desktop files checked by the desktop's
// validators, and the Debian package's contents.

#include "support/fixture.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

// Every file an install puts under its prefix, and nothing else.
QStringList installedFiles()
{
    QStringList files{
        QStringLiteral("bin/quilex"),
        QStringLiteral(QUILLET_MODULEDIR "/quilex_browser.so"),
        QStringLiteral(QUILLET_MODULEDIR "/quilex-runner"),
        QStringLiteral("share/applications/quillet-lite.desktop"),
        QStringLiteral("share/metainfo/com.example.quillet.QuilletLite.metainfo.xml"),
        QStringLiteral("share/mime/packages/quillet-lite.xml"),
        QStringLiteral("share/man/man1/quilex.1.gz"),
        QStringLiteral("share/doc/quillet-lite/changelog.gz"),
        QStringLiteral("share/doc/quillet-lite/copyright"),
    };
    for (const char *name : {"help.html", "list.html", "newhtml.qz", "quilex.ico", "tod.qz"})
        files << QStringLiteral("share/quillet-lite/") + QLatin1String(name);
    for (int size : {16, 32, 48, 64, 128, 256})
        files << QStringLiteral("share/icons/hicolor/%1x%1/apps/quillet-lite.png").arg(size);
    files.sort();
    return files;
}

struct Run
{
    int exitCode = -1;
    QByteArray output;
};

Run run(const QString &program, const QStringList &args, const QString &workDir = QString(),
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(), int timeoutMs = 300000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workDir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.output = "timed out\n";
    }
    r.output += p.readAll();
    if (p.exitStatus() == QProcess::NormalExit)
        r.exitCode = p.exitCode();
    return r;
}

// Every entry of a tree with its size, time and mode.
QMap<QString, QString> snapshot(const QString &root)
{
    QMap<QString, QString> out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        out.insert(info.filePath().mid(root.size()),
                   QStringLiteral("%1 %2 %3").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch())
                       .arg(int(info.permissions())));
    }
    return out;
}

void setWritable(const QString &root, bool writable)
{
    QStringList paths{root};
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    const auto write = QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup
        | QFileDevice::WriteOther;
    for (const QString &p : paths) {
        if (QFileInfo(p).isSymLink())
            continue;
        const QFileDevice::Permissions perms = QFile::permissions(p);
        QFile::setPermissions(p, writable ? perms | QFileDevice::WriteOwner | QFileDevice::WriteUser : perms & ~write);
    }
}

QString crlf(QByteArray bytes)
{
    return QString::fromUtf8(bytes.replace("\n", "\r\n"));
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString root() const { return m_dir.path() + QStringLiteral("/root"); }
    // An unusual prefix: nothing may depend on /usr.
    QString prefix() const { return root() + QStringLiteral("/opt/quillet"); }

private Q_SLOTS:
    void initTestCase()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), root());
        const Run install = run(QStringLiteral(QUILLET_CMAKE),
                                {QStringLiteral("--install"), QStringLiteral(QUILLET_BINARY_DIR),
                                 QStringLiteral("--prefix"), QStringLiteral("/opt/quillet")},
                                QString(), env);
        QVERIFY2(install.exitCode == 0, install.output.constData());
    }

    void cleanupTestCase() { setWritable(root(), true); }

    void installsItsFilesAndNothingElse()
    {
        QStringList found;
        QDirIterator it(root(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next().mid(prefix().size() + 1);
        found.sort();
        QCOMPARE(found, installedFiles());
        for (int size : {16, 32, 48, 64, 128, 256}) {
            const QImage icon(prefix() + QStringLiteral("/share/icons/hicolor/%1x%1/apps/quillet-lite.png").arg(size));
            QCOMPARE(icon.size(), QSize(size, size));
        }
    }

    void desktopFilesValidate()
    {
        const QString desktopValidate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        const QString appstream = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
        if (!desktopValidate.isEmpty()) {
            const Run r = run(desktopValidate, {prefix() + QStringLiteral("/share/applications/quillet-lite.desktop")});
            QVERIFY2(r.exitCode == 0 && !r.output.contains("error"), r.output.constData());
        }
        if (!appstream.isEmpty()) {
            const Run r = run(appstream, {QStringLiteral("validate"), QStringLiteral("--no-net"),
                                          prefix() + QStringLiteral("/share/metainfo/com.example.quillet.QuilletLite.metainfo.xml")});
            QVERIFY2(r.exitCode == 0, r.output.constData());
        }
        if (desktopValidate.isEmpty() || appstream.isEmpty())
            QSKIP("desktop-file-validate or appstreamcli is not installed");
    }

    void installedCopyRunsFromAReadOnlyTree()
    {
        const QString home = m_dir.path() + QStringLiteral("/home");
        const QString own = home + QStringLiteral("/.local/share/quillet-lite");
        const QString work = m_dir.path() + QStringLiteral("/work");
        const QString reportPath = m_dir.path() + QStringLiteral("/report");
        // A newer tips file of the user's own is read before the installed one.
        writeFile(own + QStringLiteral("/tod.qz"), "A tip from the user's own folder.\n");
        writeFile(work + QStringLiteral("/start.pl"), "print \"<b>hi</b>\";\n");
        const QString runtime = m_dir.path() + QStringLiteral("/runtime");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        setWritable(root(), false);
        const QMap<QString, QString> before = snapshot(root());

        QProcessEnvironment env;
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("PATH"), prefix() + QStringLiteral("/bin"));
        env.insert(QStringLiteral("XDG_DATA_DIRS"), prefix() + QStringLiteral("/share:/usr/share"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(QUILLET_DRIVER_DIR));
        env.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("quilletdriver"));
        env.insert(QStringLiteral("QUILLET_DRIVER_REPORT"), reportPath);
        if (::geteuid() == 0)
            env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        // A sanitizer build's settings hold for the editor too.
        for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
            if (qEnvironmentVariableIsSet(name))
                env.insert(QLatin1String(name), qEnvironmentVariable(name));
        }
        const Run editor = run(prefix() + QStringLiteral("/bin/quilex"), {QStringLiteral("start.pl")}, work, env, 120000);

        QMap<QString, QString> report;
        for (const QByteArray &line : readFile(reportPath).split('\n')) {
            const int eq = line.indexOf('=');
            if (eq > 0)
                report.insert(QString::fromUtf8(line.left(eq)),
                              QString::fromUtf8(line.mid(eq + 1)).replace(QLatin1String("\\r"), QLatin1String("\r"))
                                  .replace(QLatin1String("\\n"), QLatin1String("\n")));
        }
        QVERIFY2(report.value("done") == "1" && !report.contains("steps-left"), editor.output.constData());
        QCOMPARE(editor.exitCode, 0);

        // It starts, opens its command line, and reads its own files.
        QCOMPARE(report.value("caption"), QStringLiteral("Quillet (LT) v1.05"));
        QCOMPARE(report.value("opened-caption"), QStringLiteral("start.pl"));
        QCOMPARE(report.value("opened-text"), QStringLiteral("print \"<b>hi</b>\";\r\n"));
        const QByteArray templ = readFile(prefix() + QStringLiteral("/share/quillet-lite/newhtml.qz"));
        QVERIFY(templ.size() > 100);
        QCOMPARE(report.value("template-text"), crlf(templ));
        QCOMPARE(report.value("tip"), QStringLiteral("A tip from the user's own folder."));
        QCOMPARE(report.value("help-caption"), QStringLiteral("Quillet Lite Help"));
        QCOMPARE(report.value("browser-module"),
                 prefix() + QStringLiteral("/" QUILLET_MODULEDIR "/quilex_browser.so"));

        // What it writes is the user's.
        QCOMPARE(readFile(own + QStringLiteral("/preview.html")), templ);
        QVERIFY(readFile(own + QStringLiteral("/sholder.qz")).contains("kept in the code keeper"));
        QVERIFY(readFile(own + QStringLiteral("/appbar.qz")).contains("kept in the app bar"));
        QCOMPARE(snapshot(root()), before);

        // The installed desktop entry serves: none of the user's own, but
        // the user's defaults name it.
        QVERIFY(!QFileInfo::exists(home + QStringLiteral("/.local/share/applications/quillet-lite.desktop")));
        const QByteArray defaults = readFile(home + QStringLiteral("/.config/mimeapps.list"));
        QVERIFY(defaults.contains("application/x-perl=quillet-lite.desktop\n"));
        QVERIFY(defaults.contains("application/x-cgi=quillet-lite.desktop\n"));
    }

    void packageHoldsTheInstalledFiles()
    {
        for (const char *tool : {"dpkg-deb", "dpkg-shlibdeps", "dpkg"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QSKIP("the Debian package tools are not installed");
        }
        const QString out = m_dir.path() + QStringLiteral("/package");
        const Run cpack = run(QStringLiteral(QUILLET_CPACK),
                              {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out,
                               QStringLiteral("--config"), QStringLiteral(QUILLET_BINARY_DIR "/CPackConfig.cmake")},
                              QStringLiteral(QUILLET_BINARY_DIR));
        QVERIFY2(cpack.exitCode == 0, cpack.output.constData());
        const QString arch = QString::fromLatin1(run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}).output.trimmed());
        const QString deb = out + QStringLiteral("/quillet-lite_" QUILLET_VERSION "_") + arch + QStringLiteral(".deb");
        QVERIFY2(QFileInfo::exists(deb), qPrintable(QDir(out).entryList().join(QLatin1Char(' '))));

        // Its files are the installed ones under /usr; its folders lead to them.
        const Run list = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb});
        QCOMPARE(list.exitCode, 0);
        QStringList files;
        for (const QByteArray &line : list.output.trimmed().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            QVERIFY2(fields.size() == 6 && fields[1] == "root/root", line.constData());
            const QString path = QString::fromUtf8(fields[5]);
            if (path.endsWith(QLatin1Char('/'))) {
                QVERIFY2(QStringLiteral("./usr/").startsWith(path) || path.startsWith(QLatin1String("./usr/")),
                         qPrintable(path));
                const QString rel = path.mid(6);
                bool leads = rel.isEmpty();
                for (const QString &f : installedFiles())
                    leads = leads || f.startsWith(rel);
                QVERIFY2(leads, qPrintable(path));
            } else {
                files << path.mid(6);
            }
        }
        files.sort();
        QCOMPARE(files, installedFiles());

        auto field = [&deb](const char *name) {
            return QString::fromUtf8(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QLatin1String(name)}).output.trimmed());
        };
        const QString depends = field("Depends");
        for (const char *lib : {"libc6", "libqt6widgets6", "libqt6webenginewidgets6", "libhunspell-1.7-0", "libqt6httpserver6"})
            QVERIFY2(depends.contains(QLatin1String(lib)), qPrintable(depends));
        QCOMPARE(field("Recommends"), QStringLiteral("hunspell-en-us, perltidy, libperl-critic-perl, perl-doc"));
        QVERIFY(field("Description").startsWith(QLatin1String("editor for Perl/CGI scripts and HTML pages\n")));
        // No maintainer scripts: the desktop's databases update by trigger.
        const QString control = m_dir.path() + QStringLiteral("/control");
        QCOMPARE(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), deb, control}).exitCode, 0);
        QCOMPARE(QDir(control).entryList(QDir::Files), (QStringList{QStringLiteral("control"), QStringLiteral("md5sums")}));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
