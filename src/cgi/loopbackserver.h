#pragma once

#include "cgi/cgi.h"
#include "cgi/scriptprocess.h"

#include <QAbstractHttpServer>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>

class QHttpServerResponder;
class QTcpSocket;

namespace cgi {

// A script whose text the editor gives (a document's current text, saved
// or not) rather than the file on the disk.
struct ScriptSource
{
    QString name;       // its name in messages: the path, or the caption
    QString filePath;   // empty when untitled
    std::function<QByteArray()> text;
    QByteArray givenCookies; // sent before the browser's own
    QPointer<QObject> owner; // the document; the source goes with it
};

// What the editor is asked for to start a script.
struct ScriptToStart
{
    QString name;       // in messages
    QString filePath;   // empty when untitled
    QString folder;     // the site's folder; empty for an untitled script
    QByteArray text;
};
// Fills in the program, its arguments and text, and the timeout; false
// (with a reason) when it can't be started.
using Launcher = std::function<bool(const ScriptToStart &, ProcessSpec *, QString *error)>;

// One finished run, for the editor's list of messages.
struct RunReport
{
    QString folder;
    QString name;             // the script's name in messages
    QPointer<QObject> owner;  // the document, when its text ran
    QByteArray method;
    ProcessResult result;
    CgiResponse response;     // as the script gave it
    QString redirect;         // where a redirect went; empty: none
    bool localRedirect = false;
    QList<LeftProcess> leftovers;
    QPointer<ScriptProcess> process;
};

// The editor's web server: HTTP on the loopback address only (127.0.0.1
// and ::1, one port the system gives), started on first use, ended with
// the editor. Qt HttpServer reads the requests; this class routes them.
//
// Each site is a folder reached under a random 128-bit token, the first
// segment of every path ("/<token>/page.html"); a request outside a site
// gets 404 and runs nothing, and one whose Host is not this server's
// address is refused, so that another site can't reach it through a name
// of its own (DNS rebinding). Files are served with the desktop's MIME
// types, confined to the folder after symbolic links are resolved.
// Scripts (".cgi", ".pl", and a document's script under its name) run as
// CGI programs (RFC 3875): see gateway.cpp.
class LoopbackServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    // The server, started on the first call; null when it can't listen.
    static LoopbackServer *instance();
    ~LoopbackServer() override;

    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>"
    QUrl origin() const;
    // The address of a path of a folder's site; the folder becomes a site.
    // An empty folder is the site of untitled scripts, which has no files.
    QUrl address(const QString &folder, const QString &path, const QByteArray &query = QByteArray());
    // The folder a served address belongs to; false when it is no site's.
    bool folderOf(const QUrl &url, QString *folder) const;

    // Serves a file under another name in a folder's site (a preview of
    // a document's unsaved text under the document's own name).
    void mapFile(const QString &folder, const QString &name, const QString &file);
    // Runs a document's text for a name in a folder's site.
    void setScript(const QString &folder, const QString &name, const ScriptSource &source);
    static void setLauncher(Launcher launcher);
    // Told once the server has started.
    static void setStartHook(std::function<void(LoopbackServer *)> hook);
    // The server when it has started, else null (it is not started here).
    static LoopbackServer *existing();

    // Runs under way, and processes that finished runs left behind.
    bool isRunning() const;
    bool hasLeftovers() const;
    // Ends every run and every process a run left.
    void stopAll();
    // The process of the run started last (for tests).
    ScriptProcess *lastProcess() const { return m_last.data(); }

Q_SIGNALS:
    void runStarted();
    void runFinished(const cgi::RunReport &report);
    void leftoversEnded();

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    explicit LoopbackServer(QObject *parent);
    bool start();
    static Launcher &launcher();

    struct Site
    {
        QString token;
        QString folder;
        QHash<QString, QString> mapped;      // "/name" -> file
        QHash<QString, ScriptSource> scripts; // "/name" -> source
    };
    // One request and the way back to its client; it may wait for a run.
    struct Exchange
    {
        std::shared_ptr<QHttpServerResponder> responder;
        QPointer<QTcpSocket> socket;
        QByteArray method;
        QByteArray path;    // as sent, without the token
        QByteArray query;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        QString remoteAddress;
        QByteArray header(const QByteArray &name) const;
        int redirects = 0;
    };

    void serve(Site &site, Exchange ex);
    void serveFile(const Site &site, Exchange &ex, const QString &file, const QString &rest);
    void runScript(Site &site, Exchange ex, const ScriptToStart &script, const QString &urlPath,
                   const QString &pathInfo, const QPointer<QObject> &owner, const QByteArray &givenCookies);
    void ranScript(Site &site, Exchange ex, const ScriptToStart &script, const QString &urlPath,
                   const QPointer<QObject> &owner, ScriptProcess *process, const ProcessResult &result);
    static void reply(Exchange &ex, int status, const QList<QPair<QByteArray, QByteArray>> &headers,
                      const QByteArray &body);
    static void replyPage(Exchange &ex, int status, const QString &title, const QString &htmlText);
    Site *siteOf(const QString &token);
    bool hostAllowed(const QByteArray &host) const;

    quint16 m_port = 0;
    bool m_v6 = false;
    QHash<QString, Site> m_sites;        // by token
    QHash<QString, QString> m_tokens;    // folder -> token
    QList<QPointer<ScriptProcess>> m_processes;
    QPointer<ScriptProcess> m_last;
};

} // namespace cgi

Q_DECLARE_METATYPE(cgi::RunReport)
