#include "cgi/loopbackserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QMimeDatabase>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>

namespace cgi {

namespace {

QByteArray methodName(QHttpServerRequest::Method m)
{
    switch (m) {
    case QHttpServerRequest::Method::Get: return "GET";
    case QHttpServerRequest::Method::Put: return "PUT";
    case QHttpServerRequest::Method::Delete: return "DELETE";
    case QHttpServerRequest::Method::Post: return "POST";
    case QHttpServerRequest::Method::Head: return "HEAD";
    case QHttpServerRequest::Method::Options: return "OPTIONS";
    case QHttpServerRequest::Method::Patch: return "PATCH";
    default: return QByteArray();
    }
}

QString newToken()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex());
}

bool isScriptFile(const QString &name)
{
    return name.endsWith(QLatin1String(".cgi"), Qt::CaseInsensitive)
        || name.endsWith(QLatin1String(".pl"), Qt::CaseInsensitive);
}

bool inside(const QString &path, const QString &root)
{
    return path == root || path.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
}

} // namespace

QByteArray LoopbackServer::Exchange::header(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return QByteArray();
}

LoopbackServer::LoopbackServer(QObject *parent) : QAbstractHttpServer(parent)
{
    setObjectName(QStringLiteral("loopbackServer"));
    qRegisterMetaType<cgi::RunReport>();
}

LoopbackServer::~LoopbackServer()
{
    // The runs' processes end with their objects, before the server's
    // sockets go.
    for (const QPointer<ScriptProcess> &p : std::as_const(m_processes))
        delete p.data();
}

static QPointer<LoopbackServer> g_server;
static std::function<void(LoopbackServer *)> g_startHook;

LoopbackServer *LoopbackServer::existing()
{
    return g_server.data();
}

void LoopbackServer::setStartHook(std::function<void(LoopbackServer *)> hook)
{
    g_startHook = std::move(hook);
}

LoopbackServer *LoopbackServer::instance()
{
    static bool failed = false;
    if (!g_server && !failed && QCoreApplication::instance()) {
        auto *s = new LoopbackServer(QCoreApplication::instance());
        if (s->start()) {
            g_server = s;
            if (g_startHook)
                g_startHook(s);
        } else {
            failed = true;
            delete s;
        }
    }
    return g_server.data();
}

bool LoopbackServer::start()
{
    // The port the system gives for 127.0.0.1, and the same one for ::1
    // when the machine has it (tried again on another port when ::1's is
    // taken).
    for (int attempt = 0; attempt < 20; ++attempt) {
        auto *v4 = new QTcpServer(this);
        if (!v4->listen(QHostAddress::LocalHost, 0)) {
            delete v4;
            return false;
        }
        auto *v6 = new QTcpServer(this);
        const bool six = v6->listen(QHostAddress::LocalHostIPv6, v4->serverPort());
        if (!six && v6->serverError() == QAbstractSocket::AddressInUseError && attempt < 19) {
            delete v4;
            delete v6;
            continue;
        }
        m_port = v4->serverPort();
        bind(v4);
        if (six)
            bind(v6);
        else
            delete v6;
        m_v6 = six;
        return true;
    }
    return false;
}

QUrl LoopbackServer::origin() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_port);
    return url;
}

QUrl LoopbackServer::address(const QString &folder, const QString &path, const QByteArray &query)
{
    const QString root = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
    QString token = m_tokens.value(root);
    if (token.isEmpty()) {
        token = newToken();
        m_tokens.insert(root, token);
        Site site;
        site.token = token;
        site.folder = root;
        m_sites.insert(token, site);
    }
    QUrl url = origin();
    url.setPath(QLatin1Char('/') + token + (path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path));
    if (!query.isEmpty())
        url.setQuery(QString::fromLatin1(query), QUrl::TolerantMode);
    return url;
}

bool LoopbackServer::folderOf(const QUrl &url, QString *folder) const
{
    if (url.scheme() != QLatin1String("http") || url.port() != m_port)
        return false;
    const QString token = url.path().section(QLatin1Char('/'), 1, 1);
    const auto it = m_sites.constFind(token);
    if (it == m_sites.constEnd())
        return false;
    *folder = it->folder;
    return true;
}

void LoopbackServer::mapFile(const QString &folder, const QString &name, const QString &file)
{
    address(folder, name);
    Site &site = m_sites[m_tokens.value(folder.isEmpty() ? QString() : QDir::cleanPath(folder))];
    const QString path = name.startsWith(QLatin1Char('/')) ? name : QLatin1Char('/') + name;
    // A file under its own name is the folder's own.
    if (QFileInfo(file) == QFileInfo(folder + path))
        site.mapped.remove(path);
    else
        site.mapped.insert(path, file);
}

void LoopbackServer::setScript(const QString &folder, const QString &name, const ScriptSource &source)
{
    address(folder, name);
    Site &site = m_sites[m_tokens.value(folder.isEmpty() ? QString() : QDir::cleanPath(folder))];
    site.scripts.insert(name.startsWith(QLatin1Char('/')) ? name : QLatin1Char('/') + name, source);
}

Launcher &LoopbackServer::launcher()
{
    static Launcher l;
    return l;
}

void LoopbackServer::setLauncher(Launcher l)
{
    launcher() = std::move(l);
}

LoopbackServer::Site *LoopbackServer::siteOf(const QString &token)
{
    const auto it = m_sites.find(token);
    return it == m_sites.end() ? nullptr : &it.value();
}

bool LoopbackServer::hostAllowed(const QByteArray &host) const
{
    const QByteArray port = ':' + QByteArray::number(m_port);
    return host == "127.0.0.1" + port || host == "localhost" + port || (m_v6 && host == "[::1]" + port);
}

bool LoopbackServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    // The request is read whole by now; what it holds is copied, since the
    // answer may come later, when the request object serves another one.
    const QList<QPair<QByteArray, QByteArray>> headers = request.headers();
    for (const auto &h : headers) {
        if (h.first.compare("upgrade", Qt::CaseInsensitive) == 0)
            return false; // no WebSockets here
    }
    Exchange ex;
    ex.responder = std::make_shared<QHttpServerResponder>(makeResponder(request, socket));
    ex.socket = socket;
    ex.method = methodName(request.method());
    ex.headers = headers;
    ex.body = request.body();
    ex.remoteAddress = request.remoteAddress().toString();
    if (ex.remoteAddress.startsWith(QLatin1String("::ffff:")))
        ex.remoteAddress = ex.remoteAddress.mid(7);
    if (!hostAllowed(ex.header("host"))) {
        replyPage(ex, 421, QStringLiteral("Misdirected Request"),
                  QStringLiteral("This server answers only to its own address."));
        return true;
    }
    const QUrl url = request.url();
    const QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
    ex.query = url.query(QUrl::FullyEncoded).toLatin1();
    const qsizetype slash = path.indexOf('/', 1);
    const QString token = QString::fromLatin1(path.mid(1, slash < 0 ? -1 : slash - 1));
    Site *site = token.isEmpty() ? nullptr : siteOf(token);
    if (!site) {
        replyPage(ex, 404, QStringLiteral("Not Found"), QStringLiteral("There is no such page here."));
        return true;
    }
    ex.path = slash < 0 ? QByteArray("/") : path.mid(slash);
    if (ex.method.isEmpty()) {
        replyPage(ex, 501, QStringLiteral("Not Implemented"), QStringLiteral("This method is not served."));
        return true;
    }
    serve(*site, std::move(ex));
    return true;
}

void LoopbackServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    Exchange ex;
    ex.responder = std::make_shared<QHttpServerResponder>(makeResponder(request, socket));
    ex.socket = socket;
    replyPage(ex, 404, QStringLiteral("Not Found"), QStringLiteral("There is no such page here."));
}

void LoopbackServer::serve(Site &site, Exchange ex)
{
    // The path's segments, decoded; no segment may climb out.
    QStringList segments;
    for (const QByteArray &raw : ex.path.split('/')) {
        const QString seg = QUrl::fromPercentEncoding(raw);
        if (seg.isEmpty() || seg == QLatin1String("."))
            continue;
        if (seg == QLatin1String("..") || seg.contains(QLatin1Char('/')) || seg.contains(QChar(0))) {
            replyPage(ex, 403, QStringLiteral("Forbidden"), QStringLiteral("This path leads out of the site."));
            return;
        }
        segments << seg;
    }
    // A document's script, or a file shown under a document's name.
    for (int n = 1; n <= segments.size(); ++n) {
        const QString name = QLatin1Char('/') + QStringList(segments.mid(0, n)).join(QLatin1Char('/'));
        const auto script = site.scripts.constFind(name);
        if (script != site.scripts.constEnd() && script->owner && script->text) {
            const QString info = n < segments.size() ? QLatin1Char('/') + QStringList(segments.mid(n)).join(QLatin1Char('/')) : QString();
            ScriptToStart s{script->name, script->filePath, site.folder, script->text()};
            runScript(site, std::move(ex), s, name, info, script->owner, script->givenCookies);
            return;
        }
        if (n == segments.size() && site.mapped.contains(name)) {
            serveFile(site, ex, site.mapped.value(name), QString());
            return;
        }
    }
    if (site.folder.isEmpty()) {
        replyPage(ex, 404, QStringLiteral("Not Found"), QStringLiteral("There is no such page here."));
        return;
    }
    // The first segment that names a file is the file; the rest of the
    // path is a script's PATH_INFO.
    QString path = site.folder;
    int n = 0;
    while (n < segments.size()) {
        path += QLatin1Char('/') + segments.at(n++);
        if (!QFileInfo(path).isDir())
            break;
    }
    const QString rest = n < segments.size() ? QLatin1Char('/') + QStringList(segments.mid(n)).join(QLatin1Char('/')) : QString();
    serveFile(site, ex, path, rest);
}

void LoopbackServer::serveFile(const Site &site, Exchange &ex, const QString &file, const QString &rest)
{
    QFileInfo info(file);
    const bool mapped = site.mapped.values().contains(file);
    if (!mapped) {
        // Confined to the folder once every link is resolved.
        const QString root = QFileInfo(site.folder).canonicalFilePath();
        const QString real = info.canonicalFilePath();
        if (real.isEmpty() || root.isEmpty()) {
            replyPage(ex, 404, QStringLiteral("Not Found"), QStringLiteral("There is no such page here."));
            return;
        }
        if (!inside(real, root)) {
            replyPage(ex, 403, QStringLiteral("Forbidden"), QStringLiteral("This file lies outside the site's folder."));
            return;
        }
        if (info.isDir()) {
            info.setFile(real + QStringLiteral("/index.html"));
            const QString index = info.canonicalFilePath();
            if (index.isEmpty() || !inside(index, root) || !info.isFile()) {
                replyPage(ex, 404, QStringLiteral("Not Found"), QStringLiteral("This folder has no index.html."));
                return;
            }
        }
        if (isScriptFile(info.fileName())) {
            Site &s = m_sites[site.token];
            const QString urlPath = QLatin1Char('/') + QDir(root).relativeFilePath(real);
            QFile f(real);
            if (!f.open(QIODevice::ReadOnly)) {
                replyPage(ex, 403, QStringLiteral("Forbidden"), QStringLiteral("The script can't be read."));
                return;
            }
            ScriptToStart script{real, real, site.folder, f.readAll()};
            runScript(s, std::move(ex), script, urlPath, rest, nullptr, QByteArray());
            return;
        }
    }
    if (!rest.isEmpty() || !info.isFile()) {
        replyPage(ex, 404, QStringLiteral("Not Found"), QStringLiteral("There is no such page here."));
        return;
    }
    if (ex.method != "GET" && ex.method != "HEAD") {
        replyPage(ex, 405, QStringLiteral("Method Not Allowed"), QStringLiteral("A file is only read."));
        return;
    }
    QFile f(info.absoluteFilePath());
    if (!f.open(QIODevice::ReadOnly)) {
        replyPage(ex, 403, QStringLiteral("Forbidden"), QStringLiteral("The file can't be read."));
        return;
    }
    QByteArray mime = mapped ? QByteArray("text/html")
                             : QMimeDatabase().mimeTypeForFile(info).name().toLatin1();
    reply(ex, 200, {{"Content-Type", mime}, {"Cache-Control", "no-store"}},
          ex.method == "HEAD" ? QByteArray() : f.readAll());
}

void LoopbackServer::reply(Exchange &ex, int status, const QList<QPair<QByteArray, QByteArray>> &headers,
                           const QByteArray &body)
{
    // The client may have gone while a script ran.
    if (!ex.responder || !ex.socket || !ex.socket->isOpen())
        return;
    QHttpServerResponder &r = *ex.responder;
    r.writeStatusLine(QHttpServerResponder::StatusCode(status));
    for (const auto &h : headers)
        r.writeHeader(h.first, h.second);
    r.writeHeader("Content-Length", QByteArray::number(body.size()));
    r.writeBody(body);
    ex.responder.reset();
}

void LoopbackServer::replyPage(Exchange &ex, int status, const QString &title, const QString &htmlText)
{
    const QString page = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title></head>"
                                        "<body><h1>%1</h1>\n%2\n</body></html>\n")
                             .arg(title.toHtmlEscaped(), htmlText);
    reply(ex, status, {{"Content-Type", "text/html; charset=utf-8"}, {"Cache-Control", "no-store"}}, page.toUtf8());
}

} // namespace cgi
