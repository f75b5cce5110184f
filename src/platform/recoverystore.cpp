#include "platform/recoverystore.h"

#include "platform/atomicfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

const QByteArray kMagic = "quillet-lite recovery 1\n";
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
    if (!bytes.startsWith(kMagic))
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
    if (!QDir().mkpath(folder))
        return false;
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (int attempt = 0; attempt < 8 && m_fd < 0; ++attempt) {
        m_id = QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid())
                   .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const QString path = folder + QLatin1Char('/') + m_id + kLockSuffix;
        if (QFile::exists(path))
            continue;
        m_fd = lockFile(path, true);
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
    for (const QString &name : folder.entryList({QStringLiteral("*") + kEntrySuffix}, QDir::Files))
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

bool writeRecoveryFile(const QString &path, const QByteArray &bytes)
{
    QString error;
    return writeFileAtomically(path, bytes, &error);
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
