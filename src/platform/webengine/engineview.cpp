#include "platform/webengine/engineview.h"

#include "platform/webengine/guard.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QPointer>
#include <QtGui/private/qopenglcontext_p.h>
#include <QWebEngineHttpRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>

#include <algorithm>
#include <csignal>
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
    // A profile of its own, kept off the disk (its cookies are this
    // view's), whose pages reach the editor's server and nothing else; it
    // goes once the view's page is gone.
    auto *profile = new QWebEngineProfile;
    m_guard = new RequestGuard(profile);
    profile->setUrlRequestInterceptor(m_guard);
    auto *webPage = new QWebEnginePage(profile, this);
    connect(webPage, &QObject::destroyed, profile, &QObject::deleteLater);
    QWebEngineSettings *settings = webPage->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
    setPage(webPage);
    connect(this, &QWebEngineView::loadFinished, this, &EngineView::onLoadFinished);
    m_watch = new QTimer(this);
    m_watch->setSingleShot(true);
    m_watch->setInterval(2000);
    connect(m_watch, &QTimer::timeout, this, &EngineView::watch);
    connect(webPage, &QWebEnginePage::renderProcessTerminated, this, &EngineView::rendererEnded);
}

void EngineView::start(const QWebEngineHttpRequest &request)
{
    m_lastRequest = request;
    load(request);
    m_watch->start();
}

void EngineView::watch()
{
    if (!page()->isLoading() || m_ending)
        return;
    const int probe = ++m_probe;
    // The page may answer while it is being destroyed with the view: the
    // answer goes to a counter of its own.
    page()->runJavaScript(QStringLiteral("0"), QWebEngineScript::ApplicationWorld,
                          [answered = m_answered, probe](const QVariant &) { *answered = std::max(*answered, probe); });
    // A large page may keep the renderer busy for seconds at a stretch;
    // a script that never ends keeps it for good.
    QTimer::singleShot(10000, this, [this, probe] {
        if (*m_answered >= probe || m_probe != probe || !page()->isLoading() || m_ending)
            return;
        const qint64 pid = page()->renderProcessPid();
        if (pid > 0) {
            m_ending = true;
            ::kill(pid_t(pid), SIGKILL);
        }
    });
}

void EngineView::rendererEnded()
{
    if (!m_ending)
        return;
    m_ending = false;
    // Not watched again: a page that itself never ends is left to run.
    Q_EMIT reloading(m_lastRequest.url());
    load(m_lastRequest);
}

void EngineView::navigate(const QUrl &url)
{
    m_scroll.reset();
    start(QWebEngineHttpRequest(url));
}

void EngineView::navigateRequest(const QUrl &url, const QByteArray &method, const QByteArray &contentType,
                                 const QByteArray &body)
{
    m_scroll.reset();
    QWebEngineHttpRequest request(url, method == "GET" ? QWebEngineHttpRequest::Get : QWebEngineHttpRequest::Post);
    if (!contentType.isEmpty())
        request.setHeader("Content-Type", contentType);
    request.setPostData(body);
    start(request);
}

void EngineView::allowOrigin(const QUrl &origin)
{
    m_guard->setOrigin(origin);
}

void EngineView::navigateKeepingScroll(const QUrl &url)
{
    // A version still loading has not been scrolled yet: the place to
    // keep is the one taken before it.
    if (!m_scroll)
        m_scroll = page()->scrollPosition();
    start(QWebEngineHttpRequest(url));
}

QPointF EngineView::scrollPosition() const
{
    return page()->scrollPosition();
}

void EngineView::onLoadFinished(bool ok)
{
    const QString path = pathOf(url());
    m_pageTitle.clear();
    if (ok && m_scroll) {
        const QPointF at = *m_scroll;
        m_scroll.reset();
        if (!at.isNull())
            page()->runJavaScript(QStringLiteral("window.scrollTo(%1, %2)").arg(at.x()).arg(at.y()),
                                  QWebEngineScript::ApplicationWorld);
    }
    if (!ok && page()->isLoading())
        return; // a load that a newer one replaced: that one tells
    if (!ok) {
        // An error page of the server (404, a script's 500) may have a
        // title of its own.
        const QString t = title();
        const bool own = !t.isEmpty() && !QUrl::fromPercentEncoding(url().toEncoded()).contains(t);
        m_locationName = own ? t : path;
        m_pageTitle = own ? t : QString();
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
        m_pageTitle = engineTitle;
        Q_EMIT downloadComplete();
        return;
    }
    // A page destroyed with its view answers from within the view's
    // destructor, when the view is no longer an EngineView.
    const QPointer<QObject> guard(this);
    page()->runJavaScript(QStringLiteral("document.title"), QWebEngineScript::ApplicationWorld,
                          [guard, path](const QVariant &title) {
                              auto *self = qobject_cast<EngineView *>(guard.data());
                              if (!self)
                                  return;
                              const QString t = title.toString();
                              self->m_locationName = t.isEmpty() ? path : t;
                              self->m_pageTitle = t;
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
        // Screen readers read the pages. On Linux the engine builds the
        // pages' accessibility tree only when this is set before its first
        // use; it then does so while an assistive technology listens (as
        // Qt's accessibility reports), and costs nothing otherwise.
        if (qEnvironmentVariableIsEmpty("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
            qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
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
