#include "platform/settingsstore.h"

#include "platform/atomicfile.h"
#include "platform/settingsstorefile.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>
#include <ctime>
#include <utility>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// A file larger than this is kept aside unread rather than held in memory.
constexpr qint64 kMaxFileSize = 256 * 1024 * 1024;

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
    // The file as it is on disk, and why it could not be read in full
    // (empty: it could). A damaged file is kept aside once, before
    // anything is written; keepTried stops a failed attempt from being
    // repeated at every Read while the file stays as it is.
    QByteArray raw;
    bool rawWhole = false;
    QString damage;
    bool keepTried = false;

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

struct Reporting
{
    std::function<void(const QString &)> reporter;
    QStringList waiting;
};

// Held with cacheMutex.
Reporting &reporting()
{
    static Reporting r;
    return r;
}

void report(const QString &message)
{
    Reporting &r = reporting();
    if (r.reporter)
        r.reporter(message);
    else
        r.waiting << message;
}

// The file's text in the form the store reads: UTF-8 without a byte order
// mark. A file saved again as UTF-16 (with its mark) by another editor is
// read as well; false when its UTF-16 is broken.
bool toUtf8(const QByteArray &raw, QByteArray *text)
{
    const bool little = raw.startsWith("\xFF\xFE");
    if ((little || raw.startsWith("\xFE\xFF")) && raw.size() % 2 == 0) {
        QStringDecoder decoder(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        const QString decoded = decoder(raw);
        *text = decoded.toUtf8();
        return !decoder.hasError();
    }
    *text = raw.startsWith("\xEF\xBB\xBF") ? raw.mid(3) : raw;
    return true;
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
    QByteArray raw;
    QString damage;
    bool whole = false;
    if (stamp.exists && stamp.size > kMaxFileSize) {
        damage = QStringLiteral("it is larger than 256 MB");
    } else if (stamp.exists) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            damage = QStringLiteral("it could not be read: %1").arg(f.errorString());
        } else {
            raw = f.read(kMaxFileSize + 1);
            whole = f.error() == QFileDevice::NoError && raw.size() <= kMaxFileSize;
            if (!whole) {
                raw.clear();
                damage = QStringLiteral("it could not be read: %1").arg(f.errorString());
            }
        }
    }
    if (!(c.valid && c.path == path && raw == c.raw)) {
        QByteArray text;
        const bool decoded = toUtf8(raw, &text);
        c.file = SettingsFile(text);
        if (damage.isEmpty() && (!decoded || !c.file.complete()))
            damage = QStringLiteral("it holds lines or bytes the editor never writes");
        c.damage = damage;
        c.keepTried = false;
    } else if (!damage.isEmpty()) {
        c.damage = damage;
    }
    c.raw = raw;
    c.rawWhole = whole;
    // The stamp names these bytes only if it held while they were read.
    const Stamp after = stampOf(encoded);
    c.path = path;
    c.stamp = after;
    c.readAt = after == stamp ? readAt : timespec{};
    c.valid = true;
    return c.file;
}

// A file that could not be read in full is kept under another name,
// "settings.ini.damaged-<date>", before anything is written over it;
// what could be read takes its place, and the user is told once. False
// when it could not be kept (then nothing may be written). The caller
// holds the folder lock and cacheMutex.
bool keepDamaged(const QString &path)
{
    Cache &c = cache();
    current();
    if (c.damage.isEmpty())
        return true;
    if (c.keepTried)
        return false;
    c.keepTried = true;
    const QString base = path + QStringLiteral(".damaged-") + QDate::currentDate().toString(Qt::ISODate);
    QString kept = base;
    for (int n = 2; QFileInfo::exists(kept) || QFileInfo(kept).isSymLink(); ++n)
        kept = base + QLatin1Char('-') + QString::number(n);
    const QByteArray salvage = c.file.rewritten();
    bool ok;
    if (c.rawWhole && !salvage.isEmpty()) {
        // A copy keeps the bytes, and the file itself is replaced at once
        // by what could be read: another editor never finds it missing.
        QFile copy(kept);
        ok = copy.open(QIODevice::WriteOnly | QIODevice::NewOnly) && copy.write(c.raw) == c.raw.size()
            && copy.flush() && ::fsync(copy.handle()) == 0;
        copy.close();
        ok = ok && writeFileAtomically(path, salvage, nullptr);
    } else {
        ok = ::rename(QFile::encodeName(path).constData(), QFile::encodeName(kept).constData()) == 0;
    }
    if (!ok)
        return false;
    report(QStringLiteral("The settings file %1 could not be read in full (%2).\n"
                          "It was kept as %3, and the editor goes on with what could be read.")
               .arg(path, c.damage, QFileInfo(kept).fileName()));
    c.valid = false;
    current();
    return true;
}

// Writers in every running editor take turns through an exclusive lock on
// the settings folder. The system drops the lock of a process that ends, so
// a crash leaves nothing behind. Waiting polls often enough that a writer
// is never starved by others; only after ten seconds in which no other
// writer changed the file (a stopped editor holding the lock), or where the
// file system has no such locks, does the write go ahead alone.
class FolderLock
{
public:
    explicit FolderLock(const QString &file)
        : m_fd(::open(QFile::encodeName(QFileInfo(file).absolutePath()).constData(),
                      O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (m_fd < 0)
            return;
        const QByteArray encoded = QFile::encodeName(file);
        Stamp seen = stampOf(encoded);
        QElapsedTimer still;
        still.start();
        for (int turn = 0; !still.hasExpired(10000); ++turn) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
                return;
            if (errno != EWOULDBLOCK && errno != EINTR)
                break;
            ::usleep(2000);
            if (turn % 25 == 0) {
                const Stamp now = stampOf(encoded);
                if (now != seen) {
                    seen = now;
                    still.restart(); // others are writing, not stuck
                }
            }
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
    QString value;
    {
        const QMutexLocker locker(&cacheMutex());
        value = current().value(sectionName(app, section), key).value_or(defaultValue);
        if (cache().damage.isEmpty() || cache().keepTried)
            return value;
    }
    // Kept aside at once, under the writers' lock (taken first, as a
    // writer takes it).
    const QString path = filePath();
    const FolderLock lock(path);
    const QMutexLocker locker(&cacheMutex());
    keepDamaged(path);
    return value;
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
    const FolderLock lock(path);

    const QMutexLocker locker(&cacheMutex());
    // Nothing is written over a file that could not be read in full and
    // could not be kept aside.
    if (!keepDamaged(path))
        return;
    const QByteArray bytes = current().withValue(sectionName(app, section), key, value);
    QString error;
    if (writeFileAtomically(path, bytes, &error)) {
        // What was just written is the file now, unless another writer came
        // in: the next Read checks the bytes before trusting them.
        Cache &c = cache();
        c.file = SettingsFile(bytes);
        c.raw = bytes;
        c.rawWhole = true;
        c.damage.clear();
        c.stamp = stampOf(QFile::encodeName(path));
        c.readAt = timespec{};
    }
}

void setSettingsDamageReporter(std::function<void(const QString &message)> reporter)
{
    const QMutexLocker locker(&cacheMutex());
    Reporting &r = reporting();
    r.reporter = std::move(reporter);
    if (!r.reporter)
        return;
    const QStringList waiting = std::exchange(r.waiting, {});
    for (const QString &message : waiting)
        r.reporter(message);
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
