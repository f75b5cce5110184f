#include "testenv.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace testenv {

static QTemporaryDir &root()
{
    static QTemporaryDir dir;
    return dir;
}

void isolate()
{
    const QString base = root().path();
    QDir().mkpath(base + "/config");
    QDir().mkpath(base + "/data");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(base + "/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(base + "/data"));
}

QString tempDir()
{
    return root().path();
}

} // namespace testenv
