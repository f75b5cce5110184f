#include "platform/webengine/engineview.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QPointer>
#include <QtGui/private/qopenglcontext_p.h>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <unistd.h>

namespace webengine {

namespace {

QString pathOf(const QUrl &url)
{
    return url.isLocalFile() ? url.toLocalFile() : url.toString();
}

} // namespace

EngineView::EngineView(QWidget *parent) : QWebEngineView(parent)
{
    setObjectName(QStringLiteral("engineView"));
    connect(this, &QWebEngineView::loadFinished, this, &EngineView::onLoadFinished);
}

void EngineView::navigate(const QUrl &url)
{
    load(url);
}

void EngineView::onLoadFinished(bool ok)
{
    const QString path = pathOf(url());
    if (!ok) {
        m_locationName = path;
        Q_EMIT downloadComplete();
        return;
    }
    // For a page without a title the engine's title() falls back to a
    // piece of the address (a file's bare name). A title that can't be
    // such a piece is the page's own; otherwise ask the document, in a
    // script world of its own, out of reach of the page's scripts. That
    // round trip waits for the page's renderer, so it is kept for the
    // doubtful case.
    const QString engineTitle = title();
    const QByteArray encoded = url().toEncoded();
    if (!engineTitle.isEmpty() && !QUrl::fromPercentEncoding(encoded).contains(engineTitle)
        && !QString::fromLatin1(encoded).contains(engineTitle)) {
        m_locationName = engineTitle;
        Q_EMIT downloadComplete();
        return;
    }
    const QPointer<EngineView> self(this);
    page()->runJavaScript(QStringLiteral("document.title"), QWebEngineScript::ApplicationWorld,
                          [self, path](const QVariant &title) {
                              if (!self)
                                  return;
                              const QString t = title.toString();
                              self->m_locationName = t.isEmpty() ? path : t;
                              Q_EMIT self->downloadComplete();
                          });
}

} // namespace webengine

// The module's one entry point: a new browser widget.
extern "C" Q_DECL_EXPORT QWidget *quilex_create_browser(QWidget *parent)
{
    // The engine refuses to start as root with its sandbox on.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The editor starts without OpenGL, so that start-up never loads the
    // graphics stack. The engine wants one context that all others share:
    // make it now, before the engine's first use (the editor itself has no
    // OpenGL contexts that would have had to share it).
    static bool configured = false;
    if (!configured) {
        configured = true;
        // The engine's report of its graphics set-up reads the shared
        // context even when none could be made (no OpenGL: the offscreen
        // platform, an X server without GLX) and crashes the editor.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
        // Screen readers read the pages: the renderer keeps an accessibility
        // tree from the first page on, not only once an assistive technology
        // has asked the engine for one. The flag counts only before the
        // engine's first use.
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("--force-renderer-accessibility")) {
            flags += QByteArray(flags.isEmpty() ? "" : " ") + "--force-renderer-accessibility";
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
        }
        if (!qt_gl_global_share_context()) {
            QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
            auto *context = new QOpenGLContext(qApp);
            if (context->create())
                qt_gl_set_global_share_context(context);
            else
                delete context;
        }
    }
    return new webengine::EngineView(parent);
}
