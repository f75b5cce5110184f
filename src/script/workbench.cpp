#include "script/workbench.h"

#include "document/documentwindow.h"
#include "frame/layout.h"
#include "frame/mainwindow.h"
#include "html/viewerwindow.h"
#include "platform/browser.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "script/htmlcheck.h"
#include "script/linenumbers.h"
#include "script/perl.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPromise>
#include <QThreadPool>

#include <memory>

namespace script {

namespace {

QString workingFolder(const cgi::CgiScript &script)
{
    return script.folder.isEmpty() ? QDir::homePath() : script.folder;
}

// The interpreter a run uses and how it is called: the #! line's when it
// exists, else perl; a perl gets the text with the document's names.
struct Interpreter
{
    QString program;
    QStringList arguments;
    bool perl = true;
};

QStringList perlSwitches(const Shebang &shebang)
{
    QStringList out;
    if (!shebang.perl)
        return out;
    for (const QString &s : shebang.switches) {
        // The text is handed over from its first line on; perl must not
        // go looking for a #! line of its own.
        if (!s.startsWith(QLatin1String("-x")))
            out << s;
    }
    return out;
}

Interpreter interpreterFor(const Shebang &shebang)
{
    Interpreter i;
    const QFileInfo named(shebang.interpreter);
    if (shebang.present && named.isAbsolute() && named.isFile() && named.isExecutable()) {
        i.program = shebang.interpreter;
        i.arguments = shebang.leading;
        i.perl = shebang.perl;
        i.arguments += i.perl ? perlSwitches(shebang) : shebang.switches;
    } else {
        i.program = findPerl();
        i.arguments = perlSwitches(shebang);
    }
    return i;
}

QString plural(qint64 n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(QLocale().toString(n), QLatin1String(n == 1 ? one : many));
}

OutputRow note(const QString &text, const QString &file = QString())
{
    OutputRow r;
    r.file = file;
    r.text = text;
    return r;
}

QByteArray requestMethod(const QString &method)
{
    return method.compare(QLatin1String("POST"), Qt::CaseInsensitive) == 0 ? QByteArray("POST") : QByteArray("GET");
}

} // namespace

bool startScript(const cgi::ScriptToStart &script, cgi::ProcessSpec *spec, QString *error)
{
    const Shebang shebang = parseShebang(script.text);
    const Interpreter interpreter = interpreterFor(shebang);
    if (interpreter.program.isEmpty()) {
        *error = QStringLiteral("perl was not found on the search path (PATH).");
        return false;
    }
    spec->program = interpreter.program;
    spec->arguments = interpreter.arguments;
    spec->arguments << scriptDescriptorName();
    spec->scriptText = interpreter.perl ? perlProgram(script.name, script.text) : script.text;
    spec->timeoutMs = Workbench::timeoutSeconds() * 1000;
    return true;
}

cgi::CgiScript scriptOf(const document::DocumentWindow *doc)
{
    cgi::CgiScript s;
    s.name = doc->caption();
    if (doc->hasFile()) {
        const QFileInfo file(s.name);
        s.filePath = file.absoluteFilePath();
        s.folder = file.absolutePath();
    }
    return s;
}

std::vector<OutputRow> messageRows(const QString &output, const QString &name, document::DocumentWindow *doc)
{
    const QStringList names = {name, perlMessageName(name)};
    std::vector<OutputRow> rows;
    for (QString line : output.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if ((line.at(0) == QLatin1Char('\t') || line.at(0) == QLatin1Char(' ')) && !rows.empty()) {
            rows.back().text += QLatin1Char(' ') + line.trimmed();
            continue;
        }
        OutputRow row;
        row.text = line;
        const MessagePlace place = placeOf(line, names);
        if (place.line > 0) {
            row.file = names.contains(place.file) ? name : place.file;
            row.line = place.line;
            if (row.file == name)
                row.document = doc;
        }
        rows.push_back(row);
    }
    return rows;
}

Workbench::Workbench(frame::MainWindow *window) : QObject(window), m_window(window)
{
    setObjectName(QStringLiteral("scriptWorkbench"));
    m_check = new cgi::ScriptProcess(this);
    connect(m_check, &cgi::ScriptProcess::finished, this, &Workbench::checkFinishedWith);
    // A server already started (by a preview) is listened to at once.
    listen(cgi::LoopbackServer::existing());
}

Workbench *Workbench::of(frame::MainWindow *window, bool create)
{
    if (!window)
        return nullptr;
    auto *wb = window->findChild<Workbench *>(QString(), Qt::FindDirectChildrenOnly);
    if (!wb && create)
        wb = new Workbench(window);
    if (wb)
        wb->listen(cgi::LoopbackServer::existing());
    return wb;
}

int Workbench::timeoutSeconds()
{
    const int s = platform::readNumberSetting(QStringLiteral("settings"), QStringLiteral("cgitimeout"), 10);
    return s > 0 ? std::min(s, 24 * 3600) : 10;
}

QSet<int> Workbench::markedLines(const document::DocumentWindow *doc) const
{
    return m_marks.value(doc);
}

// ---------------------------------------------------------------- check

void Workbench::checkSyntax(document::DocumentWindow *doc)
{
    if (!doc)
        return;
    const cgi::CgiScript script = scriptOf(doc);
    const QByteArray text = doc->rtfText->encodedText();
    ++m_checkGeneration;
    m_checkDoc = doc;
    m_checkName = script.name;
    if (isHtmlDocument(script.name, text)) {
        // A page has its own check; a perl check still running is dropped.
        m_check->stop();
        checkPage(text, doc->rtfText->fileFormat().encoding == platform::TextFileFormat::Utf8, script.name, doc);
        return;
    }
    const Shebang shebang = parseShebang(text);
    cgi::ProcessSpec spec;
    spec.program = findPerl();
    spec.arguments << QStringLiteral("-c") << QStringLiteral("-w") << perlSwitches(shebang);
    spec.arguments << scriptDescriptorName();
    // The document's folder is searched last: a module planted there must
    // not run in place of one of perl's own (a check runs BEGIN blocks).
    spec.scriptText = perlProgram(script.name, text, script.folder);
    spec.workingDirectory = workingFolder(script);
    spec.environment = QProcessEnvironment::systemEnvironment();
    spec.timeoutMs = timeoutSeconds() * 1000;
    delete m_pageCheck;
    m_pageCheck = nullptr;
    if (spec.program.isEmpty()) {
        showCheck({note(QStringLiteral("perl was not found on the search path (PATH)."), script.name)}, doc);
        return;
    }
    m_perlGeneration = m_checkGeneration;
    m_check->start(spec);
}

void Workbench::checkOutput()
{
    if (m_lastOutput.mimeType.isEmpty())
        return;
    ++m_checkGeneration;
    m_check->stop();
    m_checkDoc.clear();
    m_checkName = QStringLiteral("CGI output of %1").arg(QFileInfo(m_lastOutput.name).fileName());
    const QByteArray mime = m_lastOutput.mimeType.toLower();
    if (!mime.startsWith("text/html") && !mime.startsWith("application/xhtml")) {
        delete m_pageCheck;
        m_pageCheck = nullptr;
        showCheck({note(QStringLiteral("The last output is %1, not HTML.").arg(QString::fromLatin1(m_lastOutput.mimeType)),
                        m_checkName)},
                  nullptr);
        return;
    }
    const bool utf8 = !mime.contains("charset=") || mime.contains("charset=utf-8") || mime.contains("charset=\"utf-8\"");
    checkPage(m_lastOutput.body, utf8, m_checkName, nullptr);
}

void Workbench::checkPage(const QByteArray &bytes, bool utf8, const QString &name, document::DocumentWindow *doc)
{
    // HTML Tidy works on a pool thread; a check that a later one replaced
    // is dropped with its watcher, and its result goes nowhere.
    delete m_pageCheck;
    auto promise = std::make_shared<QPromise<HtmlCheck>>();
    promise->start();
    m_pageCheck = new QFutureWatcher<HtmlCheck>(this);
    QFutureWatcher<HtmlCheck> *watcher = m_pageCheck;
    const QPointer<document::DocumentWindow> target(doc);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, name, target] {
        const HtmlCheck found = watcher->future().result();
        watcher->deleteLater();
        m_pageCheck = nullptr;
        std::vector<OutputRow> rows;
        rows.reserve(size_t(found.messages.size()) + 1);
        for (const HtmlMessage &m : found.messages) {
            OutputRow row = note(m.text, name);
            row.line = m.line;
            row.column = m.column;
            row.document = target;
            rows.push_back(row);
        }
        if (found.more > 0)
            rows.push_back(note(QStringLiteral("%1 more not listed.").arg(plural(found.more, "message", "messages")), name));
        if (rows.empty())
            rows.push_back(note(name + QStringLiteral(": no warnings or errors were found."), name));
        showCheck(rows, target.data());
    });
    watcher->setFuture(promise->future());
    QThreadPool::globalInstance()->start([promise, bytes, utf8] {
        promise->addResult(checkHtml(bytes, utf8));
        promise->finish();
    });
}

void Workbench::checkFinishedWith(const cgi::ProcessResult &result)
{
    if (m_perlGeneration != m_checkGeneration)
        return; // a later check took its place
    std::vector<OutputRow> rows;
    if (!result.started) {
        rows.push_back(note(QStringLiteral("perl could not be started: ") + result.startError, m_checkName));
    } else {
        const QString messages = nameMessages(
            QString::fromUtf8(result.output) + QString::fromUtf8(result.errors), m_checkName);
        rows = messageRows(messages, m_checkName, m_checkDoc.data());
        if (result.timedOut)
            rows.push_back(note(QStringLiteral("The check was stopped after %1.")
                                    .arg(plural(timeoutSeconds(), "second", "seconds")),
                                m_checkName));
    }
    showCheck(rows, m_checkDoc.data());
}

void Workbench::showCheck(const std::vector<OutputRow> &rows, document::DocumentWindow *doc)
{
    ScriptOutput *out = scriptOutput();
    out->clear();
    QSet<int> marks;
    for (const OutputRow &r : rows) {
        if (doc && r.document == doc && r.line > 0)
            marks.insert(r.line);
    }
    if (doc) {
        if (!m_marks.contains(doc))
            connect(doc, &QObject::destroyed, this, [this, doc] { m_marks.remove(doc); });
        m_marks.insert(doc, marks);
        if (LineNumberGutter *gutter = gutterOf(doc))
            gutter->setMarks(marks);
    }
    out->addRows(rows);
    out->present();
    Q_EMIT checkFinished();
}

// ---------------------------------------------------------------- run

void Workbench::listen(cgi::LoopbackServer *server)
{
    if (!server || server == m_server)
        return;
    m_server = server;
    connect(server, &cgi::LoopbackServer::runStarted, this, &Workbench::updateStop);
    connect(server, &cgi::LoopbackServer::leftoversEnded, this, &Workbench::updateStop);
    connect(server, &cgi::LoopbackServer::runFinished, this, &Workbench::runReported);
}

bool Workbench::isRunning() const
{
    return m_server && m_server->isRunning();
}

cgi::ScriptProcess *Workbench::runProcess() const
{
    return m_server ? m_server->lastProcess() : nullptr;
}

void Workbench::run(document::DocumentWindow *doc, bool ask)
{
    if (!doc)
        return;
    platform::CgiRunRequest asked = m_requests.value(doc);
    if (ask || !m_requests.contains(doc)) {
        asked.parent = m_window;
        const std::optional<platform::CgiRunRequest> answer = platform::ui().cgiRunDialog(asked);
        if (!answer)
            return;
        asked = *answer;
        asked.parent = nullptr;
        if (!m_requests.contains(doc))
            connect(doc, &QObject::destroyed, this, [this, doc] { m_requests.remove(doc); });
        m_requests.insert(doc, asked);
    }
    listen(cgi::LoopbackServer::instance());
    if (!m_server) {
        ScriptOutput *out = scriptOutput();
        out->clear();
        out->addRow(note(QStringLiteral("The editor's web server could not listen on the loopback address.")));
        out->present();
        return;
    }
    // The server runs the document's current text under the document's
    // name in its folder; the viewer asks for it as a browser would.
    const cgi::CgiScript script = scriptOf(doc);
    const QString name = QLatin1Char('/') + QFileInfo(script.filePath.isEmpty() ? script.name : script.filePath).fileName();
    cgi::ScriptSource source;
    source.name = script.name;
    source.filePath = script.filePath;
    const QPointer<document::DocumentWindow> guard(doc);
    source.text = [guard] { return guard ? guard->rtfText->encodedText() : QByteArray(); };
    source.givenCookies = asked.cookies.toUtf8();
    source.owner = doc;
    m_server->setScript(script.folder, name, source);
    const QByteArray method = requestMethod(asked.method);
    const QUrl url = m_server->address(script.folder, name, asked.query.toUtf8());

    const bool fresh = !html::pageViewer();
    html::PageViewer *viewer = nullptr;
    platform::ignoreErrors([&] { viewer = html::showPageViewer(); });
    if (!viewer)
        return;
    m_viewerDoc = doc;
    m_keepRows = false;
    scriptOutput()->clear();
    if (method == "POST")
        viewer->brwWebBrowser->load(url, method, "application/x-www-form-urlencoded", asked.body.toUtf8(),
                                    QStringLiteral("CGI output"));
    else
        viewer->brwWebBrowser->load(url, method, QByteArray(), QByteArray(), QStringLiteral("CGI output"));
    if (fresh)
        frame::tileHorizontally(m_window);
    // The document keeps the focus, so the next run is a key away; the
    // page is raised above it, so it is seen whatever the arrangement.
    if (doc->subWindow())
        m_window->mdiArea()->setActiveSubWindow(doc->subWindow());
    viewer->subWindow()->raise();
}

void Workbench::stop()
{
    if (m_server)
        m_server->stopAll();
}

void Workbench::updateStop()
{
    const bool on = m_server && (m_server->isRunning() || m_server->hasLeftovers());
    if (QAction *stop = m_window->menuItem(QStringLiteral("mnuScriptStop")))
        stop->setEnabled(on);
}

void Workbench::runReported(const cgi::RunReport &report)
{
    updateStop();
    const QString name = report.name;
    const QString fileName = QFileInfo(name).fileName();
    const cgi::ProcessResult &result = report.result;
    auto *doc = qobject_cast<document::DocumentWindow *>(report.owner.data());
    ScriptOutput *out = scriptOutput();
    if (!m_keepRows)
        out->clear();
    m_keepRows = !report.redirect.isEmpty();
    std::vector<OutputRow> rows;
    if (!result.started) {
        rows.push_back(note(QStringLiteral("The script could not be started: ") + result.startError, name));
    } else {
        rows = messageRows(nameMessages(QString::fromUtf8(result.errors), name), name, doc);
        if (result.errorsCut)
            rows.push_back(note(QStringLiteral("Standard error was cut at %1.").arg(plural(result.errors.size(), "byte", "bytes")), name));
        if (result.timedOut)
            rows.push_back(note(QStringLiteral("%1 was stopped after %2.").arg(fileName, plural(timeoutSeconds(), "second", "seconds")), name));
        else if (result.stopped)
            rows.push_back(note(QStringLiteral("%1 was stopped.").arg(fileName), name));
        else if (result.crashed)
            rows.push_back(note(QStringLiteral("%1 was ended by a signal.").arg(fileName), name));
        else
            rows.push_back(note(QStringLiteral("%1 exited with status %2.").arg(fileName).arg(result.exitCode), name));
        if (result.outputCut)
            rows.push_back(note(QStringLiteral("The output was cut at 50 MB."), name));
    }
    const cgi::CgiResponse &cgi = report.response;
    if (result.started && !result.timedOut && !result.stopped) {
        if (!cgi.headerError.isEmpty()) {
            rows.push_back(note(QStringLiteral("malformed header from script '%1': %2").arg(fileName, cgi.headerError), name));
        } else {
            rows.push_back(note(QStringLiteral("%1 %2, %3%4")
                                    .arg(cgi.status)
                                    .arg(QString::fromLatin1(cgi.reason),
                                         cgi.contentType.isEmpty() ? QString() : QString::fromLatin1(cgi.contentType) + QStringLiteral(", "),
                                         plural(cgi.body.size(), "byte", "bytes")),
                                name));
            if (!report.redirect.isEmpty())
                rows.push_back(note(QStringLiteral("Redirect to %1 followed%2.")
                                        .arg(report.redirect, report.localRedirect ? QStringLiteral(" inside the server")
                                                                                   : QStringLiteral(" by the browser")),
                                    name));
            if (!cgi.contentType.isEmpty()) {
                m_lastOutput = LastOutput{name, cgi.contentType, cgi.body};
                if (QAction *item = m_window->menuItem(QStringLiteral("mnuScriptCheckOutput")))
                    item->setEnabled(true);
            }
        }
    }
    if (!report.leftovers.isEmpty()) {
        QStringList listed;
        for (const cgi::LeftProcess &p : report.leftovers)
            listed << QStringLiteral("%1 (%2)").arg(p.pid).arg(p.command);
        OutputRow left = note(QStringLiteral("%1 left %2 running: %3. Activate this row, or choose Stop, to end them.")
                                  .arg(fileName, plural(report.leftovers.size(), "process", "processes"),
                                       listed.join(QStringLiteral(", "))),
                              name);
        const QPointer<cgi::ScriptProcess> process = report.process;
        left.action = [process] {
            if (process)
                process->endLeftovers();
        };
        rows.push_back(left);
    }
    out->addRows(rows);
    out->present();
    // The page is raised above the documents after every run.
    if (html::PageViewer *viewer = html::pageViewer()) {
        if (viewer->subWindow())
            viewer->subWindow()->raise();
    }
    Q_EMIT runFinished();
}

} // namespace script
