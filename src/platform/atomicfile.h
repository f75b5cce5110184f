#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Replaces the file's content in one step: the data goes to a temporary
// file in the same folder, is flushed to disk, and is then renamed over
// the old file, so a crash or a full disk never leaves a truncated file.
// A symbolic link is written through to its target; an existing file keeps
// its permissions. On failure returns false and puts the system's reason
// in *error.
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error);

} // namespace platform
