#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QProcessEnvironment>
#include <QString>

namespace cgi {

// One request to a script run as a CGI program, as the server got it.
struct CgiRequest
{
    QByteArray method = "GET";
    QByteArray query;        // QUERY_STRING, as sent
    QByteArray contentType;  // of the body
    QByteArray body;         // on standard input
    QByteArray cookies;      // HTTP_COOKIE; empty: not set
    QString pathInfo;        // PATH_INFO, decoded; empty: none
    QByteArray requestUri;   // the path and query as sent
    // Every header as sent (names in any case); Cookie, Content-Type and
    // Content-Length are taken from the fields above instead.
    QList<QPair<QByteArray, QByteArray>> headers;
    QString serverName = QStringLiteral("127.0.0.1");
    int serverPort = 80;
    QString remoteAddress = QStringLiteral("127.0.0.1");
};

// Where the script lives: its name in messages, its file (empty when
// untitled), the folder it runs in and its address on the site.
struct CgiScript
{
    QString name;      // the document's path, or its caption
    QString filePath;  // empty for an untitled document
    QString folder;    // working directory and DOCUMENT_ROOT
    QString urlPath;   // SCRIPT_NAME; empty: "/" + the file name
    QString scriptName() const;
};

// The environment of a run: the editor's own, less anything that a server
// would not pass on (HTTP_* and CGI variables), plus the CGI/1.1
// meta-variables, one HTTP_* for each header the request came with.
QProcessEnvironment cgiEnvironment(const CgiRequest &request, const CgiScript &script,
                                   const QProcessEnvironment &base);

// A script's output taken apart as a web server does.
struct CgiResponse
{
    QString headerError;   // empty when the headers are well formed
    int status = 200;
    QByteArray reason = "OK";
    QByteArray contentType;
    QByteArray location;
    QList<QByteArray> setCookies;
    QList<QPair<QByteArray, QByteArray>> headers; // in order, as sent
    QByteArray body;
};
CgiResponse parseCgiOutput(const QByteArray &output);

// The cookies a viewer keeps between runs.
class CookieJar
{
public:
    void clear() { m_cookies.clear(); }
    bool isEmpty() const { return m_cookies.isEmpty(); }
    // Takes one Set-Cookie value; an expired cookie is removed.
    void store(const QByteArray &setCookie);
    // The cookies of a request's header: these first, then the jar's
    // (which replace those of the same name).
    QByteArray header(const QByteArray &given = QByteArray()) const;

private:
    QMap<QByteArray, QByteArray> m_cookies;
};

} // namespace cgi
