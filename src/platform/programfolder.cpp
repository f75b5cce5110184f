#include "platform/programfolder.h"

#include <QCoreApplication>

namespace platform {

namespace {
QString &overrideFolder()
{
    static QString folder;
    return folder;
}
} // namespace

QString programFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return QCoreApplication::applicationDirPath();
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
    QString name = nameWithSeparator;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QString folder = programFolder();
    if (folder.endsWith(QLatin1Char('/')) && name.startsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder + name;
}

} // namespace platform
