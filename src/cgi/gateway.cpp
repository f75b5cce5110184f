// The server's CGI gateway (RFC 3875): a script's run for one request,
// with the request's meta-variables and its body unchanged on standard
// input; the script's headers taken apart as a server does (Status,
// Location as a local redirect inside the server or a client redirect,
// the rest passed on); a 500 page with the exit status and standard error
// for a script that gave no valid headers.

#include "cgi/loopbackserver.h"

#include <QDir>
#include <QFileInfo>
#include <QHttpServerResponder>
#include <QTcpSocket>
#include <QUrl>

#include <algorithm>

namespace cgi {

namespace {

constexpr int kMostLocalRedirects = 10;

// Headers that describe the connection or the body as the script sent it;
// the server writes its own.
bool hopHeader(const QByteArray &name)
{
    const QByteArray n = name.toLower();
    return n == "status" || n == "location" || n == "content-length" || n == "connection"
        || n == "transfer-encoding" || n == "keep-alive";
}

QString escaped(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).toHtmlEscaped();
}

} // namespace

bool LoopbackServer::isRunning() const
{
    for (const QPointer<ScriptProcess> &p : m_processes) {
        if (p && p->isRunning())
            return true;
    }
    return false;
}

bool LoopbackServer::hasLeftovers() const
{
    for (const QPointer<ScriptProcess> &p : m_processes) {
        if (p && p->hasLeftovers())
            return true;
    }
    return false;
}

void LoopbackServer::stopAll()
{
    for (const QPointer<ScriptProcess> &p : std::as_const(m_processes)) {
        if (!p)
            continue;
        if (p->isRunning())
            p->stop();
        else
            p->endLeftovers();
    }
}

void LoopbackServer::runScript(Site &site, Exchange ex, const ScriptToStart &script, const QString &urlPath,
                               const QString &pathInfo, const QPointer<QObject> &owner,
                               const QByteArray &givenCookies)
{
    ProcessSpec spec;
    QString error;
    if (!launcher() || !launcher()(script, &spec, &error)) {
        replyPage(ex, 500, QStringLiteral("Internal Server Error"),
                  QStringLiteral("<p>The script could not be started: %1</p>").arg(error.toHtmlEscaped()));
        return;
    }
    CgiRequest request;
    request.method = ex.method;
    request.query = ex.query;
    request.body = ex.body;
    request.contentType = ex.header("content-type");
    request.headers = ex.headers;
    request.pathInfo = pathInfo;
    request.serverPort = m_port;
    request.remoteAddress = ex.remoteAddress;
    request.requestUri = '/' + site.token.toLatin1() + ex.path + (ex.query.isEmpty() ? QByteArray() : '?' + ex.query);
    // The cookies the run was given first; the browser's replace those of
    // the same name.
    CookieJar browser;
    for (const QByteArray &c : ex.header("cookie").split(';')) {
        if (!c.trimmed().isEmpty())
            browser.store(c.trimmed());
    }
    request.cookies = browser.header(givenCookies);
    CgiScript where;
    where.name = script.name;
    where.filePath = script.filePath;
    where.folder = site.folder.isEmpty() ? QDir::homePath() : site.folder;
    where.urlPath = QLatin1Char('/') + site.token + urlPath;
    spec.environment = cgiEnvironment(request, where, QProcessEnvironment::systemEnvironment());
    spec.workingDirectory = where.folder;
    spec.input = ex.body;

    auto *process = new ScriptProcess(this);
    m_processes.removeAll(nullptr);
    m_processes << process;
    m_last = process;
    const QString token = site.token;
    connect(process, &ScriptProcess::finished, this,
            [this, token, ex, script, urlPath, owner, process](const ProcessResult &result) {
                Site *s = siteOf(token);
                if (s)
                    ranScript(*s, ex, script, urlPath, owner, process, result);
                if (!process->hasLeftovers())
                    process->deleteLater();
            });
    connect(process, &ScriptProcess::leftoversEnded, this, [this, process] {
        process->deleteLater();
        Q_EMIT leftoversEnded();
    });
    process->start(spec);
    Q_EMIT runStarted();
}

void LoopbackServer::ranScript(Site &site, Exchange ex, const ScriptToStart &script, const QString &urlPath,
                               const QPointer<QObject> &owner, ScriptProcess *process, const ProcessResult &result)
{
    RunReport report;
    report.folder = site.folder;
    report.name = script.name;
    report.owner = owner;
    report.method = ex.method;
    report.result = result;
    report.process = process;
    report.leftovers = process->leftovers();
    const QString fileName = QFileInfo(script.name).fileName();

    if (!result.started) {
        replyPage(ex, 500, QStringLiteral("Internal Server Error"),
                  QStringLiteral("<p>%1 could not be started: %2</p>").arg(fileName.toHtmlEscaped(), result.startError.toHtmlEscaped()));
    } else if (result.timedOut || result.stopped) {
        replyPage(ex, result.timedOut ? 504 : 503, result.timedOut ? QStringLiteral("Timed Out") : QStringLiteral("Stopped"),
                  QStringLiteral("<p>%1 was stopped%2.</p><pre>%3</pre>")
                      .arg(fileName.toHtmlEscaped(), result.timedOut ? QStringLiteral(" when its time was up") : QString(),
                           escaped(result.errors)));
    } else {
        report.response = parseCgiOutput(result.output);
        const CgiResponse &cgi = report.response;
        if (!cgi.headerError.isEmpty()) {
            // The reason is shown where the page would have been.
            const QString status = result.crashed ? QStringLiteral("It was ended by a signal.")
                                                  : QStringLiteral("It exited with status %1.").arg(result.exitCode);
            replyPage(ex, 500, QStringLiteral("Internal Server Error"),
                      QStringLiteral("<p>%1 ended without valid headers: %2</p>\n<p>%3</p>\n"
                                     "<h2>Standard error</h2>\n<pre id=\"stderr\">%4</pre>")
                          .arg(fileName.toHtmlEscaped(), cgi.headerError.toHtmlEscaped(), status, escaped(result.errors)));
        } else if (!cgi.location.isEmpty()) {
            const QByteArray location = cgi.location.trimmed();
            report.redirect = QString::fromLatin1(location);
            const QByteArray root = '/' + site.token.toLatin1();
            const bool absPath = location.startsWith('/') && !location.startsWith("//");
            if (absPath && cgi.status == 302 && !cgi.headers.isEmpty()
                && std::none_of(cgi.headers.cbegin(), cgi.headers.cend(),
                                [](const auto &h) { return h.first.compare("status", Qt::CaseInsensitive) == 0; })
                && ex.redirects < kMostLocalRedirects) {
                // A local redirect: the server fetches the path itself, as
                // a GET (the site's root is the token's).
                report.localRedirect = true;
                QByteArray target = location.startsWith(root + '/') ? location.mid(root.size()) : location;
                const qsizetype q = target.indexOf('?');
                Exchange again = ex;
                again.method = "GET";
                again.body.clear();
                again.path = q < 0 ? target : target.left(q);
                again.query = q < 0 ? QByteArray() : target.mid(q + 1);
                again.redirects = ex.redirects + 1;
                QList<QPair<QByteArray, QByteArray>> kept;
                for (const auto &h : again.headers) {
                    if (h.first.compare("content-type", Qt::CaseInsensitive) && h.first.compare("content-length", Qt::CaseInsensitive))
                        kept << h;
                }
                again.headers = kept;
                Q_EMIT runFinished(report);
                serve(site, std::move(again));
                return;
            }
            // A client redirect: the browser goes there; a path of the
            // site is given under its token.
            QByteArray to = location;
            if (absPath && !location.startsWith(root + '/'))
                to = root + location;
            QList<QPair<QByteArray, QByteArray>> headers{{"Location", to}};
            for (const auto &h : cgi.headers) {
                if (!hopHeader(h.first))
                    headers << h;
            }
            reply(ex, cgi.status == 200 ? 302 : cgi.status, headers, cgi.body);
        } else {
            QList<QPair<QByteArray, QByteArray>> headers;
            for (const auto &h : cgi.headers) {
                if (!hopHeader(h.first))
                    headers << h;
            }
            reply(ex, cgi.status, headers, ex.method == "HEAD" ? QByteArray() : cgi.body);
        }
    }
    Q_UNUSED(urlPath);
    Q_EMIT runFinished(report);
}

} // namespace cgi
