#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace platform {

// Replaces a file's content so that a failure never damages it.
//
// Where the folder allows it, the data goes to a temporary file beside the
// old one (its name kept within the file system's name limit), is synced,
// takes the old file's owner, group, mode (setuid and setgid included),
// ACL and extended attributes, and is renamed over it; the mode is never
// wider than the old file's. Where that can't keep the file as it is (a
// folder that refuses new files, a file with more than one hard link, an
// owner or group this process can't give away, an ACL or attribute that
// can't be given), the file is written in place: the full size is reserved
// first, the old bytes are kept until the new ones are synced, and any
// failure puts the old bytes back.
//
// A symbolic link is written through to its target. Anything that is not
// a regular file (a folder, device, pipe or socket) is refused, and so is a
// file this process may not write. On failure returns false and puts the
// system's reason in *error.
//
// Temporary files that earlier saves of the same file left (their editor
// was killed) are removed first. A recorded save (a document's) also keeps
// a record under the state folder while it runs (storage/saverecord.h):
// the name of its temporary file, or, written in place, the old bytes,
// synced before the first byte changes; a start after a kill finds them.
struct WriteOptions
{
    bool recorded = false;
};
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error,
                         const WriteOptions &options = {});

// For tests: called as a write reaches each stage, so that a test can end
// the process there as a kill would.
enum class WriteStage { TemporaryWritten, InPlacePieceWritten };
void setWriteObserver(std::function<void(WriteStage)> observer);

} // namespace platform
