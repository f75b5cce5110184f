#include "html/pageviewer.h"

#include "document/documentwindow.h"
#include "cgi/loopbackserver.h"
#include "frame/commands.h"
#include "frame/layout.h"
#include "frame/mainwindow.h"
#include "html/viewerwindow.h"
#include "platform/atomicfile.h"
#include "platform/browser.h"
#include "platform/errors.h"
#include "platform/programfolder.h"
#include "platform/richtextbox.h"

#include <QFile>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QPointer>

namespace html {

using platform::ControlError;

namespace {

std::function<void(document::DocumentWindow *, PageViewer *)> &previewListener()
{
    static std::function<void(document::DocumentWindow *, PageViewer *)> listener;
    return listener;
}

} // namespace

void setPreviewListener(std::function<void(document::DocumentWindow *doc, PageViewer *viewer)> listener)
{
    previewListener() = std::move(listener);
}

void previewHtml(PreviewForm form)
{
    frame::MainWindow *w = frame::frmMain();
    if (!w)
        return;
    // 1. Only a document is previewed; the viewer itself is not.
    QWidget *child = w->activeChild();
    if (!child || child == pageViewer())
        return;
    const QPointer<document::DocumentWindow> doc = w->activeDocument();
    // 2.
    if (form == PreviewForm::Menu)
        frame::tileHorizontally(w);
    // 3. The text as the control holds it, saved or not, in its own
    // encoding; written whole or not at all.
    const QString path = platform::writableProgramFile(QStringLiteral("\\preview.html"));
    const QByteArray bytes = w->requireText().encodedText();
    QString error;
    if (!platform::writeFileAtomically(path, bytes, &error))
        throw ControlError(ControlError::PathFileAccess, error);
    // 4.-6. Relative addresses in the page resolve in the document's own
    // folder when it has one.
    PageViewer *viewer = showPageViewer();
    showPreviewFile(viewer, path, doc.data());
    if (doc && previewListener())
        previewListener()(doc.data(), viewer);
    focusPageViewer(viewer);
    // 7.
    frame::tileHorizontally(w);
}

void showPreviewFile(PageViewer *viewer, const QString &path, const document::DocumentWindow *doc, bool keepScroll)
{
    if (doc && doc->hasFile()) {
        const QFileInfo file(doc->caption());
        viewer->brwWebBrowser->navigateAs(path, file.absolutePath(), file.fileName(), keepScroll);
    } else if (keepScroll) {
        viewer->brwWebBrowser->navigateKeepingScroll(path);
    } else {
        viewer->brwWebBrowser->navigate(path);
    }
}

void showProgramPage(const QString &nameWithSeparator)
{
    QString path = platform::programFile(nameWithSeparator);
    // 1. A missing page is created empty (where the program writes its
    // files); an existing one is left as it is.
    if (!QFileInfo::exists(path))
        path = platform::writableProgramFile(nameWithSeparator);
    platform::ignoreErrors([&] {
        QFile file(path);
        if (file.open(QIODevice::ReadWrite))
            file.close();
    });
    PageViewer *viewer = nullptr;
    platform::ignoreErrors([&] { viewer = showPageViewer(); });
    platform::ignoreErrors([&] {
        if (viewer)
            viewer->subWindow()->showMaximized();
    });
    platform::ignoreErrors([&] {
        if (viewer)
            viewer->brwWebBrowser->navigate(path);
    });
    platform::ignoreErrors([&] { focusPageViewer(viewer); });
}

void registerViewerCommands()
{
    // Pages are served by the editor's own server, from their folder.
    platform::BrowserControl::setFileServer([](const QString &file, const QString &folder, const QString &name) {
        cgi::LoopbackServer *server = cgi::LoopbackServer::instance();
        if (!server)
            return QUrl();
        server->mapFile(folder, name, file);
        return server->address(folder, QLatin1Char('/') + name);
    });
    // The Quick Link copies run the menu form too.
    frame::addCommand(QStringLiteral("mnuhtmlpreview"), [](frame::Tree) {
        platform::endOnError([] { previewHtml(PreviewForm::Menu); });
    });
    frame::addCommand(QStringLiteral("mnuHelpContents"),
                      [](frame::Tree) { showProgramPage(QStringLiteral("\\help.html")); });
    frame::addCommand(QStringLiteral("mnuscriptlist"),
                      [](frame::Tree) { showProgramPage(QStringLiteral("\\list.html")); });
}

} // namespace html
