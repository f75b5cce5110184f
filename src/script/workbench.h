#pragma once

#include "platform/browser.h"
#include "platform/ui.h"
#include "script/cgi.h"
#include "script/htmlcheck.h"
#include "script/outputdock.h"
#include "script/scriptprocess.h"

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
    // the dialog gives (ask) or the one it was last run with.
    void run(document::DocumentWindow *doc, bool ask);
    // Run Again from the page viewer: the script that made its page.
    document::DocumentWindow *viewerScript() const { return m_viewerDoc.data(); }
    void stop();
    bool isRunning() const { return m_runProcess->isRunning(); }
    ScriptProcess *runProcess() const { return m_runProcess; }

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

    // A request the page viewer makes of a local site; true when the
    // script it names answers it.
    bool pageRequest(platform::BrowserControl *browser, const platform::LocalRequest &request,
                     const platform::BrowserControl::LocalReply &reply);

    // Seconds a check or run may take ("cgitimeout").
    static int timeoutSeconds();

Q_SIGNALS:
    void checkFinished();
    void runFinished();

private:
    explicit Workbench(frame::MainWindow *window);

    struct Run
    {
        QPointer<document::DocumentWindow> doc;
        CgiScript script;
        CgiRequest request;
        platform::BrowserControl::LocalReply reply; // empty: the menu's run
        int redirectsLeft = 1;
        bool keepRows = false;
    };

    void startRun(const Run &run);
    void runFinishedWith(const ProcessResult &result);
    void deliver(const Run &run, const platform::LocalResponse &response);
    void checkFinishedWith(const ProcessResult &result);
    void checkPage(const QByteArray &bytes, bool utf8, const QString &name, document::DocumentWindow *doc);
    void showCheck(const std::vector<OutputRow> &rows, document::DocumentWindow *doc);
    void setStopEnabled(bool on);
    CookieJar &jarFor(html::PageViewer *viewer);

    frame::MainWindow *m_window;
    ScriptProcess *m_check;
    ScriptProcess *m_runProcess;
    QPointer<document::DocumentWindow> m_checkDoc;
    QString m_checkName;
    int m_checkGeneration = 0;
    int m_perlGeneration = 0;
    QFutureWatcher<HtmlCheck> *m_pageCheck = nullptr;
    Run m_run;
    QHash<const document::DocumentWindow *, platform::CgiRunRequest> m_requests;
    QHash<const document::DocumentWindow *, QSet<int>> m_marks;
    // The viewer that shows a run's page: its script and its cookies.
    QPointer<html::PageViewer> m_viewer;
    QPointer<document::DocumentWindow> m_viewerDoc;
    CgiScript m_viewerScript;
    CookieJar m_jar;
    bool m_jarOwned = false;
    LastOutput m_lastOutput;
};

// Which document a Script command acts on, its name in messages and
// where it lives.
CgiScript scriptOf(const document::DocumentWindow *doc);

// Messages of an interpreter as rows of the list: one row per message (an
// indented line goes on the one before), each placed where it names.
std::vector<OutputRow> messageRows(const QString &output, const QString &name, document::DocumentWindow *doc);

} // namespace script
