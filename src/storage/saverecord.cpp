#include "storage/saverecord.h"

#include "storage/fileprobe.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace storage {

namespace {

const QByteArray kMagic = "quillet-lite save record 1\n";
constexpr qint64 kMaxHeader = 64 * 1024;

QString systemError(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(qMin<qint64>(size, 1 << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

bool readAt(int fd, char *data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t n = ::pread(fd, data, size_t(qMin<qint64>(size, 1 << 30)), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A path as the next start finds it again, whatever its working folder.
QByteArray absolute(const QByteArray &path)
{
    if (path.startsWith('/'))
        return path;
    char here[4096];
    return ::getcwd(here, sizeof here) ? QByteArray(here) + '/' + path : path;
}

QByteArray folderBytes()
{
    return QFile::encodeName(saveRecordFolder());
}

bool makeFolder(const QByteArray &folder)
{
    QDir().mkpath(QFile::decodeName(folder).section(QLatin1Char('/'), 0, -2));
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st;
    return ::lstat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

// Opens a record or a stale temporary and takes its lock, unless a live
// save holds it. Only a plain file of this user counts.
int openUnlocked(const QByteArray &path, int flags)
{
    const int fd = ::open(path.constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1
        || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QMap<QByteArray, QByteArray> parseHeader(int fd, qint64 *payloadAt)
{
    QMap<QByteArray, QByteArray> fields;
    QByteArray head(kMaxHeader, '\0');
    const ssize_t n = ::pread(fd, head.data(), size_t(head.size()), 0);
    head.truncate(qMax<ssize_t>(n, 0));
    const qsizetype end = head.indexOf("\n\n");
    if (!head.startsWith(kMagic) || end < 0)
        return fields;
    for (const QByteArray &line : head.mid(kMagic.size(), end - kMagic.size()).split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            fields.insert(line.left(eq), QByteArray::fromPercentEncoding(line.mid(eq + 1)));
    }
    *payloadAt = end + 2;
    return fields;
}

// Whether the file at fd holds exactly the size bytes of the record's
// payload.
bool sameBytes(int fileFd, int recordFd, qint64 payloadAt, qint64 size)
{
    struct stat st;
    if (::fstat(fileFd, &st) != 0 || st.st_size != size)
        return false;
    QByteArray a(1 << 20, '\0'), b(1 << 20, '\0');
    for (qint64 at = 0; at < size;) {
        const qint64 n = qMin<qint64>(a.size(), size - at);
        if (!readAt(fileFd, a.data(), n, at) || !readAt(recordFd, b.data(), n, payloadAt + at)
            || std::memcmp(a.constData(), b.constData(), size_t(n)) != 0)
            return false;
        at += n;
    }
    return true;
}

} // namespace

QString saveRecordFolder()
{
    QString state = QFile::decodeName(qgetenv("XDG_STATE_HOME"));
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/quillet-lite/saves");
}

// ---------------------------------------------------------------- records

SaveRecord::SaveRecord(SaveRecord &&other) noexcept : m_fd(other.m_fd), m_path(std::move(other.m_path))
{
    other.m_fd = -1;
}

SaveRecord &SaveRecord::operator=(SaveRecord &&other) noexcept
{
    if (this != &other) {
        this->~SaveRecord();
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        other.m_fd = -1;
    }
    return *this;
}

SaveRecord::~SaveRecord()
{
    if (m_fd < 0)
        return;
    ::unlink(m_path.constData());
    ::close(m_fd);
    m_fd = -1;
}

void SaveRecord::keep()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

SaveRecord SaveRecord::create(const QByteArray &header, const QByteArray &payload, bool sync, QString *error)
{
    SaveRecord record;
    const QByteArray folder = folderBytes();
    if (!makeFolder(folder)) {
        if (error)
            *error = systemError(errno ? errno : EACCES);
        return record;
    }
    const QByteArray name = QByteArray::number(::getpid()) + '-'
        + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    // Written under a name no start looks at, locked, then given its own:
    // a start sees whole records only.
    const QByteArray part = folder + '/' + name + ".part";
    const int fd = ::open(part.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = systemError(errno);
        return record;
    }
    const QByteArray path = folder + '/' + name + ".save";
    if (::flock(fd, LOCK_EX) != 0 || !writeAll(fd, header.constData(), header.size())
        || !writeAll(fd, payload.constData(), payload.size()) || (sync && ::fsync(fd) != 0)
        || ::rename(part.constData(), path.constData()) != 0) {
        const int e = errno;
        ::unlink(part.constData());
        ::close(fd);
        if (error)
            *error = systemError(e);
        return record;
    }
    if (sync)
        syncFolder(folder);
    record.m_fd = fd;
    record.m_path = path;
    return record;
}

SaveRecord SaveRecord::forTemporary(const QByteArray &target, const QByteArray &temporary)
{
    const QByteArray header = kMagic + "kind=temporary\ntarget=" + absolute(target).toPercentEncoding()
        + "\ntemporary=" + absolute(temporary).toPercentEncoding() + "\n\n";
    return create(header, QByteArray(), false, nullptr);
}

SaveRecord SaveRecord::forInPlace(const QByteArray &target, const struct stat &st, const QByteArray &oldBytes,
                                  QString *error)
{
    const QByteArray header = kMagic + "kind=in-place\ntarget=" + absolute(target).toPercentEncoding()
        + "\ndevice=" + QByteArray::number(quint64(st.st_dev)) + "\ninode=" + QByteArray::number(quint64(st.st_ino))
        + "\nmode=" + QByteArray::number(quint32(st.st_mode & 07777)) + "\nsize="
        + QByteArray::number(oldBytes.size()) + "\n\n";
    return create(header, oldBytes, true, error);
}

// ---------------------------------------------------------------- interrupted saves

InterruptedSave::InterruptedSave(int fd, QByteArray recordPath, QByteArray target, qint64 payloadAt, qint64 size,
                                 quint64 device, quint64 inode, quint32 mode)
    : m_fd(fd), m_recordPath(std::move(recordPath)), m_target(std::move(target)), m_payloadAt(payloadAt),
      m_size(size), m_device(device), m_inode(inode), m_mode(mode)
{
}

InterruptedSave::~InterruptedSave()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString InterruptedSave::target() const
{
    return decodeFileName(m_target);
}

void InterruptedSave::discard()
{
    if (m_fd < 0)
        return;
    ::unlink(m_recordPath.constData());
    ::close(m_fd);
    m_fd = -1;
}

bool InterruptedSave::putBack(QString *error)
{
    auto fail = [error](int e) {
        if (error)
            *error = systemError(e);
        return false;
    };
    if (m_fd < 0)
        return fail(EBADF);
    QByteArray old(m_size, '\0');
    if (!readAt(m_fd, old.data(), m_size, m_payloadAt))
        return fail(errno ? errno : EIO);
    int fd = ::open(m_target.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 && errno == ENOENT)
        fd = ::open(m_target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, m_mode & 0777);
    if (fd < 0)
        return fail(errno);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(EINVAL);
    }
    int e = 0;
    qint64 at = 0;
    while (e == 0 && at < m_size) {
        const ssize_t n = ::pwrite(fd, old.constData() + at, size_t(qMin<qint64>(m_size - at, 1 << 30)), off_t(at));
        if (n > 0)
            at += n;
        else if (n < 0 && errno != EINTR)
            e = errno;
        else if (n == 0)
            e = EIO;
    }
    if (e == 0 && (::ftruncate(fd, off_t(m_size)) != 0 || ::fsync(fd) != 0))
        e = errno;
    if (::close(fd) != 0 && e == 0)
        e = errno;
    if (e != 0)
        return fail(e);
    discard();
    return true;
}

std::vector<std::unique_ptr<InterruptedSave>> claimInterruptedSaves()
{
    std::vector<std::unique_ptr<InterruptedSave>> found;
    const QByteArray folder = folderBytes();
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return found;
    QList<QByteArray> names;
    while (const dirent *entry = ::readdir(dir))
        names << QByteArray(entry->d_name);
    ::closedir(dir);
    std::sort(names.begin(), names.end()); // by process, so the order is stable
    for (const QByteArray &name : names) {
        const QByteArray path = folder + '/' + name;
        if (name.endsWith(".part")) {
            // A record whose writer died before it was whole: nothing was
            // written over yet.
            const int fd = openUnlocked(path, O_RDONLY);
            if (fd >= 0) {
                ::unlink(path.constData());
                ::close(fd);
            }
            continue;
        }
        if (!name.endsWith(".save"))
            continue;
        const int fd = openUnlocked(path, O_RDONLY);
        if (fd < 0)
            continue; // a live save's, or not ours
        qint64 payloadAt = 0;
        const QMap<QByteArray, QByteArray> fields = parseHeader(fd, &payloadAt);
        const QByteArray target = fields.value("target");
        auto drop = [&] {
            ::unlink(path.constData());
            ::close(fd);
        };
        if (fields.value("kind") == "temporary") {
            const QByteArray temporary = fields.value("temporary");
            if (isTemporaryFor(temporary, target)) {
                const int tempFd = openUnlocked(temporary, O_RDONLY);
                if (tempFd >= 0) {
                    ::unlink(temporary.constData());
                    ::close(tempFd);
                }
            }
            drop();
            continue;
        }
        const qint64 size = fields.value("size").toLongLong();
        const quint64 device = fields.value("device").toULongLong();
        const quint64 inode = fields.value("inode").toULongLong();
        struct stat recordSt;
        if (fields.value("kind") != "in-place" || target.isEmpty() || ::fstat(fd, &recordSt) != 0
            || recordSt.st_size != payloadAt + size) {
            drop();
            continue;
        }
        // The file still there with its old bytes (the write never began),
        // or another file in its place since: nothing to offer.
        const int fileFd = ::open(target.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        const bool missing = fileFd < 0 && errno == ENOENT;
        struct stat st;
        const bool sameFile = fileFd >= 0 && ::fstat(fileFd, &st) == 0 && S_ISREG(st.st_mode)
            && quint64(st.st_dev) == device && quint64(st.st_ino) == inode;
        const bool untouched = sameFile && sameBytes(fileFd, fd, payloadAt, size);
        if (fileFd >= 0)
            ::close(fileFd);
        if (untouched || (!missing && !sameFile)) {
            drop();
            continue;
        }
        found.push_back(std::make_unique<InterruptedSave>(fd, path, target, payloadAt, size, device, inode,
                                                          fields.value("mode").toUInt()));
    }
    return found;
}

// ---------------------------------------------------------------- temporaries

QByteArray temporaryTemplate(const QByteArray &folder, const QByteArray &name)
{
    long limit = ::pathconf(folder.isEmpty() ? "/" : folder.constData(), _PC_NAME_MAX);
    if (limit <= 0)
        limit = 255;
    const QByteArray suffix = ".XXXXXX";
    qsizetype keep = qMin<qsizetype>(name.size(), qsizetype(limit) - 1 - suffix.size());
    while (keep > 0 && keep < name.size() && (uchar(name.at(keep)) & 0xC0) == 0x80)
        --keep;
    return folder + '/' + '.' + name.left(qMax<qsizetype>(keep, 0)) + suffix;
}

bool isTemporaryFor(const QByteArray &path, const QByteArray &target)
{
    const qsizetype slash = target.lastIndexOf('/');
    if (slash < 0)
        return false;
    const QByteArray pattern = temporaryTemplate(target.left(slash), target.mid(slash + 1));
    if (path.size() != pattern.size() || !path.startsWith(pattern.left(pattern.size() - 6)))
        return false;
    for (qsizetype i = path.size() - 6; i < path.size(); ++i) {
        const char c = path.at(i);
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

void removeStaleTemporaries(const QByteArray &folder, const QByteArray &name)
{
    const QByteArray target = folder + '/' + name;
    const QByteArray prefix = temporaryTemplate(folder, name).mid(folder.size() + 1).chopped(6);
    DIR *dir = ::opendir(folder.isEmpty() ? "/" : folder.constData());
    if (!dir)
        return;
    QList<QByteArray> stale;
    while (const dirent *entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, prefix.constData(), size_t(prefix.size())) != 0)
            continue;
        const QByteArray path = folder + '/' + entry->d_name;
        if (isTemporaryFor(path, target))
            stale << path;
    }
    ::closedir(dir);
    for (const QByteArray &path : stale) {
        const int fd = openUnlocked(path, O_RDONLY);
        if (fd >= 0) {
            ::unlink(path.constData());
            ::close(fd);
        }
    }
}

} // namespace storage
