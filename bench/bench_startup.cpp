// Start-up time: from process start to a shown, idle main window with an
// empty settings store, measured inside the process. Runs itself as a
// child several times (each start is a fresh process) and prints each
// figure and the median, and checks that start-up has not loaded the page
// viewer's browser engine.
//
//   bench_startup [runs]      (default 7; QT_QPA_PLATFORM=offscreen works)
//
// For the outside view of the real program, under a virtual X display:
//   Xvfb :77 & DISPLAY=:77 python3 tools/ready.py --runs 5 quilex -- build/bin/quilex
#include "frame/mainwindow.h"
#include "userfolders.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include <unistd.h>

namespace {

// Milliseconds since this process started, from the kernel's record of
// its start (in clock ticks since boot) and the monotonic boot clock.
double processAgeMs()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = stat.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return -1;
    const double startTicks = fields.at(19).toDouble(); // field 22: starttime
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
    return nowMs - startTicks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

bool engineMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngineCore");
}

// One start-up in this process; prints "<ms since process start> <ms from
// main> <engine mapped 0/1> <store folder>".
int child(int argc, char **argv)
{
    QElapsedTimer fromMain;
    fromMain.start();
    // An empty store; the parent removes it once every run is over (the
    // desktop's MIME database update started by the file-type
    // registration may still be writing into it when this process ends).
    QTemporaryDir store;
    store.setAutoRemove(false);
    bench::isolateUserFolders(store.path());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet Lite"));
    frame::MainWindow window;
    window.startUp(QString());
    window.show();
    // Shown, then idle: the event queue drains with nothing left to do.
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    const double age = processAgeMs();
    const double own = double(fromMain.nsecsElapsed()) / 1e6;
    std::printf("%.1f %.1f %d %s\n", age, own, engineMapped() ? 1 : 0, qPrintable(store.path()));
    std::fflush(stdout);
    return 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::string(argv[1]) == "--child")
        return child(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    QCoreApplication app(argc, argv);
    std::vector<double> ages, owns;
    bool engine = false;
    QStringList stores;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
        if (!p.waitForFinished(60000)) {
            std::printf("run %d did not finish\n", i + 1);
            return 1;
        }
        const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
        if (f.size() != 4) {
            std::printf("run %d gave no figures\n", i + 1);
            return 1;
        }
        ages.push_back(f[0].toDouble());
        owns.push_back(f[1].toDouble());
        engine = engine || f[2] == "1";
        stores << QString::fromLocal8Bit(f[3]);
        std::printf("run %d: %.0f ms from process start (%.1f ms from main)\n", i + 1, ages.back(), owns.back());
    }
    std::printf("start-up to shown, idle window: median %.0f ms from process start, %.1f ms from main "
                "(%d runs)\n",
                median(ages), median(owns), runs);
    std::printf("browser engine loaded by start-up: %s\n", engine ? "YES (wrong)" : "no");
    QThread::sleep(1);
    for (const QString &store : stores)
        QDir(store).removeRecursively();
    return engine ? 1 : 0;
}
