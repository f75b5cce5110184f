#pragma once

#include <QString>

namespace platform {

// The folder that holds the program's executable, without a trailing
// separator.
QString programFolder();
// Tests point the program folder somewhere else.
void setProgramFolder(const QString &folder);

// The program folder followed directly by a name that begins with a
// separator ("\preview.html" or "/preview.html").
QString programFile(const QString &nameWithSeparator);

} // namespace platform
