#pragma once

#include "platform/documenttext.h"
#include "platform/textfile.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QObject;

namespace platform {

// A file read and decoded, ready to go into a document.
struct LoadedText
{
    bool isRichText = false;
    QByteArray bytes;      // rich text: the source, read by the control
    TextFileFormat format; // plain text: how it was written
    DocumentForm form;     // plain text in the document's form
    quint64 contentHash = 0; // of the bytes read (hashContent)
};

// A hash of a file's bytes, to tell later whether they changed (never 0),
// the same in every process.
quint64 hashContent(const QByteArray &bytes);

// Files above this size are read on another thread; above the second,
// the user is asked first.
constexpr qint64 kReadAheadAbove = 1 << 20;
constexpr qint64 kAskAbove = qint64(1) << 30;

struct LoadResult
{
    bool ok = false;
    bool tooLarge = false; // above kAskAbove and not allowed
    int errorNumber = 0;
    QString error;
};

// Reads and decodes a file. Only a regular file is read: a folder, a
// device, a FIFO or a socket is refused at once, without waiting on it.
LoadResult loadText(const QString &path, LoadedText *out, bool allowLarge);

// The size of a regular file, or -1 for anything else.
qint64 regularFileSize(const QString &path);

// The hash (hashContent) of a regular file's bytes, when it is a regular
// file of exactly size bytes: nothing else is opened, and no more than
// size bytes are read even when it grows meanwhile. Nothing when it is not
// such a file or can't be read.
std::optional<quint64> hashRegularFile(const QString &path, qint64 size);
// The same on another thread; done runs on the user-interface thread
// (never once context is gone). Waits up to waitMs for the answer first,
// so that a small file is answered before this returns.
void hashRegularFileLater(const QString &path, qint64 size, int waitMs, QObject *context,
                          std::function<void(std::optional<quint64>)> done);

// Reads and decodes a file on another thread, for the command line while
// the main window is being set up, and for any file above kReadAheadAbove.
// LoadFile takes the result when it asks for the same path.
class DocumentPreloader
{
public:
    static void start(const QString &path, bool allowLarge = false);
    // The preloaded text for path, waiting for it if need be; false when
    // none was preloaded for it (and *result untouched) or it failed.
    static bool take(const QString &path, LoadedText *out, LoadResult *result = nullptr);
    // Drops anything preloaded and not taken.
    static void discard();
};

} // namespace platform
