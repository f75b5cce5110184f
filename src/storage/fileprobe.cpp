#include "storage/fileprobe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace storage {

namespace {

constexpr char16_t kKeptBase = 0xDC00; // kept bytes: U+DC80..U+DCFF

// The length of the valid UTF-8 sequence at p, or 0 when the byte there
// begins none.
int sequenceLength(const uchar *p, qsizetype left)
{
    const uchar c = p[0];
    if (c < 0x80)
        return 1;
    int len;
    char32_t min;
    char32_t cp;
    if ((c & 0xE0) == 0xC0) {
        len = 2; min = 0x80; cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3; min = 0x800; cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4; min = 0x10000; cp = c & 0x07;
    } else {
        return 0;
    }
    if (len > left)
        return 0;
    for (int k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

bool isValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    for (qsizetype i = 0; i < bytes.size();) {
        const int len = sequenceLength(p + i, bytes.size() - i);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

bool isKept(QChar c)
{
    return c.unicode() >= kKeptBase + 0x80 && c.unicode() <= kKeptBase + 0xFF;
}

bool hasLoneSurrogate(const QString &s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
        else if (s[i].isSurrogate())
            return true;
    }
    return false;
}

// Whether the folder holds an entry that Qt shows as shown but whose own
// name is not valid UTF-8.
bool holdsLossyName(const QByteArray &folder, const QString &shown)
{
    DIR *dir = ::opendir(folder.isEmpty() ? "/" : folder.constData());
    if (!dir)
        return false;
    bool found = false;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray raw(entry->d_name);
        if (!isValidUtf8(raw) && QFile::decodeName(raw) == shown) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

bool exists(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

} // namespace

QString describeKind(FileKind kind)
{
    switch (kind) {
    case FileKind::Missing: return QStringLiteral("missing");
    case FileKind::Regular: return QStringLiteral("a regular file");
    case FileKind::Folder: return QStringLiteral("a folder");
    case FileKind::NamedPipe: return QStringLiteral("a named pipe (FIFO)");
    case FileKind::CharacterDevice: return QStringLiteral("a character device");
    case FileKind::BlockDevice: return QStringLiteral("a block device");
    case FileKind::Socket: return QStringLiteral("a socket");
    case FileKind::Unreachable: break;
    }
    return QStringLiteral("out of reach");
}

FileStamp FileStamp::of(const QString &path)
{
    FileStamp s;
    struct stat st;
    if (path.isEmpty())
        return s;
    if (::stat(encodeFileName(path).constData(), &st) != 0) {
        s.kind = errno == ENOENT || errno == ENOTDIR ? FileKind::Missing : FileKind::Unreachable;
        return s;
    }
    s.exists = true;
    s.kind = S_ISREG(st.st_mode)    ? FileKind::Regular
        : S_ISDIR(st.st_mode)      ? FileKind::Folder
        : S_ISFIFO(st.st_mode)     ? FileKind::NamedPipe
        : S_ISCHR(st.st_mode)      ? FileKind::CharacterDevice
        : S_ISBLK(st.st_mode)      ? FileKind::BlockDevice
                                   : FileKind::Socket;
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

QString decodeFileName(const QByteArray &bytes)
{
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    QString out;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    for (qsizetype i = 0; i < bytes.size();) {
        const int len = sequenceLength(p + i, bytes.size() - i);
        if (len == 0) {
            out += QChar(char16_t(kKeptBase + p[i]));
            ++i;
        } else {
            out += QString::fromUtf8(bytes.constData() + i, len);
            i += len;
        }
    }
    return out;
}

QByteArray encodeFileName(const QString &name)
{
    QByteArray out;
    qsizetype from = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        // A kept byte is a low surrogate with no high one before it.
        if (isKept(name[i]) && (i == 0 || !name[i - 1].isHighSurrogate())) {
            out += QStringView(name).mid(from, i - from).toUtf8();
            out += char(name[i].unicode() - kKeptBase);
            from = i + 1;
        }
    }
    out += QStringView(name).mid(from).toUtf8();
    return out;
}

QString displayName(const QString &name)
{
    QString out = name;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate())
            ++i;
        else if (out[i].isSurrogate())
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

bool isUtf8Name(const QString &path)
{
    if (hasLoneSurrogate(path))
        return false;
    if (!path.contains(QChar::ReplacementCharacter))
        return true;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (exists(QFile::encodeName(absolute)))
        return true;
    // Walk down to the first part that isn't there under its UTF-8 name.
    QByteArray reached;
    for (const QString &part : absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const QByteArray next = reached + '/' + part.toUtf8();
        if (exists(next)) {
            reached = next;
            continue;
        }
        return !(part.contains(QChar::ReplacementCharacter) && holdsLossyName(reached, part));
    }
    return true;
}

QString openRefusal(const QString &path)
{
    if (!isUtf8Name(path))
        return QStringLiteral("%1\nThe name of this file is not valid UTF-8; rename it to open it here.")
            .arg(displayName(path));
    const FileKind kind = FileStamp::of(path).kind;
    if (kind == FileKind::Regular || kind == FileKind::Missing || kind == FileKind::Unreachable)
        return QString();
    return QStringLiteral("Cannot open %1\nIt is %2, not a regular file.").arg(path, describeKind(kind));
}

} // namespace storage
