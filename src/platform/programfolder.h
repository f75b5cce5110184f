#pragma once

#include <QString>

namespace platform {

// The program's own files.
//
// Run from its build tree, the program keeps its files beside its
// executable and writes its own (the preview page, the notes) there too.
// An installed copy (the executable in <prefix>/bin, its files in
// <prefix>/share/quillet-lite) never writes into its prefix: it writes to
// the per-user folder $XDG_DATA_HOME/quillet-lite, and takes a file it
// reads from there when the user has one (a newer copy fetched by hand),
// else from the installed folder.

// The folder of the program's files as supplied, without a trailing
// separator: the executable's folder, or <prefix>/share/quillet-lite.
QString programFolder();
// Where the program writes its files: the program folder, or the
// per-user folder of an installed copy.
QString userFolder();
// Whether the running program is an installed copy.
bool isInstalledCopy();
// Tests use one folder for reading and writing, as a build tree does
// (empty: back to the real folders).
void setProgramFolder(const QString &folder);

// A program file to read, named with a leading separator ("\tod.qz" or
// "/tod.qz"): the per-user copy when there is one, else the supplied one.
QString programFile(const QString &nameWithSeparator);
// A program file to write: in the user folder, which is made when it is
// the per-user folder and missing.
QString writableProgramFile(const QString &nameWithSeparator);

// The folder of the program's loadable modules (the page viewer's
// browser): the executable's folder, or <prefix>/lib/quillet-lite.
QString moduleFolder();

} // namespace platform
