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

// The same bytes give the same hash in every process (the recovery
// journal keeps it), which Qt's own hash, seeded per process, does not:
// four lanes of multiply-rotate rounds over 8-byte words, then a final mix.
quint64 hashContent(const QByteArray &bytes)
{
    constexpr quint64 k1 = 0x9E3779B185EBCA87ULL;
    constexpr quint64 k2 = 0xC2B2AE3D27D4EB4FULL;
    auto rotl = [](quint64 v, int r) { return (v << r) | (v >> (64 - r)); };
    auto round = [&](quint64 lane, quint64 word) { return rotl(lane + word * k2, 31) * k1; };
    auto word = [](const char *at) {
        quint64 w;
        std::memcpy(&w, at, 8);
        return w;
    };
    const char *p = bytes.constData();
    const qsizetype n = bytes.size();
    quint64 lanes[4] = {k1 + k2, k2, 0, quint64(0) - k1};
    qsizetype i = 0;
    for (; i + 32 <= n; i += 32) {
        for (int l = 0; l < 4; ++l)
            lanes[l] = round(lanes[l], word(p + i + 8 * l));
    }
    quint64 h = quint64(n) + rotl(lanes[0], 1) + rotl(lanes[1], 7) + rotl(lanes[2], 12) + rotl(lanes[3], 18);
    for (; i + 8 <= n; i += 8)
        h = rotl(h ^ round(0, word(p + i)), 27) * k1 + k2;
    for (; i < n; ++i)
        h = rotl(h ^ (quint64(uchar(p[i])) * k1), 11) * k2;
    h ^= h >> 33;
    h *= k2;
    h ^= h >> 29;
    h *= k1;
    h ^= h >> 32;
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
