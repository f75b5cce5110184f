// Check Syntax and Run as CGI on a script of 10,000 lines: how long each
// takes to finish, and the longest time the user-interface thread is busy
// at a stretch while it runs (measured by a 1 ms timer that should tick
// throughout). The first run also loads the browser engine and is shown
// apart.
//
//   bench_script [runs]      (default 5; QT_QPA_PLATFORM=offscreen works)
#include "cgi/loopbackserver.h"
#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "html/viewerwindow.h"
#include "platform/browser.h"
#include "platform/programfolder.h"
#include "platform/richtextbox.h"
#include "platform/ui.h"
#include "script/workbench.h"
#include "stallmeter.h"
#include "userfolders.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kLines = 10000;

// A CGI script that prints a page of about as many lines as it has.
QByteArray buildScript()
{
    QByteArray s = "#!/usr/bin/perl -w\n"
                   "our ($name, $email, $count, $total) = ('n', 'e', 'c', 't');\n"
                   "print \"Content-type: text/html\\n\\n\";\n"
                   "print \"<html><head><title>Bench Script</title></head><body><table>\\n\";\n";
    int i = 4;
    while (i < kLines - 1) {
        switch (i % 5) {
        case 0: s += "our $name" + QByteArray::number(i) + " = \"value " + QByteArray::number(i) + "\";\n"; break;
        case 1: s += "print \"<tr><td align=center><b>$name</b></td><td>" + QByteArray::number(i) + "</td></tr>\\n\"; # row\n"; break;
        case 2: s += "# compute the total for row " + QByteArray::number(i) + "\n"; break;
        case 3: s += "if ($count eq \"x\") { $total = $count . \" and more\"; }\n"; break;
        default: s += "print qq(<tr><td><a href=\"/cgi-bin/x.cgi?q=" + QByteArray::number(i) + "\">item</a></td></tr>\\n);\n"; break;
        }
        ++i;
    }
    s += "print \"</table></body></html>\\n\";";
    return s;
}

// Answers the Run as CGI dialog with a plain GET.
class GetUi : public platform::QtUi
{
public:
    std::optional<platform::CgiRunRequest> cgiRunDialog(const platform::CgiRunRequest &) override
    {
        return platform::CgiRunRequest();
    }
};

struct Figures
{
    double ms;
    double stallMs;
    double cpuMs;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir store;
    bench::isolateUserFolders(store.path());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QTemporaryDir folder;
    platform::setProgramFolder(folder.path());
    GetUi ui;
    platform::setUi(&ui);

    const QString path = folder.path() + QStringLiteral("/bench.cgi");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(buildScript()) < 0)
            return 1;
    }
    frame::MainWindow window;
    window.startUp(path);
    window.resize(1000, 800);
    window.show();
    QCoreApplication::processEvents();
    document::DocumentWindow *doc = window.activeDocument();
    if (!doc) {
        std::printf("no document window\n");
        return 1;
    }
    std::printf("script: %d lines, %lld bytes\n", doc->rtfText->document()->blockCount(),
                static_cast<long long>(doc->rtfText->encodedText().size()));
    script::Workbench *wb = script::Workbench::of(&window);
    bench::StallMeter meter;

    const auto measure = [&](const char *item, auto done) -> Figures {
        window.mdiArea()->setActiveSubWindow(doc->subWindow());
        QCoreApplication::processEvents();
        QEventLoop loop;
        QTimer::singleShot(60000, &loop, [&loop] { loop.exit(1); });
        QElapsedTimer t;
        meter.start();
        t.start();
        QMetaObject::Connection c = done(loop);
        window.runMenuCommand(QString::fromLatin1(item));
        const int failed = loop.exec();
        QObject::disconnect(c);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        meter.stop();
        if (failed) {
            std::printf("%s did not finish within 60 s\n", item);
            std::exit(1);
        }
        return Figures{ms, meter.wallMs(), meter.cpuMs()};
    };
    const auto checked = [&](QEventLoop &loop) {
        return QObject::connect(wb, &script::Workbench::checkFinished, &loop, &QEventLoop::quit);
    };
    // A run is done when its page has loaded in the viewer.
    const auto shown = [&](QEventLoop &loop) {
        return QObject::connect(wb, &script::Workbench::runFinished, &loop, [&loop] {
            html::PageViewer *v = html::pageViewer();
            if (!v) {
                loop.exit(1);
                return;
            }
            QObject::connect(v->brwWebBrowser, &platform::BrowserControl::DownloadComplete, &loop,
                             &QEventLoop::quit, Qt::SingleShotConnection);
        });
    };

    std::vector<double> checkMs, checkStall, checkCpu, runMs, runStall, runCpu;
    for (int i = 0; i < runs; ++i) {
        const Figures f = measure("mnuScriptCheck", checked);
        checkMs.push_back(f.ms);
        checkStall.push_back(f.stallMs);
        checkCpu.push_back(f.cpuMs);
        std::printf("check %d: %.0f ms, longest busy stretch %.1f ms (%.1f ms of processor time)\n", i + 1, f.ms,
                    f.stallMs, f.cpuMs);
    }
    // The loopback server starts with the first run; its start is timed
    // here on its own, since the first run also loads the engine.
    QElapsedTimer serverStart;
    serverStart.start();
    if (!cgi::LoopbackServer::instance()) {
        std::printf("the loopback server could not start\n");
        return 1;
    }
    std::printf("server start: %.1f ms\n", double(serverStart.nsecsElapsed()) / 1e6);
    const Figures first = measure("mnuScriptRun", shown);
    std::printf("first run (loads the engine%s): %.0f ms, longest busy stretch %.1f ms (%.1f ms of processor time)\n",
                html::pageViewer() && html::pageViewer()->brwWebBrowser->usesEngine() ? "" : "; STAND-IN VIEWER",
                first.ms, first.stallMs, first.cpuMs);
    for (int i = 0; i < runs; ++i) {
        const Figures f = measure("mnuScriptRunAgain", shown);
        runMs.push_back(f.ms);
        runStall.push_back(f.stallMs);
        runCpu.push_back(f.cpuMs);
        std::printf("run %d: %.0f ms to the page shown, longest busy stretch %.1f ms (%.1f ms of processor time)\n",
                    i + 1, f.ms, f.stallMs, f.cpuMs);
    }
    const auto most = [](const std::vector<double> &v) { return *std::max_element(v.begin(), v.end()); };
    std::printf("check of %d lines: median %.0f ms; longest busy stretch: median %.1f ms, max %.1f ms; "
                "in processor time max %.1f ms\n",
                kLines, median(checkMs), median(checkStall), most(checkStall), most(checkCpu));
    std::printf("run of %d lines to its page: median %.0f ms; longest busy stretch: median %.1f ms, max %.1f ms; "
                "in processor time max %.1f ms (%d runs)\n",
                kLines, median(runMs), median(runStall), most(runStall), most(runCpu), runs);
    platform::setUi(nullptr);
    return 0;
}
