#include "platform/settingsstore.h"

#include "platform/atomicfile.h"
#include "platform/settingsstorefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

#include <algorithm>
#include <ctime>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// A settings file is small; anything huge is not ours to trust.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

// What identifies one state of the file on disk. Any write by another
// program (an atomic replace or an edit in place) changes one of these,
// except an edit in place of equal size within one tick of the file
// system's clock: see Cache::trusted.
struct Stamp
{
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const Stamp &o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size
            && modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec
            && changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
    bool operator!=(const Stamp &o) const { return !(*this == o); }
};

Stamp stampOf(const QByteArray &path)
{
    Stamp s;
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.modified = st.st_mtim;
    s.changed = st.st_ctim;
    return s;
}

timespec now()
{
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return t;
}

qint64 nanoseconds(const timespec &t)
{
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The file as last read and indexed, kept while its stamp stays the same,
// so that a Read costs a stat() and a lookup.
struct Cache
{
    QString path;
    Stamp stamp;
    SettingsFile file;
    bool valid = false;
    timespec readAt{}; // when the bytes were last found to be the file's

    // A file's times are as coarse as the file system keeps them: whole
    // seconds (two on some) where they have no fraction, else a tick of the
    // kernel's clock. Bytes read clearly after the file's last change can't
    // have been overwritten since under the same stamp; bytes read within
    // that slack are checked against the file at each Read.
    bool trusted() const
    {
        const qint64 last = std::max(nanoseconds(stamp.modified), nanoseconds(stamp.changed));
        const bool coarse = stamp.modified.tv_nsec == 0 && stamp.changed.tv_nsec == 0;
        const qint64 slack = coarse ? 2000000000 : 100000000;
        return nanoseconds(readAt) > last + slack;
    }
};

Cache &cache()
{
    static Cache c;
    return c;
}

QMutex &cacheMutex()
{
    static QMutex m;
    return m;
}

// The file as it is now. It is read again only when its stamp changed or
// can't be trusted yet, and indexed again only when its bytes changed. The
// caller holds cacheMutex().
const SettingsFile &current()
{
    Cache &c = cache();
    const QString path = SettingsStore::filePath();
    const QByteArray encoded = QFile::encodeName(path);
    const Stamp stamp = stampOf(encoded);
    if (c.valid && c.path == path && c.stamp == stamp && (!stamp.exists || c.trusted()))
        return c.file;

    const timespec readAt = now();
    QByteArray bytes;
    if (stamp.exists && stamp.size <= kMaxFileSize) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            bytes = f.read(kMaxFileSize + 1);
        if (bytes.size() > kMaxFileSize)
            bytes.clear();
    }
    if (!(c.valid && c.path == path && bytes == c.file.bytes()))
        c.file = SettingsFile(bytes);
    // The stamp names these bytes only if it held while they were read.
    const Stamp after = stampOf(encoded);
    c.path = path;
    c.stamp = after;
    c.readAt = after == stamp ? readAt : timespec{};
    c.valid = true;
    return c.file;
}

// Writers in every running editor take turns through an exclusive lock on
// the settings folder. The system drops the lock of a process that ends, so
// a crash leaves nothing behind. Waiting polls often enough that a writer
// is never starved by others; after ten seconds (a stopped editor holding
// the lock), or where the file system has no such locks, the write goes
// ahead alone.
class FolderLock
{
public:
    explicit FolderLock(const QString &folder)
        : m_fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (m_fd < 0)
            return;
        for (int waited = 0; waited < 10000; waited += 2) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
                return;
            if (errno != EWOULDBLOCK && errno != EINTR)
                break;
            ::usleep(2000);
        }
        ::close(m_fd);
        m_fd = -1;
    }
    ~FolderLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

private:
    int m_fd;
};

QString sectionName(const QString &app, const QString &section)
{
    return app + QLatin1Char('\\') + section;
}

} // namespace

QString SettingsStore::filePath()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QLatin1String("/.config");
    return base + QLatin1String("/quillet-lite/settings.ini");
}

QString SettingsStore::Read(const QString &app, const QString &section, const QString &key,
                            const QString &defaultValue)
{
    const QMutexLocker locker(&cacheMutex());
    return current().value(sectionName(app, section), key).value_or(defaultValue);
}

QString SettingsStore::Read(const QString &app, const QString &section, const QString &key,
                            int defaultValue)
{
    return Read(app, section, key, QString::number(defaultValue));
}

void SettingsStore::Write(const QString &app, const QString &section, const QString &key,
                          const QString &value)
{
    const QString path = filePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Read-modify-write under a lock so that two editors writing at once
    // both keep their keys.
    const FolderLock lock(QFileInfo(path).absolutePath());

    const QMutexLocker locker(&cacheMutex());
    const QByteArray bytes = current().withValue(sectionName(app, section), key, value);
    QString error;
    if (writeFileAtomically(path, bytes, &error)) {
        // What was just written is the file now, unless another writer came
        // in: the next Read checks the bytes before trusting them.
        Cache &c = cache();
        c.file = SettingsFile(bytes);
        c.stamp = stampOf(QFile::encodeName(path));
        c.readAt = timespec{};
    }
}

QString readSetting(const QString &section, const QString &key, const QString &defaultValue)
{
    return SettingsStore::Read(appTitle(), section, key, defaultValue);
}

QString readSetting(const QString &section, const QString &key, int defaultValue)
{
    return SettingsStore::Read(appTitle(), section, key, defaultValue);
}

void writeSetting(const QString &section, const QString &key, const QString &value)
{
    SettingsStore::Write(appTitle(), section, key, value);
}

int readNumberSetting(const QString &section, const QString &key, int defaultValue)
{
    bool ok = false;
    const int v = readSetting(section, key, defaultValue).trimmed().toInt(&ok);
    return ok ? v : defaultValue;
}

} // namespace platform
