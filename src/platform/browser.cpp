#include "platform/browser.h"

#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QVariantMap>

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
BrowserControl::FileServer g_fileServer;

QUrl originOf(const QUrl &url)
{
    return url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo);
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
        connect(m_view, SIGNAL(urlChanged(QUrl)), this, SLOT(onUrlChanged(QUrl)));
        connect(m_view, SIGNAL(reloading(QUrl)), this, SLOT(onReloading(QUrl)));
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
    Q_UNUSED(view);
}

void BrowserControl::standInFetch(const QUrl &url, const QByteArray &method, const QByteArray &contentType,
                                  const QByteArray &body)
{
    // The stand-in asks the server as a browser would, and shows what it
    // gets as rich text or plain text.
    if (!m_fetcher)
        m_fetcher = new QNetworkAccessManager(this);
    auto *net = static_cast<QNetworkAccessManager *>(m_fetcher);
    QNetworkRequest request(url);
    if (!contentType.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    QNetworkReply *reply = net->sendCustomRequest(request, method.isEmpty() ? QByteArray("GET") : method, body);
    const QPointer<QWidget> view = m_view;
    connect(reply, &QNetworkReply::finished, this, [this, reply, view] {
        reply->deleteLater();
        if (!view || m_engine)
            return;
        auto *text = static_cast<QTextBrowser *>(view.data());
        const QByteArray bytes = reply->readAll();
        const QByteArray type = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
        if (type.startsWith("text/html")) {
            QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
            text->setHtml(decoder.isValid() ? decoder.decode(bytes) : QString::fromUtf8(bytes));
        } else {
            text->setPlainText(QString::fromUtf8(bytes));
        }
        m_standInTitle = text->documentTitle();
        standInLoaded();
    });
}

void BrowserControl::standInLoaded()
{
    QTimer::singleShot(0, this, [this] {
        if (m_standInScroll && !m_engine && m_view) {
            auto *view = static_cast<QTextBrowser *>(m_view.data());
            view->horizontalScrollBar()->setValue(int(m_standInScroll->x()));
            view->verticalScrollBar()->setValue(int(m_standInScroll->y()));
        }
        m_standInScroll.reset();
        Q_EMIT DownloadComplete();
    });
}

void BrowserControl::onReloading(const QUrl &)
{
    // The server answers the page again as it did.
}

void BrowserControl::onUrlChanged(const QUrl &url)
{
    // A page the browser went to by itself is another page.
    const QUrl page = url.adjusted(QUrl::RemoveFragment);
    if (page != m_asked) {
        m_asked = page;
        ++m_pageSerial;
    }
}

void BrowserControl::asked(const QUrl &url, bool keepScroll)
{
    m_asked = url.adjusted(QUrl::RemoveFragment);
    ++m_pageSerial;
    if (!m_engine && m_view) {
        if (keepScroll && !m_standInScroll)
            m_standInScroll = scrollPosition();
        else if (!keepScroll)
            m_standInScroll.reset();
    }
}

QPointF BrowserControl::scrollPosition() const
{
    if (!m_view)
        return QPointF();
    if (m_engine)
        return m_view->property("scrollPosition").toPointF();
    const auto *view = static_cast<const QTextBrowser *>(m_view.data());
    return QPointF(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
}

void BrowserControl::setFileServer(FileServer server)
{
    g_fileServer = std::move(server);
}

void BrowserControl::navigate(const QString &path)
{
    const QFileInfo file(path);
    navigateAs(path, file.absolutePath(), file.fileName(), false);
}

void BrowserControl::navigateKeepingScroll(const QString &path)
{
    const QFileInfo file(path);
    navigateAs(path, file.absolutePath(), file.fileName(), true);
}

void BrowserControl::navigateAs(const QString &path, const QString &folder, const QString &name, bool keepScroll)
{
    const QString file = QFileInfo(path).absoluteFilePath();
    const QUrl served = g_fileServer ? g_fileServer(file, folder, name) : QUrl();
    m_untitledName = file;
    show(served, "GET", QByteArray(), QByteArray(), keepScroll);
    m_url = QUrl::fromLocalFile(file);
}

void BrowserControl::load(const QUrl &url, const QByteArray &method, const QByteArray &contentType,
                          const QByteArray &body, const QString &untitledName)
{
    m_untitledName = untitledName;
    show(url, method, contentType, body, false);
}

void BrowserControl::show(const QUrl &url, const QByteArray &method, const QByteArray &contentType,
                          const QByteArray &body, bool keepScroll)
{
    m_url = url;
    if (!m_view)
        return;
    asked(url, keepScroll);
    if (!m_engine) {
        standInFetch(url, method, contentType, body);
        return;
    }
    const QUrl origin = originOf(url);
    if (origin != m_origin) {
        m_origin = origin;
        QMetaObject::invokeMethod(m_view, "allowOrigin", Qt::DirectConnection, Q_ARG(QUrl, origin));
    }
    if (method == "GET" && body.isEmpty()) {
        QMetaObject::invokeMethod(m_view, keepScroll ? "navigateKeepingScroll" : "navigate", Qt::DirectConnection,
                                  Q_ARG(QUrl, url));
        return;
    }
    QMetaObject::invokeMethod(m_view, "navigateRequest", Qt::DirectConnection, Q_ARG(QUrl, url),
                              Q_ARG(QByteArray, method), Q_ARG(QByteArray, contentType), Q_ARG(QByteArray, body));
}

QUrl BrowserControl::pageUrl() const
{
    if (!m_view)
        return QUrl();
    return m_engine ? m_view->property("url").toUrl() : m_asked;
}

QString BrowserControl::LocationName() const
{
    if (!m_view)
        return QString();
    if (m_engine) {
        if (!m_untitledName.isEmpty() && originOf(m_view->property("url").toUrl()) == m_origin) {
            const QString title = m_view->property("pageTitle").toString();
            return title.isEmpty() ? m_untitledName : title;
        }
        return m_view->property("locationName").toString();
    }
    if (m_url.isEmpty())
        return QString();
    if (!m_standInTitle.isEmpty())
        return m_standInTitle;
    return m_untitledName.isEmpty() ? (m_url.isLocalFile() ? m_url.toLocalFile() : m_url.toString()) : m_untitledName;
}

QString BrowserControl::selectedText() const
{
    if (!m_view)
        return QString();
    if (m_engine)
        return m_view->property("selectedText").toString();
    QString text = static_cast<QTextBrowser *>(m_view.data())->textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

void BrowserControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_view)
        m_view->setGeometry(rect());
}

} // namespace platform
