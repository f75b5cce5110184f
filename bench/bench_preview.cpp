// Preview time: from Tools > "&Preview Html" on a document of about 1 MB
// of HTML to the page viewer's load-complete. The first preview also loads
// the browser engine; the later ones reuse the viewer.
//
//   bench_preview [runs]      (default 7; QT_QPA_PLATFORM=offscreen works)
#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "html/viewerwindow.h"
#include "platform/browser.h"
#include "platform/programfolder.h"
#include "platform/richtextbox.h"
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

constexpr qsizetype kTargetSize = 1024 * 1024;

// A deterministic page: headings, paragraphs with inline markup, tables
// and lists, with CR LF line breaks, ending with its title as a marker.
QString buildPage()
{
    QString page = QStringLiteral("<html>\r\n<head>\r\n<title>Bench Page</title>\r\n"
                                  "<style>td { border: 1px solid #888; padding: 2px; }</style>\r\n"
                                  "</head>\r\n<body>\r\n");
    int section = 0;
    while (page.size() < kTargetSize) {
        ++section;
        page += QStringLiteral("<h2>Section %1</h2>\r\n").arg(section);
        for (int p = 0; p < 4; ++p) {
            page += QStringLiteral("<p>Paragraph %1 of section %2 with <b>bold</b>, <i>italic</i> and "
                                   "<a href=\"#s%2\">a link</a>; the quick brown fox jumps over the lazy "
                                   "dog &amp; friends.</p>\r\n")
                        .arg(p + 1)
                        .arg(section);
        }
        page += QStringLiteral("<table>\r\n");
        for (int r = 0; r < 6; ++r) {
            page += QStringLiteral("<tr>");
            for (int c = 0; c < 5; ++c)
                page += QStringLiteral("<td>r%1 c%2</td>").arg(r).arg(c);
            page += QStringLiteral("</tr>\r\n");
        }
        page += QStringLiteral("</table>\r\n<ul><li>one</li><li>two</li><li>three</li></ul>\r\n");
    }
    page += QStringLiteral("</body>\r\n</html>\r\n");
    return page;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    QTemporaryDir store;
    bench::isolateUserFolders(store.path());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QTemporaryDir folder;
    platform::setProgramFolder(folder.path());

    frame::MainWindow window;
    window.startUp(QString());
    window.resize(1000, 800);
    window.show();
    QCoreApplication::processEvents();

    window.runMenuCommand(QStringLiteral("mnuBlankFile"));
    document::DocumentWindow *doc = window.activeDocument();
    if (!doc) {
        std::printf("no document window\n");
        return 1;
    }
    const QString page = buildPage();
    doc->rtfText->setText(page);
    QCoreApplication::processEvents();
    std::printf("page: %lld characters\n", static_cast<long long>(page.size()));

    std::vector<double> warm;
    double cold = -1;
    for (int i = 0; i <= runs; ++i) {
        window.mdiArea()->setActiveSubWindow(doc->subWindow());
        QCoreApplication::processEvents();
        html::PageViewer *viewer = html::pageViewer();
        QEventLoop loop;
        QMetaObject::Connection done;
        QElapsedTimer t;
        t.start();
        window.runMenuCommand(QStringLiteral("mnuhtmlpreview"));
        viewer = html::pageViewer();
        if (!viewer) {
            std::printf("no page viewer\n");
            return 1;
        }
        done = QObject::connect(viewer->brwWebBrowser, &platform::BrowserControl::DownloadComplete, &loop,
                                &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, [&loop] { loop.exit(1); });
        const double commandMs = double(t.nsecsElapsed()) / 1e6;
        if (loop.exec() != 0) {
            std::printf("no load-complete within 60 s\n");
            return 1;
        }
        QObject::disconnect(done);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (viewer->windowTitle() != QLatin1String("Bench Page")) {
            std::printf("unexpected caption: %s\n", qPrintable(viewer->windowTitle()));
            return 1;
        }
        if (i == 0) {
            cold = ms;
            std::printf("first preview (loads the engine%s): %.0f ms (command itself %.0f ms)\n",
                        viewer->brwWebBrowser->usesEngine() ? "" : "; STAND-IN VIEWER", ms, commandMs);
        } else {
            warm.push_back(ms);
            std::printf("preview %d: %.0f ms (command itself %.1f ms)\n", i + 1, ms, commandMs);
        }
    }
    std::printf("preview of a 1 MB page to load-complete: first %.0f ms, then median %.0f ms (%d runs)\n", cold,
                median(warm), runs);
    return 0;
}
