#include "platform/documentloader.h"

#include "platform/errors.h"
#include "platform/rtfreader.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QThreadPool>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

quint64 hashContent(const QByteArray &bytes)
{
    // Written by hand because the hash must be the same in every process
    // (the recovery journal keeps it for the next start), which Qt's qHash
    // is not: it mixes in a seed chosen at random per process. Eight bytes
    // a step, then the tail, then a final mix of all the bits.
    constexpr quint64 k1 = 0x9E3779B97F4A7C15ULL, k2 = 0xC2B2AE3D27D4EB4FULL;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    quint64 h = k2 ^ quint64(n);
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 w;
        std::memcpy(&w, p + i, 8);
        h ^= w * k1;
        h = ((h << 31) | (h >> 33)) * k2;
    }
    quint64 tail = 0;
    for (qsizetype k = n - 1; k >= i; --k)
        tail = (tail << 8) | p[k];
    h ^= tail * k1;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDULL;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ULL;
    h ^= h >> 33;
    return h | 1;
}

namespace {

LoadResult failure(int number, const QString &error)
{
    LoadResult r;
    r.errorNumber = number;
    r.error = error;
    return r;
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

LoadResult notFound(int code)
{
    return failure(code == ENOENT || code == ENOTDIR ? int(ControlError::FileNotFound)
                                                     : int(ControlError::PathFileAccess),
                   systemError(code));
}

LoadResult notRegular(mode_t mode)
{
    if (S_ISDIR(mode))
        return failure(ControlError::PathFileAccess, systemError(EISDIR));
    return failure(ControlError::PathFileAccess, QStringLiteral("Not a regular file"));
}

// Only a regular file is opened: opening a device may do something, and
// a FIFO with no writer would block. What was opened (without waiting)
// is checked again, in case the name changed meanwhile, before anything
// is read. At most maxSize + 1 bytes are read (-1: no limit).
LoadResult readRegularFile(const QString &path, bool allowLarge, QByteArray *bytes, qint64 maxSize = -1)
{
    if (path.isEmpty())
        return failure(ControlError::FileNotFound, QStringLiteral("File not found"));
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) != 0)
        return notFound(errno);
    if (!S_ISREG(st.st_mode))
        return notRegular(st.st_mode);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return notFound(errno);
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0)
        return failure(ControlError::PathFileAccess, systemError(errno));
    if (!S_ISREG(st.st_mode))
        return notRegular(st.st_mode);
    if (st.st_size > kAskAbove && !allowLarge) {
        LoadResult r = failure(ControlError::PathFileAccess, QStringLiteral("File too large"));
        r.tooLarge = true;
        return r;
    }
    // Back to blocking reads, which a regular file never makes wait long.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const qint64 limit = maxSize < 0 ? std::numeric_limits<qint64>::max() : maxSize + 1;
    bytes->resize(qsizetype(qMin<qint64>(st.st_size, limit)));
    qsizetype got = 0;
    for (;;) {
        if (got >= limit)
            break;
        if (got == bytes->size())
            bytes->resize(qsizetype(qMin<qint64>(got + 65536, limit))); // the file grew meanwhile
        const ssize_t n = ::read(fd, bytes->data() + got, size_t(bytes->size() - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failure(ControlError::PathFileAccess, systemError(errno));
        }
        if (n == 0)
            break;
        got += n;
    }
    bytes->truncate(got);
    LoadResult ok;
    ok.ok = true;
    return ok;
}

} // namespace

qint64 regularFileSize(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return st.st_size;
}

std::optional<quint64> hashRegularFile(const QString &path, qint64 size)
{
    QByteArray bytes;
    if (size < 0 || !readRegularFile(path, true, &bytes, size).ok || bytes.size() != size)
        return std::nullopt;
    return hashContent(bytes);
}

void hashRegularFileLater(const QString &path, qint64 size, int waitMs, QObject *context,
                          std::function<void(std::optional<quint64>)> done)
{
    struct Job
    {
        std::mutex mutex;
        std::condition_variable ready;
        bool finished = false;
        bool handedOn = false; // the caller no longer waits: post the answer
        std::optional<quint64> hash;
    };
    auto job = std::make_shared<Job>();
    const QPointer<QObject> guard(context);
    QThreadPool::globalInstance()->start([job, path, size, guard, done] {
        const std::optional<quint64> hash = hashRegularFile(path, size);
        std::lock_guard<std::mutex> lock(job->mutex);
        job->hash = hash;
        job->finished = true;
        if (job->handedOn) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [guard, done, hash] {
                    if (guard)
                        done(hash);
                },
                Qt::QueuedConnection);
        }
        job->ready.notify_all();
    });
    std::unique_lock<std::mutex> lock(job->mutex);
    if (job->ready.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return job->finished; })) {
        const std::optional<quint64> hash = job->hash;
        lock.unlock();
        done(hash);
        return;
    }
    job->handedOn = true;
}

LoadResult loadText(const QString &path, LoadedText *out, bool allowLarge)
{
    QByteArray bytes;
    LoadResult r = readRegularFile(path, allowLarge, &bytes);
    if (!r.ok)
        return r;
    out->contentHash = hashContent(bytes);
    // Only a whole rich-text document is read as one; anything else, even
    // if it starts the same way, is plain text kept byte for byte.
    if (rtf::isCompleteDocument(bytes)) {
        out->isRichText = true;
        out->bytes = std::move(bytes);
        return r;
    }
    out->isRichText = false;
    QString decoded = decodeText(bytes, &out->format);
    bytes = QByteArray();
    FormOptions options;
    options.pack = true;
    options.format = &out->format;
    out->form = toDocumentForm(decoded, options);
    return r;
}

namespace {

struct Preload
{
    std::mutex mutex;
    QString path;
    std::future<std::pair<LoadResult, LoadedText>> result;
    bool active = false;
};

Preload &preload()
{
    static Preload p;
    return p;
}

} // namespace

void DocumentPreloader::start(const QString &path, bool allowLarge)
{
    Preload &p = preload();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (p.active)
        return;
    p.active = true;
    p.path = path;
    p.result = std::async(std::launch::async, [path, allowLarge] {
        LoadedText text;
        const LoadResult r = loadText(path, &text, allowLarge);
        return std::make_pair(r, std::move(text));
    });
}

bool DocumentPreloader::take(const QString &path, LoadedText *out, LoadResult *result)
{
    Preload &p = preload();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (!p.active || p.path != path)
        return false;
    p.active = false;
    auto done = p.result.get();
    if (result)
        *result = done.first;
    if (!done.first.ok)
        return false;
    *out = std::move(done.second);
    return true;
}

void DocumentPreloader::discard()
{
    Preload &p = preload();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (!p.active)
        return;
    p.active = false;
    p.result.get();
}

} // namespace platform
