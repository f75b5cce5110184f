// A 5 MB page with live preview: what a typed character costs with live
// preview off and on (the page viewer showing the page's preview), what it
// costs while a new version of the page loads, and the longest time the
// user-interface thread is busy at a stretch when the preview follows a
// pause in the typing. Also Check Syntax (the HTML check) on the same
// page: how long it takes and the longest busy stretch meanwhile.
//
//   bench_livepreview [keys]      (default 200; QT_QPA_PLATFORM=offscreen works)
#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "html/viewerwindow.h"
#include "platform/browser.h"
#include "platform/programfolder.h"
#include "platform/richtextbox.h"
#include "script/livepreview.h"
#include "script/workbench.h"
#include "stallmeter.h"
#include "userfolders.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr qsizetype kTargetSize = 5 * 1024 * 1024;

QByteArray buildPage()
{
    QByteArray page = "<!DOCTYPE html>\n<html>\n<head>\n<title>Big Page</title>\n</head>\n<body>\n";
    int section = 0;
    while (page.size() < kTargetSize) {
        ++section;
        const QByteArray n = QByteArray::number(section);
        page += "<h2 id=\"s" + n + "\">Section " + n + "</h2>\n";
        for (int p = 0; p < 4; ++p)
            page += "<p>Paragraph of section " + n + " with <b>bold</b>, <i>italic</i> and <a href=\"#s" + n
                    + "\">a link</a>; the quick brown fox jumps over the lazy dog &amp; friends.</p>\n";
        page += "<table>\n";
        for (int r = 0; r < 4; ++r)
            page += "<tr><td>r" + QByteArray::number(r) + "</td><td>two</td><td>three<td></tr>\n";
        page += "</table>\n";
    }
    page += "</body>\n</html>\n";
    return page;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double most(const std::vector<double> &v)
{
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

// One typed character, repaint included.
double typeKey(platform::RichTextBox &box)
{
    QElapsedTimer k;
    k.start();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&box, &press);
    QApplication::processEvents();
    return double(k.nsecsElapsed()) / 1e6;
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(QObject *sender, const char *signal, int ms)
{
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, SLOT(quit()));
    QTimer::singleShot(ms, &loop, [&loop] { loop.exit(1); });
    return loop.exec() == 0;
}

} // namespace

int main(int argc, char **argv)
{
    const int keys = argc > 1 ? std::max(20, std::atoi(argv[1])) : 200;
    QTemporaryDir store;
    bench::isolateUserFolders(store.path());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QTemporaryDir folder;
    platform::setProgramFolder(folder.path());
    const QString path = folder.path() + QStringLiteral("/big.html");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(buildPage()) < 0)
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
    platform::RichTextBox &box = *doc->rtfText;
    std::printf("page: %lld bytes, %d lines\n", static_cast<long long>(box.encodedText().size()),
                box.document()->blockCount());
    // What a live preview takes from the window's thread: the text, encoded.
    double encodeMs = 1e9;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        const QByteArray bytes = box.encodedText();
        encodeMs = std::min(encodeMs, double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("the text taken for the preview file: best of 5 %.1f ms\n", encodeMs);

    // The HTML check, before anything else runs.
    script::Workbench *wb = script::Workbench::of(&window);
    bench::StallMeter meter;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        meter.start();
        t.start();
        window.runMenuCommand(QStringLiteral("mnuScriptCheck"));
        if (!waitFor(wb, SIGNAL(checkFinished()), 120000)) {
            std::printf("the check did not finish within 120 s\n");
            return 1;
        }
        const double ms = double(t.nsecsElapsed()) / 1e6;
        meter.stop();
        std::printf("HTML check %d: %.0f ms to its rows listed, longest busy stretch %.1f ms (%.1f ms of processor "
                    "time)\n",
                    i + 1, ms, meter.wallMs(), meter.cpuMs());
    }

    window.mdiArea()->setActiveSubWindow(doc->subWindow());
    window.runMenuCommand(QStringLiteral("mnuhtmlpreview"));
    html::PageViewer *viewer = html::pageViewer();
    if (!viewer || !waitFor(viewer->brwWebBrowser, SIGNAL(DownloadComplete()), 120000)) {
        std::printf("the preview did not load within 120 s\n");
        return 1;
    }
    std::printf("viewer: %s, caption \"%s\"\n", viewer->brwWebBrowser->usesEngine() ? "engine" : "STAND-IN",
                qPrintable(viewer->windowTitle()));
    window.mdiArea()->setActiveSubWindow(doc->subWindow());
    box.setSelStart(int(box.Text().size() / 2));
    QCoreApplication::processEvents();

    script::LivePreview *live = script::LivePreview::of(&window);
    std::vector<double> off, on, loading, stalls, cpuStalls, reloads;
    for (int round = 0; round < 4; ++round) {
        live->setOn(round % 2 == 1);
        for (int i = 0; i < keys / 4; ++i)
            (round % 2 ? on : off).push_back(typeKey(box));
        if (round % 2 == 0)
            continue;
        // The pause: the page follows, and typing goes on at once while its
        // new version loads.
        QElapsedTimer t;
        t.start();
        meter.start();
        if (!waitFor(live, SIGNAL(reloaded()), 10000)) {
            std::printf("the live preview did not follow\n");
            return 1;
        }
        reloads.push_back(double(t.nsecsElapsed()) / 1e6);
        for (int i = 0; i < 40; ++i) {
            loading.push_back(typeKey(box));
            wait(20);
        }
        meter.stop();
        stalls.push_back(meter.wallMs());
        cpuStalls.push_back(meter.cpuMs());
        // The version of those keys, then quiet.
        if (!waitFor(live, SIGNAL(reloaded()), 10000)) {
            std::printf("the live preview did not follow\n");
            return 1;
        }
        wait(3000);
    }
    std::printf("typed character in a 5 MB page, repaint included: median %.3f ms (max %.1f) with live preview off, "
                "%.3f ms (max %.1f) on (%zu keys each)\n",
                median(off), most(off), median(on), most(on), off.size());
    std::printf("typed character while the page follows: median %.3f ms, max %.1f ms (%zu keys)\n", median(loading),
                most(loading), loading.size());
    std::printf("new version handed to the viewer %.0f ms after the last key (500 ms pause included); longest busy "
                "stretch from the last key through the typing while it loads: median %.1f ms, max %.1f ms (%.1f ms "
                "of processor time)\n",
                median(reloads), median(stalls), most(stalls), most(cpuStalls));
    return 0;
}
