#pragma once

#include <QPointer>
#include <QWidget>

class QMdiSubWindow;

namespace platform {
class BrowserControl;
}

namespace html {

// The page viewer: a child window of the main window holding the embedded
// browser, whose caption follows the page shown. One exists at most.
class PageViewer : public QWidget
{
    Q_OBJECT
public:
    explicit PageViewer(QWidget *parent = nullptr);
    ~PageViewer() override;

    platform::BrowserControl *brwWebBrowser = nullptr;

    // The child window frame that holds the viewer in the document area.
    QMdiSubWindow *subWindow() const;

    // Sizes the browser to the viewer's inner area less a 50-twip margin,
    // width first; a size that would be negative is not applied and ends
    // the fitting.
    void fitBrowser();

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void brwWebBrowser_DownloadComplete();
};

// The loaded viewer, or null.
PageViewer *pageViewer();
// Loads the viewer into the main window when it isn't loaded, and shows it.
PageViewer *showPageViewer();
// Gives the viewer the focus: it becomes the active child window.
void focusPageViewer(PageViewer *viewer);

// Closes the page viewer if it is open.
void closePageViewer();

} // namespace html
