#include "platform/atomicfile.h"

#include "storage/filemetadata.h"
#include "storage/saverecord.h"

#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// A write in place goes in pieces of this size.
constexpr qint64 kPiece = 4 << 20;

std::function<void(WriteStage)> &observer()
{
    static std::function<void(WriteStage)> o;
    return o;
}

void reached(WriteStage stage)
{
    if (observer())
        observer()(stage);
}

// Follows a chain of symbolic links to the file that really gets written.
QString resolveLinks(const QString &path)
{
    QString current = path;
    for (int hops = 0; hops < 32; ++hops) {
        QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        current = info.symLinkTarget();
    }
    return current;
}

QString reason(int errorNumber)
{
    return qt_error_string(errorNumber);
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// What a file that isn't a regular file is, for the message that refuses it.
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return reason(EISDIR);
    const char *kind = S_ISCHR(mode) ? "a character device"
        : S_ISBLK(mode)              ? "a block device"
        : S_ISFIFO(mode)             ? "a named pipe"
        : S_ISSOCK(mode)             ? "a socket"
                                     : "not a plain file";
    return QStringLiteral("It is %1, not a regular file; nothing was written.").arg(QLatin1String(kind));
}

bool writeAll(int fd, const char *data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(qMin<qint64>(size, 1 << 30)), off_t(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

bool readAll(int fd, QByteArray *out)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    out->resize(qsizetype(st.st_size));
    qint64 done = 0;
    for (;;) {
        if (done == out->size())
            out->resize(out->size() + 65536); // it grew meanwhile
        const ssize_t n = ::pread(fd, out->data() + done, size_t(out->size() - done), off_t(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            break;
        done += n;
    }
    out->truncate(qsizetype(done));
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

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Writes over the file itself, which keeps its inode (so its owner, group,
// ACL, attributes, hard links and any other name) and never leaves it
// damaged: the full size is reserved before a byte changes, and on any
// failure the old bytes go back. A recorded save first keeps the old bytes
// under the state folder, where a start after a kill finds them.
bool writeInPlace(const QByteArray &encoded, const QByteArray &data, QString *error, bool recorded)
{
    const int fd = ::open(encoded.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return fail(error, reason(errno));
    struct stat st;
    QByteArray old;
    if (::fstat(fd, &st) != 0 || !readAll(fd, &old)) {
        const int e = errno;
        ::close(fd);
        return fail(error, reason(e));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(error, kindOf(st.st_mode));
    }
    // Without a record (a full state folder) the save still goes ahead:
    // the old bytes are kept in memory against any failure but a kill, and
    // the journal holds the new text.
    storage::SaveRecord record;
    if (recorded)
        record = storage::SaveRecord::forInPlace(encoded, st, old, nullptr);
    if (data.size() > old.size()) {
        const int e = ::posix_fallocate(fd, 0, off_t(data.size()));
        if (e != 0) {
            // Nothing of the content changed; only the size may have.
            ::ftruncate(fd, off_t(old.size()));
            ::close(fd);
            return fail(error, reason(e));
        }
    }
    int e = 0;
    for (qint64 at = 0; e == 0 && at < data.size(); at += kPiece) {
        if (!writeAll(fd, data.constData() + at, qMin(kPiece, data.size() - at), at))
            e = errno;
        else
            reached(WriteStage::InPlacePieceWritten);
    }
    if (e == 0 && data.size() < old.size() && ::ftruncate(fd, off_t(data.size())) != 0)
        e = errno;
    if (e == 0 && ::fsync(fd) != 0)
        e = errno;
    if (e != 0) {
        const bool restored = writeAll(fd, old.constData(), old.size(), 0)
            && ::ftruncate(fd, off_t(old.size())) == 0 && ::fsync(fd) == 0;
        const int restoreError = errno;
        ::close(fd);
        QString text = reason(e);
        if (!restored) {
            text += QStringLiteral("\nThe old content could not be put back: %1").arg(reason(restoreError));
            record.keep(); // the next start offers it
        }
        return fail(error, text);
    }
    // Writing clears setuid and setgid for a process that may not keep them;
    // the owner may set them again.
    struct stat after;
    if (::fstat(fd, &after) == 0 && (after.st_mode & 07777) != (st.st_mode & 07777))
        ::fchmod(fd, st.st_mode & 07777);
    if (::close(fd) != 0)
        return fail(error, reason(errno));
    return true;
}

} // namespace

bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error, const WriteOptions &options)
{
    const QString target = resolveLinks(path);
    const QByteArray encoded = QFile::encodeName(target);
    const QFileInfo info(target);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    const QByteArray name = QFile::encodeName(info.fileName());

    struct stat st;
    const bool existed = ::stat(encoded.constData(), &st) == 0;
    if (!existed && errno != ENOENT)
        return fail(error, reason(errno));
    if (existed) {
        if (!S_ISREG(st.st_mode))
            return fail(error, kindOf(st.st_mode));
        // A file the user may not write is not replaced either.
        if (::faccessat(AT_FDCWD, encoded.constData(), W_OK, AT_EACCESS) != 0)
            return fail(error, reason(errno));
        if (st.st_nlink > 1)
            return writeInPlace(encoded, data, error, options.recorded);
    }

    storage::removeStaleTemporaries(folder, name);
    QByteArray temp = storage::temporaryTemplate(folder, name);
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        // A folder that refuses new files: the file itself may still be
        // written, safely, in place.
        if (existed)
            return writeInPlace(encoded, data, error, options.recorded);
        return fail(error, reason(errno));
    }
    // Locked until it has its name, so that no other save takes it for one
    // a killed editor left.
    ::flock(fd, LOCK_EX);
    storage::SaveRecord record;
    if (options.recorded)
        record = storage::SaveRecord::forTemporary(encoded, temp);
    auto abandon = [&](int e) {
        ::unlink(temp.constData());
        ::close(fd);
        return fail(error, reason(e));
    };
    auto inPlaceInstead = [&] {
        ::unlink(temp.constData());
        ::close(fd);
        return writeInPlace(encoded, data, error, options.recorded);
    };
    if (!writeAll(fd, data.constData(), data.size(), 0))
        return abandon(errno);
    if (existed) {
        // The replacement keeps the old file's owner and group (as root, the
        // file goes back to its owner), its ACL and its attributes; where
        // this process can't give them, the file is written in place
        // instead, which keeps them. The ACL comes before the mode, which
        // then changes nothing it gave: an old file's group bits show its
        // ACL's mask, never what its group may do.
        if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid())
            && ::fchown(fd, st.st_uid, st.st_gid) != 0)
            return inPlaceInstead();
        if (!storage::copyAclAndAttributes(encoded, fd, nullptr))
            return inPlaceInstead();
        if (::fchmod(fd, st.st_mode & 07777) != 0)
            return abandon(errno);
    } else if (::fchmod(fd, 0666 & ~currentUmask()) != 0) {
        return abandon(errno);
    }
    if (::fsync(fd) != 0)
        return abandon(errno);
    reached(WriteStage::TemporaryWritten);
    if (::rename(temp.constData(), encoded.constData()) != 0)
        return abandon(errno);
    // The data is synced: closing can lose nothing of it now.
    ::close(fd);
    syncFolder(folder);
    return true;
}

void setWriteObserver(std::function<void(WriteStage)> stageObserver)
{
    observer() = std::move(stageObserver);
}

} // namespace platform
