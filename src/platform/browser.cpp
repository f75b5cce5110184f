#include "platform/browser.h"

#include "platform/programfolder.h"

#include <QFileInfo>
#include <QLibrary>
#include <QMetaObject>
#include <QTextBrowser>
#include <QTimer>

namespace platform {

namespace {

using Factory = QWidget *(*)(QWidget *parent);

// The module is loaded once and never unloaded: the engine's threads and
// helper processes outlive any one view.
Factory engineFactory()
{
    static bool tried = false;
    static Factory factory = nullptr;
    if (!tried) {
        tried = true;
        QLibrary module(BrowserControl::modulePath());
        if (module.load())
            factory = reinterpret_cast<Factory>(module.resolve("quilex_create_browser"));
    }
    return factory;
}

bool g_engineLoaded = false;

QUrl urlFor(const QString &pathOrAddress)
{
    if (pathOrAddress.contains(QLatin1String("://")))
        return QUrl(pathOrAddress);
    return QUrl::fromLocalFile(QFileInfo(pathOrAddress).absoluteFilePath());
}

QString pathOf(const QUrl &url)
{
    return url.isLocalFile() ? url.toLocalFile() : url.toString();
}

} // namespace

QString BrowserControl::modulePath()
{
    return moduleFolder() + QLatin1String("/quilex_browser.so");
}

bool BrowserControl::engineLoaded()
{
    return g_engineLoaded;
}

BrowserControl::BrowserControl(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("brwWebBrowser"));
    setAccessibleName(QStringLiteral("Web page"));
    if (Factory make = engineFactory()) {
        g_engineLoaded = true;
        m_view = make(this);
    }
    if (m_view) {
        m_engine = true;
        connect(m_view, SIGNAL(downloadComplete()), this, SIGNAL(DownloadComplete()));
    } else {
        makeStandIn();
    }
    m_view->setGeometry(rect());
    setFocusProxy(m_view);
}

BrowserControl::~BrowserControl() = default;

void BrowserControl::makeStandIn()
{
    auto *view = new QTextBrowser(this);
    view->setOpenExternalLinks(false);
    m_view = view;
    // A finished load is told after the navigation returns, as the engine
    // does.
    connect(view, &QTextBrowser::sourceChanged, this, [this, view](const QUrl &url) {
        m_url = url;
        m_standInTitle = view->documentTitle();
        QTimer::singleShot(0, this, [this] { Q_EMIT DownloadComplete(); });
    });
}

void BrowserControl::navigate(const QString &pathOrAddress)
{
    const QUrl url = urlFor(pathOrAddress);
    m_url = url;
    if (!m_view)
        return;
    if (m_engine) {
        QMetaObject::invokeMethod(m_view, "navigate", Qt::DirectConnection, Q_ARG(QUrl, url));
        return;
    }
    auto *view = static_cast<QTextBrowser *>(m_view.data());
    if (view->source() != url) {
        view->setSource(url);
        return;
    }
    // The same address again reads the file afresh, as a browser does.
    view->reload();
    m_standInTitle = view->documentTitle();
    QTimer::singleShot(0, this, [this] { Q_EMIT DownloadComplete(); });
}

QString BrowserControl::LocationName() const
{
    if (!m_view)
        return QString();
    if (m_engine)
        return m_view->property("locationName").toString();
    if (m_url.isEmpty())
        return QString();
    return m_standInTitle.isEmpty() ? pathOf(m_url) : m_standInTitle;
}

void BrowserControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_view)
        m_view->setGeometry(rect());
}

} // namespace platform
