#include "platform/recoverystore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

const QByteArray kMagic1 = "quillet-lite recovery 1\n";
const QByteArray kMagic = "quillet-lite recovery 2\n";
const QString kLockSuffix = QStringLiteral(".lock");
const QString kEntrySuffix = QStringLiteral(".entry");

int lockFile(const QString &path, bool create)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    // The file may have been removed (and made anew) between the open and
    // the lock by the session that owned it: then this lock is worthless.
    struct stat held, now;
    if (::fstat(fd, &held) != 0 || ::stat(QFile::encodeName(path).constData(), &now) != 0
        || held.st_ino != now.st_ino || held.st_dev != now.st_dev) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The session an entry belongs to: its name up to the last '-'.
QString sessionOf(const QString &entryName)
{
    return entryName.left(entryName.lastIndexOf(QLatin1Char('-')));
}

int entryNumber(const QString &entryName)
{
    const int dash = entryName.lastIndexOf(QLatin1Char('-'));
    return entryName.mid(dash + 1, entryName.size() - dash - 1 - kEntrySuffix.size()).toInt();
}

int g_signalPipe[2] = {-1, -1};

void onSignal(int sig)
{
    const char byte = char(sig);
    const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    (void)n;
}

} // namespace

QString recoveryFolder()
{
    QString state = QFile::decodeName(qgetenv("XDG_STATE_HOME"));
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/quillet-lite/recovery");
}

QByteArray RecoveryEntry::serialise() const
{
    QByteArray out = kMagic;
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it)
        out += QUrl::toPercentEncoding(it.key()) + '=' + QUrl::toPercentEncoding(it.value()) + '\n';
    out += '\n';
    out += payload;
    return out;
}

bool RecoveryEntry::parse(const QByteArray &bytes, RecoveryEntry *out)
{
    if (bytes.startsWith(kMagic1))
        out->version = 1;
    else if (bytes.startsWith(kMagic))
        out->version = 2;
    else
        return false;
    qsizetype at = kMagic.size();
    for (;;) {
        const qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            return false;
        if (end == at)
            break;
        const QByteArray line = bytes.mid(at, end - at);
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            return false;
        out->fields.insert(QUrl::fromPercentEncoding(line.left(eq)), QUrl::fromPercentEncoding(line.mid(eq + 1)));
        at = end + 1;
    }
    out->payload = bytes.mid(at + 1);
    return true;
}

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket");
    return QStringLiteral("it is not a regular file");
}

// Reads up to `size` bytes (fewer at the end of the file).
bool readUpTo(int fd, QByteArray *into, qsizetype size)
{
    const qsizetype start = into->size();
    into->resize(start + size);
    qsizetype got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, into->data() + start + got, size_t(size - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            into->resize(start + got);
            return false;
        }
        if (n == 0)
            break;
        got += n;
    }
    into->resize(start + got);
    return true;
}

} // namespace

bool readRecoveryEntry(const QString &path, RecoveryEntry *out, QString *why)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        *why = errno == ELOOP ? QStringLiteral("it is a symbolic link") : systemReason(errno);
        return false;
    }
    struct stat st;
    bool ok = false;
    QByteArray bytes;
    if (::fstat(fd, &st) != 0) {
        *why = systemReason(errno);
    } else if (!S_ISREG(st.st_mode)) {
        *why = kindOf(st.st_mode);
    } else if (!readUpTo(fd, &bytes, std::min<qsizetype>(kRecoveryHeaderCap, qsizetype(st.st_size)))) {
        *why = systemReason(errno);
    } else if (bytes.indexOf("\n\n") < 0) {
        *why = qsizetype(st.st_size) > kRecoveryHeaderCap ? QStringLiteral("its header is too large")
                                                          : QStringLiteral("it is incomplete");
    } else if (!readUpTo(fd, &bytes, qsizetype(st.st_size) - bytes.size())) {
        *why = systemReason(errno);
    } else if (!RecoveryEntry::parse(bytes, out)) {
        *why = QStringLiteral("it is not a recovery entry");
    } else {
        ok = true;
    }
    ::close(fd);
    return ok;
}

QString moveToDamaged(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = info.path() + QStringLiteral("/damaged");
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    QString target = folder + QLatin1Char('/') + info.fileName();
    for (int n = 1; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = folder + QLatin1Char('/') + info.fileName() + QLatin1Char('.') + QString::number(n);
    // rename moves a link itself, never what it points at.
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0)
        return QString();
    return target;
}

RecoverySession::~RecoverySession()
{
    if (m_fd >= 0)
        ::close(m_fd); // the lock goes with the process; the file stays
}

bool RecoverySession::open()
{
    if (m_fd >= 0)
        return true;
    const QString folder = recoveryFolder();
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("%1 can't be made").arg(folder);
        return false;
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (int attempt = 0; attempt < 8 && m_fd < 0; ++attempt) {
        m_id = QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid())
                   .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const QString path = folder + QLatin1Char('/') + m_id + kLockSuffix;
        if (QFile::exists(path))
            continue;
        m_fd = lockFile(path, true);
        if (m_fd < 0)
            m_error = systemReason(errno);
    }
    return m_fd >= 0;
}

void RecoverySession::close()
{
    if (m_fd < 0)
        return;
    QFile::remove(recoveryFolder() + QLatin1Char('/') + m_id + kLockSuffix);
    ::close(m_fd);
    m_fd = -1;
}

QString RecoverySession::entryPath(int number) const
{
    return recoveryFolder() + QLatin1Char('/') + m_id + QLatin1Char('-') + QString::number(number) + kEntrySuffix;
}

ClaimedSession::ClaimedSession(const QString &id, int fd, QStringList entries)
    : m_id(id), m_fd(fd), m_entries(std::move(entries))
{
}

ClaimedSession::~ClaimedSession()
{
    const QDir folder(recoveryFolder());
    const QStringList left = folder.entryList({m_id + QStringLiteral("-*") + kEntrySuffix}, QDir::Files);
    bool any = false;
    for (const QString &name : left)
        any = any || sessionOf(name) == m_id;
    if (!any)
        QFile::remove(folder.filePath(m_id + kLockSuffix));
    ::close(m_fd);
}

std::vector<std::unique_ptr<ClaimedSession>> claimEndedSessions(const QString &ownId)
{
    std::vector<std::unique_ptr<ClaimedSession>> claimed;
    const QDir folder(recoveryFolder());
    QMap<QString, QStringList> bySession;
    // Whatever bears an entry's name is taken, to be read safely or put
    // aside: a link, a pipe or a folder as well as a file.
    const QDir::Filters all = QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot;
    for (const QString &name : folder.entryList({QStringLiteral("*") + kEntrySuffix}, all))
        bySession[sessionOf(name)] << name;
    // Lock files of ended sessions that left nothing go.
    for (const QString &name : folder.entryList({QStringLiteral("*") + kLockSuffix}, QDir::Files)) {
        const QString id = name.left(name.size() - kLockSuffix.size());
        if (id == ownId || bySession.contains(id))
            continue;
        const int fd = lockFile(folder.filePath(name), false);
        if (fd >= 0) {
            QFile::remove(folder.filePath(name));
            ::close(fd);
        }
    }
    for (auto it = bySession.begin(); it != bySession.end(); ++it) {
        if (it.key().isEmpty() || it.key() == ownId)
            continue;
        const int fd = lockFile(folder.filePath(it.key() + kLockSuffix), true);
        if (fd < 0)
            continue; // alive
        // What its writes left half done.
        for (const QString &temp : folder.entryList({it.key() + QStringLiteral("-*") + kEntrySuffix + QStringLiteral(".*")},
                                                    QDir::Files | QDir::Hidden))
            QFile::remove(folder.filePath(temp));
        QStringList names = it.value();
        std::sort(names.begin(), names.end(),
                  [](const QString &a, const QString &b) { return entryNumber(a) < entryNumber(b); });
        QStringList paths;
        for (const QString &name : names)
            paths << folder.filePath(name);
        claimed.push_back(std::make_unique<ClaimedSession>(it.key(), fd, paths));
    }
    return claimed;
}

namespace {

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return ::fdatasync(fd) == 0;
}

bool failed(QString *error)
{
    if (error)
        *error = systemReason(errno);
    return false;
}

} // namespace

bool writeRecoveryFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QByteArray temp = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return failed(error);
    if (!writeAll(fd, bytes)) {
        const int e = errno;
        ::close(fd);
        ::unlink(temp.constData());
        errno = e;
        return failed(error);
    }
    ::close(fd);
    if (::rename(temp.constData(), QFile::encodeName(path).constData()) != 0) {
        const int e = errno;
        ::unlink(temp.constData());
        errno = e;
        return failed(error);
    }
    return true;
}

bool appendRecoveryFile(const QString &path, const QByteArray &bytes, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return failed(error);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return failed(error);
    }
    const bool ok = writeAll(fd, bytes);
    const int e = errno;
    ::close(fd);
    errno = e;
    return ok || failed(error);
}

void onTerminationSignal(std::function<void()> callback)
{
    static std::function<void()> s_callback;
    s_callback = std::move(callback);
    if (g_signalPipe[0] >= 0)
        return;
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char sig = 0;
        if (::read(g_signalPipe[0], &sig, 1) != 1)
            return;
        if (s_callback)
            s_callback();
        // End as the signal would have ended the program.
        ::signal(sig, SIG_DFL);
        ::raise(sig);
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(sig, &action, nullptr);
}

} // namespace platform
