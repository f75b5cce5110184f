// Saving never damages the file on disk: a full disk or a folder that
// refuses new files leaves the old bytes; owner, group, mode, ACL,
// extended attributes and hard links are kept; devices, pipes and sockets
// are refused; long names save.

#include "platform/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::writeFileAtomically;

namespace {

const uid_t kNobody = 65534;
const gid_t kNogroup = 65534;

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

struct stat statOf(const QString &path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

// A small tmpfs that a test can fill; unmounted when it goes.
class SmallDisk
{
public:
    SmallDisk()
    {
        m_ok = ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, "size=64k,mode=0755")
            == 0;
    }
    ~SmallDisk()
    {
        if (m_ok)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    bool mounted() const { return m_ok; }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Takes every free byte.
    void fill()
    {
        QFile f(path(QStringLiteral("filler")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray block(1024, 'z');
        while (f.write(block) == block.size() && f.flush()) {
        }
    }

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};

// Runs writeFileAtomically in a child process as nobody; the child's error
// text comes back.
bool writeAsNobody(const QString &path, const QByteArray &data, QString *error)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        QString e;
        const bool ok = ::setresgid(kNogroup, kNogroup, kNogroup) == 0
            && ::setresuid(kNobody, kNobody, kNobody) == 0 && writeFileAtomically(path, data, &e);
        const QByteArray out = (ok ? "1" : "0") + e.toUtf8();
        if (::write(pipeFds[1], out.constData(), size_t(out.size())) < 0)
            ::_exit(2);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray out;
    char buf[512];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0)
        out.append(buf, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    *error = QString::fromUtf8(out.mid(1));
    return out.startsWith('1');
}

} // namespace

class TestAtomicFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fullDiskLeavesTheOldBytes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("replaced") << QStringLiteral("replace");
        QTest::newRow("in place, second hard link") << QStringLiteral("link");
        QTest::newRow("in place, folder refuses new files") << QStringLiteral("folder");
    }

    void fullDiskLeavesTheOldBytes()
    {
        QFETCH(QString, how);
        if (::geteuid() != 0)
            QSKIP("needs root to mount a small file system");
        SmallDisk disk;
        if (!disk.mounted())
            QSKIP("mounting a tmpfs is not permitted here");
        const QString path = disk.path(QStringLiteral("script.pl"));
        const QByteArray old(8 * 1024, 'o');
        put(path, old);
        if (how == QLatin1String("link"))
            QCOMPARE(::link(QFile::encodeName(path).constData(),
                            QFile::encodeName(disk.path(QStringLiteral("other"))).constData()),
                     0);
        if (how == QLatin1String("folder"))
            QCOMPARE(::chown(QFile::encodeName(path).constData(), kNobody, kNogroup), 0);
        disk.fill();
        const QByteArray bigger(48 * 1024, 'n');
        QString error;
        const bool ok = how == QLatin1String("folder") ? writeAsNobody(path, bigger, &error)
                                                       : writeFileAtomically(path, bigger, &error);
        QVERIFY(!ok);
        QCOMPARE(error, qt_error_string(ENOSPC));
        QCOMPARE(bytesOf(path), old);
        QCOMPARE(QFileInfo(path).size(), qint64(old.size()));
        // Nothing half-written is left beside it.
        QVERIFY(QDir(disk.path(QString())).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".script")).isEmpty());

        // With room again, the same write goes through the same way.
        QVERIFY(QFile::remove(disk.path(QStringLiteral("filler"))));
        const QByteArray fits(16 * 1024, 'f');
        QVERIFY(how == QLatin1String("folder") ? writeAsNobody(path, fits, &error)
                                              : writeFileAtomically(path, fits, &error));
        QCOMPARE(bytesOf(path), fits);
    }

    void ownerGroupModeAndLinksAreKept()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("run.cgi"));
        put(path, "#!/usr/bin/perl\n");
        const bool root = ::geteuid() == 0;
        if (root)
            QCOMPARE(::chown(QFile::encodeName(path).constData(), kNobody, kNogroup), 0);
        const mode_t mode = root ? 04750 : 02750;
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
        const QString second = dir.filePath(QStringLiteral("also.cgi"));
        QString error;
        QVERIFY2(writeFileAtomically(path, "print 1;\n", &error), qPrintable(error));
        struct stat st = statOf(path);
        QCOMPARE(st.st_mode & 07777, mode);
        if (root) {
            QCOMPARE(st.st_uid, kNobody);
            QCOMPARE(st.st_gid, kNogroup);
            // A user's save keeps a group the user can't give a file.
            const QString shared = dir.filePath(QStringLiteral("shared.pl"));
            put(shared, "1");
            QCOMPARE(::chown(QFile::encodeName(shared).constData(), kNobody, 0), 0);
            QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
            QVERIFY2(writeAsNobody(shared, "2", &error), qPrintable(error));
            QCOMPARE(bytesOf(shared), QByteArray("2"));
            QCOMPARE(statOf(shared).st_gid, gid_t(0));
            QVERIFY(QFile::remove(shared));
        }

        // A second name for the same file stays the same file.
        QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(second).constData()), 0);
        const ino_t inode = statOf(path).st_ino;
        QVERIFY2(writeFileAtomically(second, "print 2;\n", &error), qPrintable(error));
        QCOMPARE(statOf(path).st_ino, inode);
        QCOMPARE(statOf(second).st_ino, inode);
        QCOMPARE(bytesOf(path), QByteArray("print 2;\n"));
        QCOMPARE(statOf(path).st_mode & 07777, mode);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // A replace gives the new file the old one's ACL and extended
    // attributes, and never a wider mode (the old mode's group bits are
    // the ACL's mask, not what the group may do).
    void aclAndAttributesAreKept()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.pl"));
        const QByteArray name = QFile::encodeName(path);
        put(path, "old\n");
        QCOMPARE(::chmod(name.constData(), 0640), 0);
        QProcess setfacl;
        setfacl.start(QStringLiteral("setfacl"), {QStringLiteral("-m"), QStringLiteral("u:nobody:rw"), path});
        if (!setfacl.waitForFinished() || setfacl.exitStatus() != QProcess::NormalExit || setfacl.exitCode() != 0)
            QSKIP("setfacl is missing, or this file system has no ACLs");
        if (::setxattr(name.constData(), "user.origin", "web", 3, 0) != 0)
            QSKIP("this file system refuses user attributes");
        auto acl = [&path] {
            QProcess getfacl;
            getfacl.start(QStringLiteral("getfacl"), {QStringLiteral("--omit-header"), path});
            getfacl.waitForFinished();
            return getfacl.readAllStandardOutput();
        };
        const QByteArray before = acl();
        QVERIFY(before.contains("user:nobody:rw-") && before.contains("group::r--"));
        QString error;
        QVERIFY2(writeFileAtomically(path, "new\n", &error), qPrintable(error));
        QCOMPARE(bytesOf(path), QByteArray("new\n"));
        QCOMPARE(statOf(path).st_nlink, nlink_t(1)); // replaced, not written in place
        QCOMPARE(acl(), before);
        QCOMPARE(statOf(path).st_mode & 07777, mode_t(0660));
        char value[8] = {};
        QCOMPARE(::getxattr(name.constData(), "user.origin", value, sizeof value), ssize_t(3));
        QCOMPARE(QByteArray(value), QByteArray("web"));
    }

    void onlyRegularFilesAreWritten()
    {
        QTemporaryDir dir;
        const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("fifo")));
        QCOMPARE(::mkfifo(fifo.constData(), 0644), 0);
        QString error;
        QVERIFY(!writeFileAtomically(QFile::decodeName(fifo), "x", &error));
        QVERIFY2(error.contains(QLatin1String("named pipe")), qPrintable(error));
        QVERIFY(S_ISFIFO(statOf(QFile::decodeName(fifo)).st_mode));

        const QByteArray sock = QFile::encodeName(dir.filePath(QStringLiteral("sock")));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr {};
        addr.sun_family = AF_UNIX;
        qstrncpy(addr.sun_path, sock.constData(), sizeof addr.sun_path);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
        error.clear();
        QVERIFY(!writeFileAtomically(QFile::decodeName(sock), "x", &error));
        QVERIFY2(error.contains(QLatin1String("socket")), qPrintable(error));
        ::close(fd);

        const QByteArray device = QFile::encodeName(dir.filePath(QStringLiteral("null")));
        if (::mknod(device.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
            error.clear();
            QVERIFY(!writeFileAtomically(QFile::decodeName(device), "x", &error));
            QVERIFY2(error.contains(QLatin1String("character device")), qPrintable(error));
            QVERIFY(S_ISCHR(statOf(QFile::decodeName(device)).st_mode));
        }
    }

    void namesAtTheLimitSave_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("249 bytes") << 249;
        QTest::newRow("255 bytes") << 255;
        QTest::newRow("255 bytes, two-byte letters") << -255;
    }

    void namesAtTheLimitSave()
    {
        QFETCH(int, length);
        QTemporaryDir dir;
        const QString name = length > 0 ? QString(length, QLatin1Char('n'))
                                        : QString(-length / 2, QChar(0xE9)) + QLatin1Char('x');
        const QString path = dir.filePath(name);
        put(path, "old");
        QString error;
        QVERIFY2(writeFileAtomically(path, "new", &error), qPrintable(error));
        QCOMPARE(bytesOf(path), QByteArray("new"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
};

QTEST_APPLESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
