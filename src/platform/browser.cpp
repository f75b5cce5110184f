#include "platform/browser.h"

#include "platform/localsite.h"
#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QMetaObject>
#include <QMimeDatabase>
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
BrowserControl::LocalHandler g_localHandler;

// The folders of local sites; a site's host is its index.
QStringList &siteFolders()
{
    static QStringList folders;
    return folders;
}

QString hostOf(const QString &folder)
{
    QStringList &folders = siteFolders();
    qsizetype i = folders.indexOf(folder);
    if (i < 0) {
        folders << folder;
        i = folders.size() - 1;
    }
    return QStringLiteral("s%1").arg(i);
}

bool folderOf(const QString &host, QString *folder)
{
    if (!host.startsWith(QLatin1Char('s')))
        return false;
    bool ok = false;
    const int i = host.mid(1).toInt(&ok);
    if (!ok || i < 0 || i >= siteFolders().size())
        return false;
    *folder = siteFolders().at(i);
    return true;
}

QString pendingKey(const QUrl &url)
{
    return url.host() + url.path();
}

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
        connect(m_view, SIGNAL(urlChanged(QUrl)), this, SLOT(onUrlChanged(QUrl)));
        connect(m_view, SIGNAL(reloading(QUrl)), this, SLOT(onReloading(QUrl)));
        connect(m_view, SIGNAL(localRequest(int, QUrl, QByteArray, QByteArray, QByteArray)), this,
                SLOT(onLocalRequest(int, QUrl, QByteArray, QByteArray, QByteArray)));
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
        onUrlChanged(url);
        m_standInTitle = view->documentTitle();
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

void BrowserControl::onReloading(const QUrl &url)
{
    // The page is asked for again: the answer given for it stands.
    if (m_shown.key == pendingKey(url) && m_shown.response.found())
        m_pending.insert(m_shown.key, m_shown.response);
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

void BrowserControl::navigate(const QString &pathOrAddress)
{
    load(pathOrAddress, false);
}

void BrowserControl::navigateKeepingScroll(const QString &path)
{
    load(path, true);
}

void BrowserControl::load(const QString &pathOrAddress, bool keepScroll)
{
    const QUrl url = urlFor(pathOrAddress);
    m_url = url;
    m_pending.clear();
    m_shown = Shown();
    m_untitledName.clear();
    if (!m_view)
        return;
    asked(url, keepScroll);
    if (m_engine) {
        QMetaObject::invokeMethod(m_view, keepScroll ? "navigateKeepingScroll" : "navigate", Qt::DirectConnection,
                                  Q_ARG(QUrl, url));
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
    standInLoaded();
}

QString BrowserControl::LocationName() const
{
    if (!m_view)
        return QString();
    if (m_engine) {
        if (!m_untitledName.isEmpty() && isLocalUrl(m_view->property("url").toUrl())) {
            const QString title = m_view->property("pageTitle").toString();
            return title.isEmpty() ? m_untitledName : title;
        }
        return m_view->property("locationName").toString();
    }
    if (m_url.isEmpty())
        return QString();
    if (!m_standInTitle.isEmpty())
        return m_standInTitle;
    return m_untitledName.isEmpty() ? pathOf(m_url) : m_untitledName;
}

// ---------------------------------------------------------------- local sites

QUrl BrowserControl::localUrl(const QString &folder, const QString &path, const QByteArray &query)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(kLocalScheme));
    url.setHost(hostOf(folder));
    url.setPath(path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path);
    if (!query.isEmpty())
        url.setQuery(QString::fromLatin1(query));
    return url;
}

bool BrowserControl::isLocalUrl(const QUrl &url)
{
    return url.scheme() == QLatin1String(kLocalScheme);
}

void BrowserControl::setLocalHandler(LocalHandler handler)
{
    g_localHandler = std::move(handler);
}

LocalResponse BrowserControl::localFile(const QString &folder, const QString &path)
{
    LocalResponse r;
    if (folder.isEmpty())
        return r;
    const QString root = QDir::cleanPath(folder);
    QString full = QDir::cleanPath(root + QLatin1Char('/') + path);
    if (full != root && !full.startsWith(root + QLatin1Char('/')))
        return r;
    QFileInfo info(full);
    if (info.isDir())
        info.setFile(full + QStringLiteral("/index.html"));
    if (!info.isFile() || !info.isReadable())
        return r;
    r.file = info.absoluteFilePath();
    r.mimeType = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension).name().toLatin1();
    return r;
}

void BrowserControl::showLocal(const QUrl &url, const LocalResponse &response, const QString &untitledName)
{
    showLocalPage(url, response, untitledName, false);
}

void BrowserControl::showLocalPage(const QUrl &url, const LocalResponse &response, const QString &untitledName,
                                   bool keepScroll)
{
    m_url = url;
    m_untitledName = untitledName;
    m_pending.clear();
    if (!m_view)
        return;
    const QUrl target = response.redirect.isValid() ? response.redirect : url;
    asked(target, keepScroll);
    if (!m_engine) {
        showInStandIn(url, response);
        return;
    }
    m_shown = Shown();
    if (!response.redirect.isValid()) {
        m_pending.insert(pendingKey(url), response);
        m_shown = Shown{pendingKey(url), response};
    }
    QMetaObject::invokeMethod(m_view, keepScroll ? "navigateKeepingScroll" : "navigate", Qt::DirectConnection,
                              Q_ARG(QUrl, target));
}

void BrowserControl::navigateAs(const QString &path, const QString &folder, const QString &name, bool keepScroll)
{
    LocalResponse r;
    r.file = QFileInfo(path).absoluteFilePath();
    r.mimeType = "text/html";
    showLocalPage(localUrl(folder, QLatin1Char('/') + name), r, r.file, keepScroll);
    m_url = QUrl::fromLocalFile(r.file);
}

void BrowserControl::onLocalRequest(int id, const QUrl &url, const QByteArray &method,
                                    const QByteArray &contentType, const QByteArray &body)
{
    const auto pending = m_pending.find(pendingKey(url));
    if (pending != m_pending.end()) {
        const LocalResponse r = pending.value();
        m_pending.erase(pending);
        answer(id, r);
        return;
    }
    LocalRequest request;
    if (!folderOf(url.host(), &request.folder)) {
        answer(id, LocalResponse());
        return;
    }
    request.path = url.path();
    request.query = url.query(QUrl::FullyEncoded).toLatin1();
    request.method = method;
    request.contentType = contentType;
    request.body = body;
    const QPointer<BrowserControl> self(this);
    const LocalReply reply = [self, id](const LocalResponse &r) {
        if (self)
            self->answer(id, r);
    };
    if (g_localHandler && g_localHandler(this, request, reply))
        return;
    answer(id, localFile(request.folder, request.path));
}

void BrowserControl::answer(int id, const LocalResponse &response)
{
    if (!m_view || !m_engine)
        return;
    QVariantMap map;
    if (response.redirect.isValid()) {
        map.insert(QStringLiteral("redirect"), response.redirect);
    } else if (!response.file.isEmpty()) {
        map.insert(QStringLiteral("file"), response.file);
        map.insert(QStringLiteral("mime"), response.mimeType);
    } else if (response.found()) {
        map.insert(QStringLiteral("mime"), response.mimeType);
        map.insert(QStringLiteral("body"), response.body);
    }
    QMetaObject::invokeMethod(m_view, "answer", Qt::DirectConnection, Q_ARG(int, id), Q_ARG(QVariantMap, map));
}

void BrowserControl::showInStandIn(const QUrl &url, const LocalResponse &given)
{
    auto *view = static_cast<QTextBrowser *>(m_view.data());
    QString folder;
    folderOf(url.host(), &folder);
    LocalResponse response = given;
    if (response.redirect.isValid())
        response = localFile(folder, response.redirect.path());
    QByteArray body = response.body;
    if (!response.file.isEmpty()) {
        QFile file(response.file);
        if (file.open(QIODevice::ReadOnly))
            body = file.readAll();
    }
    if (!folder.isEmpty()) {
        view->setSearchPaths({folder});
        view->document()->setBaseUrl(QUrl::fromLocalFile(folder + QLatin1Char('/')));
    }
    if (response.mimeType.startsWith("text/html")) {
        QStringDecoder decoder = QStringDecoder::decoderForHtml(body);
        view->setHtml(decoder.isValid() ? decoder.decode(body) : QString::fromUtf8(body));
    } else {
        view->setPlainText(QString::fromUtf8(body));
    }
    m_standInTitle = view->documentTitle();
    standInLoaded();
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
