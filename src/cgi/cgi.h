#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QProcessEnvironment>
#include <QString>

namespace script {

// One request to a script run as a CGI program.
struct CgiRequest
{
    QByteArray method = "GET";
    QByteArray query;        // QUERY_STRING, as sent
    QByteArray contentType;  // POST only
    QByteArray body;         // POST only, on standard input
    QByteArray cookies;      // HTTP_COOKIE; empty: not set
};

// Where the script lives: its name in messages, its file (empty when
// untitled) and the folder it runs in.
struct CgiScript
{
    QString name;      // the document's path, or its caption
    QString filePath;  // empty for an untitled document
    QString folder;    // working directory and DOCUMENT_ROOT
    QString scriptName() const; // "/" + file name
};

// The environment of a run: the editor's own, less anything that a server
// would not pass on (HTTP_* and CGI variables), plus the CGI/1.1 variables.
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

// A Location that stays on this site ("thanks.html", "/x.cgi?a=1", "?b=2"),
// resolved against the script's own address: its path and query. False
// for an absolute address, which is not followed.
bool localRedirect(const QByteArray &location, const QString &scriptName, QString *path,
                   QByteArray *query);

} // namespace script
