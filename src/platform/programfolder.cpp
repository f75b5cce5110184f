#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

// QUILLET_DATA_FROM_BIN and QUILLET_MODULES_FROM_BIN: where an installed
// copy keeps its files and its modules, relative to its executable's
// folder; the build sets them from the install directories.

namespace platform {

namespace {

QString &overrideFolder()
{
    static QString folder;
    return folder;
}

QString fromExecutable(const char *relative)
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                           + QLatin1String(relative));
}

QString installedFolder()
{
    return fromExecutable(QUILLET_DATA_FROM_BIN);
}

QString append(QString folder, const QString &nameWithSeparator)
{
    QString name = nameWithSeparator;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (folder.endsWith(QLatin1Char('/')) && name.startsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder + name;
}

} // namespace

bool isInstalledCopy()
{
    // A build tree has its files beside the executable and no share
    // folder next to its own.
    return overrideFolder().isEmpty() && QFileInfo(installedFolder()).isDir();
}

QString programFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    if (isInstalledCopy())
        return installedFolder();
    return QCoreApplication::applicationDirPath();
}

QString userFolder()
{
    if (!isInstalledCopy())
        return programFolder();
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QLatin1String("/quillet-lite");
}

void setProgramFolder(const QString &folder)
{
    QString f = folder;
    while (f.size() > 1 && f.endsWith(QLatin1Char('/')))
        f.chop(1);
    overrideFolder() = f;
}

QString programFile(const QString &nameWithSeparator)
{
    if (isInstalledCopy()) {
        const QString own = append(userFolder(), nameWithSeparator);
        if (QFileInfo::exists(own))
            return own;
    }
    return append(programFolder(), nameWithSeparator);
}

QString writableProgramFile(const QString &nameWithSeparator)
{
    const QString folder = userFolder();
    if (isInstalledCopy())
        QDir().mkpath(folder);
    return append(folder, nameWithSeparator);
}

QString moduleFolder()
{
    if (isInstalledCopy())
        return fromExecutable(QUILLET_MODULES_FROM_BIN);
    return QCoreApplication::applicationDirPath();
}

} // namespace platform
