#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Replaces a file's content so that a failure never damages it.
//
// Where the folder allows it, the data goes to a temporary file beside the
// old one (its name kept within the file system's name limit), is synced,
// takes the old file's owner, group and mode (setuid and setgid included)
// and is renamed over it. Where that can't keep the file as it is (a
// folder that refuses new files, a file with more than one hard link, an
// owner or group this process can't give away), the file is written in
// place: the full size is reserved first, the old bytes are kept until the
// new ones are synced, and any failure puts the old bytes back.
//
// A symbolic link is written through to its target. Anything that is not
// a regular file (a folder, device, pipe or socket) is refused, and so is a
// file this process may not write. On failure returns false and puts the
// system's reason in *error.
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error);

} // namespace platform
