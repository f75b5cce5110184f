#include "html/viewerwindow.h"

#include "frame/mainwindow.h"
#include "platform/browser.h"
#include "platform/errors.h"
#include "platform/twips.h"

#include <QMdiArea>
#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QResizeEvent>

namespace html {

namespace {
QPointer<PageViewer> g_viewer;
}

PageViewer::PageViewer(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmBrowser"));
    setAccessibleName(QStringLiteral("Page viewer"));
    brwWebBrowser = new platform::BrowserControl(this);
    brwWebBrowser->move(0, 0);
    connect(brwWebBrowser, &platform::BrowserControl::DownloadComplete, this,
            &PageViewer::brwWebBrowser_DownloadComplete);
    setFocusProxy(brwWebBrowser);
}

PageViewer::~PageViewer() = default;

QMdiSubWindow *PageViewer::subWindow() const
{
    return qobject_cast<QMdiSubWindow *>(parentWidget());
}

QSize PageViewer::sizeHint() const
{
    return QSize(platform::twipsToPixelsX(7200), platform::twipsToPixelsY(4800));
}

void PageViewer::fitBrowser()
{
    platform::endOnError([this] {
        const int w = platform::pixelsToTwipsX(width()) - 50;
        if (w < 0)
            return;
        brwWebBrowser->resize(platform::twipsToPixelsX(w), brwWebBrowser->height());
        const int h = platform::pixelsToTwipsY(height()) - 50;
        if (h < 0)
            return;
        brwWebBrowser->resize(brwWebBrowser->width(), platform::twipsToPixelsY(h));
    });
}

void PageViewer::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitBrowser();
}

void PageViewer::closeEvent(QCloseEvent *event)
{
    // Closed is unloaded: the next use makes a new viewer, even before
    // this one is deleted.
    if (g_viewer == this)
        g_viewer.clear();
    QWidget::closeEvent(event);
}

void PageViewer::brwWebBrowser_DownloadComplete()
{
    platform::ignoreErrors([this] { setWindowTitle(brwWebBrowser->LocationName()); });
}

PageViewer *pageViewer()
{
    return g_viewer.data();
}

PageViewer *showPageViewer()
{
    frame::MainWindow *w = frame::frmMain();
    if (!w)
        throw platform::ControlError(platform::ControlError::ObjectRequired,
                                     QStringLiteral("Object required"));
    if (!g_viewer) {
        auto *viewer = new PageViewer;
        g_viewer = viewer;
        w->addChild(viewer);
        // On load the viewer shows itself and fits its browser.
        viewer->subWindow()->show();
        viewer->fitBrowser();
        return viewer;
    }
    g_viewer->subWindow()->show();
    return g_viewer;
}

void focusPageViewer(PageViewer *viewer)
{
    frame::MainWindow *w = frame::frmMain();
    if (!w || !viewer)
        throw platform::ControlError(platform::ControlError::ObjectRequired,
                                     QStringLiteral("Object required"));
    w->mdiArea()->setActiveSubWindow(viewer->subWindow());
    viewer->setFocus(Qt::OtherFocusReason);
}

void closePageViewer()
{
    if (PageViewer *viewer = g_viewer.data()) {
        g_viewer.clear();
        if (QMdiSubWindow *sub = viewer->subWindow())
            sub->close();
        else
            viewer->close();
    }
}

} // namespace html
