#include "testenv.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace testenv {

// One folder per test process; a process the test starts (which inherits
// QUILLET_TEST_ROOT) shares it.
static QString root()
{
    static const QString path = [] {
        const QString inherited = QFile::decodeName(qgetenv("QUILLET_TEST_ROOT"));
        if (!inherited.isEmpty())
            return inherited;
        static QTemporaryDir dir;
        qputenv("QUILLET_TEST_ROOT", QFile::encodeName(dir.path()));
        return dir.path();
    }();
    return path;
}

void isolate()
{
    const QString base = root();
    for (const char *name : {"config", "data", "state"})
        QDir().mkpath(base + QLatin1Char('/') + QLatin1String(name));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(base + "/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(base + "/data"));
    qputenv("XDG_STATE_HOME", QFile::encodeName(base + "/state"));
}

QString tempDir()
{
    return root();
}

} // namespace testenv
