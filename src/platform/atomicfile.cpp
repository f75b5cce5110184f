#include "platform/atomicfile.h"

#include <QFileInfo>
#include <QSaveFile>

namespace platform {

namespace {

// Follows a chain of symbolic links to the file that really gets written.
QString resolveLinks(const QString &path)
{
    QString current = path;
    for (int hops = 0; hops < 32; ++hops) {
        QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        current = info.symLinkTarget();
    }
    return current;
}

} // namespace

bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error)
{
    const QString target = resolveLinks(path);
    const QFileInfo before(target);
    const bool existed = before.exists();
    const QFile::Permissions permissions = existed ? before.permissions() : QFile::Permissions();

    if (existed && before.isDir()) {
        if (error)
            *error = QStringLiteral("Is a directory");
        return false;
    }

    QSaveFile file(target);
    // A folder that refuses new files (but holds a writable file) is still
    // written, directly.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(data) != data.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (existed && QFileInfo(target).permissions() != permissions)
        QFile::setPermissions(target, permissions);
    return true;
}

} // namespace platform
