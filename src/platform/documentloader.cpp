#include "platform/documentloader.h"

#include "platform/errors.h"
#include "platform/rtfreader.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

quint64 hashContent(const QByteArray &bytes)
{
    return quint64(qHash(QByteArrayView(bytes), size_t(0x9E3779B97F4A7C15ULL))) | 1;
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

// Opens without waiting (a FIFO with no writer would block a plain open)
// and checks what was opened before reading anything.
LoadResult readRegularFile(const QString &path, bool allowLarge, QByteArray *bytes)
{
    if (path.isEmpty())
        return failure(ControlError::FileNotFound, QStringLiteral("File not found"));
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        return failure(code == ENOENT || code == ENOTDIR ? int(ControlError::FileNotFound)
                                                         : int(ControlError::PathFileAccess),
                       systemError(code));
    }
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return failure(ControlError::PathFileAccess, systemError(errno));
    if (S_ISDIR(st.st_mode))
        return failure(ControlError::PathFileAccess, systemError(EISDIR));
    if (!S_ISREG(st.st_mode))
        return failure(ControlError::PathFileAccess, QStringLiteral("Not a regular file"));
    if (st.st_size > kAskAbove && !allowLarge) {
        LoadResult r = failure(ControlError::PathFileAccess, QStringLiteral("File too large"));
        r.tooLarge = true;
        return r;
    }
    // Back to blocking reads, which a regular file never makes wait long.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    bytes->resize(qsizetype(st.st_size));
    qsizetype got = 0;
    for (;;) {
        if (got == bytes->size())
            bytes->resize(got + 65536); // the file grew meanwhile
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
