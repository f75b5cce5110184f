#pragma once

#include "cgi/cgi.h"
#include "cgi/loopbackserver.h"
#include "cgi/scriptprocess.h"
#include "platform/ui.h"
#include "script/htmlcheck.h"
#include "script/outputdock.h"

#include <QFutureWatcher>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>

namespace document {
class DocumentWindow;
}
namespace frame {
class MainWindow;
}
namespace html {
class PageViewer;
}

namespace script {

// The Script menu's work for one main window: syntax checks and CGI runs
// in the background, their messages in the Script Output list, the CGI
// output in the page viewer. It lives as long as the window.
class Workbench : public QObject
{
    Q_OBJECT
public:
    static Workbench *of(frame::MainWindow *window, bool create = true);

    // Compiles the document's current text (a page: checks its HTML); a
    // check still running is dropped.
    void checkSyntax(document::DocumentWindow *doc);
    // Checks the HTML of the last run's output.
    void checkOutput();
    bool isChecking() const { return m_check->isRunning() || m_pageCheck; }

    // Runs the document's current text as a CGI program with the request
    // the dialog gives (ask) or the one it was last run with: the page
    // viewer asks the editor's server for the script's address.
    void run(document::DocumentWindow *doc, bool ask);
    // Run Again from the page viewer: the script that made its page.
    document::DocumentWindow *viewerScript() const { return m_viewerDoc.data(); }
    // Ends every run, and every process a finished run left running.
    void stop();
    bool isRunning() const;
    // The process of the run started last.
    cgi::ScriptProcess *runProcess() const;

    // The page the last finished run gave (its body, as the viewer got it).
    struct LastOutput
    {
        QString name;         // the script's name
        QByteArray mimeType;
        QByteArray body;
    };
    const LastOutput &lastOutput() const { return m_lastOutput; }

    // Lines of a document that the last check found fault with.
    QSet<int> markedLines(const document::DocumentWindow *doc) const;

    // Seconds a check or run may take ("cgitimeout").
    static int timeoutSeconds();

Q_SIGNALS:
    void checkFinished();
    void runFinished();

private:
    explicit Workbench(frame::MainWindow *window);

    void listen(cgi::LoopbackServer *server);
    void runReported(const cgi::RunReport &report);
    void checkFinishedWith(const cgi::ProcessResult &result);
    void checkPage(const QByteArray &bytes, bool utf8, const QString &name, document::DocumentWindow *doc);
    void showCheck(const std::vector<OutputRow> &rows, document::DocumentWindow *doc);
    void updateStop();

    frame::MainWindow *m_window;
    cgi::ScriptProcess *m_check;
    QPointer<cgi::LoopbackServer> m_server;
    QPointer<document::DocumentWindow> m_checkDoc;
    QString m_checkName;
    int m_checkGeneration = 0;
    int m_perlGeneration = 0;
    QFutureWatcher<HtmlCheck> *m_pageCheck = nullptr;
    QHash<const document::DocumentWindow *, platform::CgiRunRequest> m_requests;
    QHash<const document::DocumentWindow *, QSet<int>> m_marks;
    // The script whose page the viewer shows.
    QPointer<document::DocumentWindow> m_viewerDoc;
    // A redirect's run is listed with the one that follows it.
    bool m_keepRows = false;
    LastOutput m_lastOutput;
};

// Which document a Script command acts on, its name in messages and
// where it lives.
cgi::CgiScript scriptOf(const document::DocumentWindow *doc);

// How the editor's server starts a script: the #! line's interpreter when
// it exists, else perl, which gets the text with the document's names.
bool startScript(const cgi::ScriptToStart &script, cgi::ProcessSpec *spec, QString *error);

// Messages of an interpreter as rows of the list: one row per message (an
// indented line goes on the one before), each placed where it names.
std::vector<OutputRow> messageRows(const QString &output, const QString &name, document::DocumentWindow *doc);

} // namespace script
