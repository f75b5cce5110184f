#pragma once

#include <QByteArray>
#include <QString>

namespace storage {

// What a path names on disk, found by stat() alone: nothing is opened, so
// that a named pipe, a device or a folder never makes anyone wait or read.
enum class FileKind : quint8 {
    Missing,     // nothing there (or a folder on the way is missing)
    Regular,
    Folder,
    NamedPipe,
    CharacterDevice,
    BlockDevice,
    Socket,
    Unreachable, // stat() failed otherwise (no permission on a folder)
};

// For people: "a folder", "a named pipe (FIFO)", "a character device"...
QString describeKind(FileKind kind);

// Which file a path names and how it stood: device, inode, size,
// modification and change times. Any write changes the change time, even
// one that puts the old modification time back.
struct FileStamp
{
    bool exists = false;
    FileKind kind = FileKind::Missing;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    // Follows symbolic links, as opening the path would.
    static FileStamp of(const QString &path);

    bool sameFile(const FileStamp &other) const
    {
        return exists && other.exists && device == other.device && inode == other.inode;
    }
    bool operator==(const FileStamp &o) const
    {
        return exists == o.exists
            && (!exists
                || (sameFile(o) && size == o.size && modifiedNs == o.modifiedNs && changedNs == o.changedNs));
    }
    bool operator!=(const FileStamp &o) const { return !(*this == o); }
};

// File names are bytes; the editor's strings are Unicode. A name that is
// not valid UTF-8 decodes with every byte that begins no valid sequence
// kept as the lone surrogate U+DC00 + byte, so that it is recognised (and
// refused) rather than taken for another name; encodeFileName gives the
// same bytes back.
QString decodeFileName(const QByteArray &bytes);
QByteArray encodeFileName(const QString &name);
// The name as it can be shown: kept bytes as U+FFFD.
QString displayName(const QString &name);

// Whether path is a name the editor can write back as it reads it. False
// for a name decoded above with kept bytes, and for one that Qt decoded
// with U+FFFD in place of bytes (its file dialogs do) when the file is
// there under a name that is not valid UTF-8.
bool isUtf8Name(const QString &path);

// Why path can't be opened as a document, for the message that refuses
// it; empty when it is a regular file, or nothing is there yet, or it
// can't be reached (the load then says why).
QString openRefusal(const QString &path);

} // namespace storage
