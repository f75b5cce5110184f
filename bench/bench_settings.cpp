// What a large settings file costs: the time one Read takes on a file of
// many keys (first read, then again with the file unchanged), and what
// such a file adds to start-up (main window made, started, shown and idle)
// against a small file with the same switches. Each start-up is a fresh
// process, run in turns with the two files; the file is rewritten just
// before each start, so that every read must make sure of the file's bytes
// (the slowest case).
//
//   bench_settings [runs] [keys]      (defaults 7 and 60000;
//                                      QT_QPA_PLATFORM=offscreen works)
#include "frame/mainwindow.h"
#include "platform/settingsstore.h"
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
#include <string>
#include <vector>

namespace {

// The editor's own switches (tips off, so no window beside the main one),
// then as many more keys as asked, as a settings file of a long-used
// program might hold.
QByteArray settingsFile(int extraKeys)
{
    QByteArray out = "[Quillet Lite\\settings]\n"
                     "Show Tips at Startup=0\nsetto=on\nedit=on\nvar=off\ncom=on\nql=on\ntbset=vbAlignTop\n";
    for (int i = 0; i < extraKeys; ++i)
        out += "recent file " + QByteArray::number(i) + "=/srv/www/cgi-bin/script" + QByteArray::number(i)
            + ".cgi\n";
    out += "\n[Quillet Lite\\Settings]\nMainLeft=1000\nMainTop=1000\nMainWidth=6500\nMainHeight=6500\n";
    return out;
}

void writeSettings(const QString &config, int extraKeys)
{
    QDir().mkpath(config + QStringLiteral("/quillet-lite"));
    QFile f(config + QStringLiteral("/quillet-lite/settings.ini"));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(settingsFile(extraKeys));
}

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// One start-up in this process, with the settings folder the parent chose;
// prints the milliseconds from before the main window is made to shown and
// idle, as time passed and as processor time.
int child(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet Lite"));
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuMs();
    frame::MainWindow window;
    window.startUp(QString());
    window.show();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    std::printf("%.2f %.2f\n", double(timer.nsecsElapsed()) / 1e6, cpuMs() - cpu);
    std::fflush(stdout);
    return 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double best(const std::vector<double> &v)
{
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::string(argv[1]) == "--child")
        return child(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const int keys = argc > 2 ? std::max(0, std::atoi(argv[2])) : 60000;
    QCoreApplication app(argc, argv);
    QTemporaryDir root;
    const QString config = root.path() + QStringLiteral("/config");
    bench::isolateUserFolders(root.path());

    // One Read on the big file, first with a parse, then with the file as
    // it was.
    writeSettings(config, keys);
    std::printf("settings file: %d keys, %lld bytes\n", keys + 11,
                static_cast<long long>(QFileInfo(config + QStringLiteral("/quillet-lite/settings.ini")).size()));
    QElapsedTimer t;
    t.start();
    platform::readSetting(QStringLiteral("settings"), QStringLiteral("var"), QStringLiteral("on"));
    const double first = double(t.nsecsElapsed()) / 1e6;
    QThread::sleep(3); // past the file system's clock slack: the stamp is trusted
    t.restart();
    const int reads = 1000;
    for (int i = 0; i < reads; ++i)
        platform::readSetting(QStringLiteral("Settings"), QStringLiteral("MainLeft"), 0);
    const double again = double(t.nsecsElapsed()) / 1e3 / reads;
    std::printf("one Read: %.1f ms with a parse, %.1f us with the file unchanged\n", first, again);

    std::vector<double> small, large, smallCpu, largeCpu;
    for (int i = 0; i < runs; ++i) {
        for (const int extra : {0, keys}) {
            writeSettings(config, extra);
            QProcess p;
            p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
            if (!p.waitForFinished(600000)) {
                std::printf("a start-up did not finish\n");
                return 1;
            }
            const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
            if (f.size() != 2) {
                std::printf("a start-up gave no figures\n");
                return 1;
            }
            (extra ? large : small).push_back(f[0].toDouble());
            (extra ? largeCpu : smallCpu).push_back(f[1].toDouble());
        }
        std::printf("run %d: %.1f ms (%.1f ms processor) with 11 keys, %.1f ms (%.1f ms processor) with %d keys\n",
                    i + 1, small.back(), smallCpu.back(), large.back(), largeCpu.back(), keys + 11);
    }
    std::printf("start-up, best of %d: %.1f ms with 11 keys, %.1f ms with %d keys: %.1f ms added "
                "(medians: %.1f ms added; processor time, best: %.1f ms added)\n",
                runs, best(small), best(large), keys + 11, best(large) - best(small),
                median(large) - median(small), best(largeCpu) - best(smallCpu));
    QThread::sleep(1); // the desktop's cache tools may still write into the data folder
    return 0;
}
