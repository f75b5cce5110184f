#pragma once

// Every benchmark runs with its own settings, data and state folders, so it
// neither reads the user's settings nor leaves a recovery journal behind
// (which would ask to be restored at the next run).

#include <QByteArray>
#include <QFile>
#include <QString>

namespace bench {

inline void isolateUserFolders(const QString &root)
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/data")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(root + QStringLiteral("/state")));
}

} // namespace bench
