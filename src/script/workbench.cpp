#include "script/workbench.h"

#include "document/documentwindow.h"
#include "frame/layout.h"
#include "frame/mainwindow.h"
#include "html/viewerwindow.h"
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

QString workingFolder(const CgiScript &script)
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

CgiScript scriptOf(const document::DocumentWindow *doc)
{
    CgiScript s;
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
    m_check = new ScriptProcess(this);
    m_runProcess = new ScriptProcess(this);
    connect(m_check, &ScriptProcess::finished, this, &Workbench::checkFinishedWith);
    connect(m_runProcess, &ScriptProcess::finished, this, &Workbench::runFinishedWith);
}

Workbench *Workbench::of(frame::MainWindow *window, bool create)
{
    if (!window)
        return nullptr;
    auto *wb = window->findChild<Workbench *>(QString(), Qt::FindDirectChildrenOnly);
    if (!wb && create)
        wb = new Workbench(window);
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
    const CgiScript script = scriptOf(doc);
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
    ProcessSpec spec;
    spec.program = findPerl();
    spec.arguments << QStringLiteral("-c") << QStringLiteral("-w") << perlSwitches(shebang);
    if (!script.folder.isEmpty())
        spec.arguments << QStringLiteral("-I") + script.folder;
    spec.arguments << scriptDescriptorName();
    spec.scriptText = perlProgram(script.name, text);
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

void Workbench::checkFinishedWith(const ProcessResult &result)
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

CookieJar &Workbench::jarFor(html::PageViewer *viewer)
{
    // Cookies belong to the viewer that shows the pages that set them; a
    // run made before there is a viewer hands them to the one it opens.
    if (m_jarOwned && (m_viewer.isNull() || m_viewer != viewer)) {
        m_jar.clear();
        m_jarOwned = false;
        m_viewer.clear();
        m_viewerDoc.clear();
    }
    if (!m_jarOwned && viewer) {
        m_viewer = viewer;
        m_jarOwned = true;
    }
    return m_jar;
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
    Run r;
    r.doc = doc;
    r.script = scriptOf(doc);
    r.request.method = requestMethod(asked.method);
    r.request.query = asked.query.toUtf8();
    if (r.request.method == "POST") {
        r.request.body = asked.body.toUtf8();
        r.request.contentType = "application/x-www-form-urlencoded";
    }
    r.request.cookies = jarFor(html::pageViewer()).header(asked.cookies.toUtf8());
    startRun(r);
}

void Workbench::stop()
{
    m_runProcess->stop();
}

void Workbench::setStopEnabled(bool on)
{
    if (QAction *stop = m_window->menuItem(QStringLiteral("mnuScriptStop")))
        stop->setEnabled(on);
}

void Workbench::startRun(const Run &run)
{
    if (m_runProcess->isRunning() && m_run.reply) {
        // A page still waiting for the run that is dropped gets an answer.
        platform::LocalResponse stopped;
        stopped.mimeType = "text/plain";
        stopped.body = "Stopped.";
        m_run.reply(stopped);
    }
    m_run = run;
    document::DocumentWindow *doc = run.doc.data();
    if (!doc)
        return;
    const QByteArray text = doc->rtfText->encodedText();
    const Shebang shebang = parseShebang(text);
    const Interpreter interpreter = interpreterFor(shebang);

    ProcessSpec spec;
    spec.program = interpreter.program;
    spec.arguments = interpreter.arguments;
    spec.arguments << scriptDescriptorName();
    spec.scriptText = interpreter.perl ? perlProgram(run.script.name, text) : text;
    spec.input = run.request.method == "POST" ? run.request.body : QByteArray();
    spec.workingDirectory = workingFolder(run.script);
    CgiScript envScript = run.script;
    envScript.folder = workingFolder(run.script);
    spec.environment = cgiEnvironment(run.request, envScript, QProcessEnvironment::systemEnvironment());
    spec.timeoutMs = timeoutSeconds() * 1000;
    if (spec.program.isEmpty()) {
        ProcessResult failed;
        failed.startError = QStringLiteral("perl was not found on the search path (PATH).");
        runFinishedWith(failed);
        return;
    }
    m_runProcess->start(spec);
    setStopEnabled(true);
}

void Workbench::runFinishedWith(const ProcessResult &result)
{
    setStopEnabled(false);
    Run run = m_run;
    m_run.reply = nullptr;
    const QString name = run.script.name;
    const QString fileName = QFileInfo(name).fileName();
    ScriptOutput *out = scriptOutput();
    if (!run.keepRows)
        out->clear();
    std::vector<OutputRow> rows;
    platform::LocalResponse response;
    const auto plainText = [](const QByteArray &text) {
        platform::LocalResponse r;
        r.mimeType = "text/plain; charset=utf-8";
        r.body = text;
        return r;
    };

    if (!result.started) {
        rows.push_back(note(QStringLiteral("The script could not be started: ") + result.startError, name));
        out->addRows(rows);
        out->present();
        if (run.reply)
            run.reply(plainText(result.startError.toUtf8()));
        Q_EMIT runFinished();
        return;
    }
    rows = messageRows(nameMessages(QString::fromUtf8(result.errors), name), name, run.doc.data());
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

    if (result.timedOut || result.stopped) {
        out->addRows(rows);
        out->present();
        if (run.reply)
            run.reply(plainText("Stopped."));
        Q_EMIT runFinished();
        return;
    }

    const CgiResponse cgi = parseCgiOutput(result.output);
    bool followed = false;
    if (!cgi.headerError.isEmpty()) {
        rows.push_back(note(QStringLiteral("malformed header from script '%1': %2").arg(fileName, cgi.headerError), name));
        response = plainText(result.output);
    } else {
        rows.push_back(note(QStringLiteral("%1 %2, %3%4")
                                .arg(cgi.status)
                                .arg(QString::fromLatin1(cgi.reason),
                                     cgi.contentType.isEmpty() ? QString() : QString::fromLatin1(cgi.contentType) + QStringLiteral(", "),
                                     plural(cgi.body.size(), "byte", "bytes")),
                            name));
        CookieJar &jar = jarFor(run.reply ? m_viewer.data() : html::pageViewer());
        for (const QByteArray &c : cgi.setCookies)
            jar.store(c);
        response.mimeType = cgi.contentType.isEmpty() ? QByteArray("text/html") : cgi.contentType;
        response.body = cgi.body;
        if (!cgi.location.isEmpty()) {
            QString path;
            QByteArray query;
            const QString location = QString::fromLatin1(cgi.location);
            if (!localRedirect(cgi.location, run.script.scriptName(), &path, &query)) {
                rows.push_back(note(QStringLiteral("Redirect to %1 not followed: no network is used.").arg(location), name));
            } else if (run.redirectsLeft <= 0) {
                rows.push_back(note(QStringLiteral("Redirect to %1 not followed: only one redirect is.").arg(location), name));
            } else if (path == run.script.scriptName()) {
                rows.push_back(note(QStringLiteral("Redirect to %1 followed.").arg(location), name));
                Run again = run;
                again.request = CgiRequest();
                again.request.query = query;
                again.request.cookies = jar.header(m_requests.value(run.doc.data()).cookies.toUtf8());
                again.redirectsLeft = run.redirectsLeft - 1;
                again.keepRows = true;
                out->addRows(rows);
                followed = true;
                startRun(again);
            } else {
                rows.push_back(note(QStringLiteral("Redirect to %1 followed.").arg(location), name));
                response = platform::LocalResponse();
                response.redirect = platform::BrowserControl::localUrl(run.script.folder, path, query);
            }
        }
    }
    if (followed)
        return;
    if (!response.mimeType.isEmpty()) {
        m_lastOutput = LastOutput{name, response.mimeType, response.body};
        if (QAction *item = m_window->menuItem(QStringLiteral("mnuScriptCheckOutput")))
            item->setEnabled(true);
    }
    out->addRows(rows);
    out->present();
    deliver(run, response);
    Q_EMIT runFinished();
}

void Workbench::deliver(const Run &run, const platform::LocalResponse &response)
{
    if (run.reply) {
        run.reply(response);
        return;
    }
    document::DocumentWindow *doc = run.doc.data();
    if (!doc)
        return; // closed while it ran: its page is not wanted any more
    const bool fresh = !html::pageViewer();
    html::PageViewer *viewer = nullptr;
    platform::ignoreErrors([&] { viewer = html::showPageViewer(); });
    if (!viewer)
        return;
    jarFor(viewer);
    m_viewerDoc = doc;
    m_viewerScript = run.script;
    viewer->brwWebBrowser->showLocal(
        platform::BrowserControl::localUrl(run.script.folder, run.script.scriptName(), run.request.query),
        response, QStringLiteral("CGI output"));
    if (fresh)
        frame::tileHorizontally(m_window);
    // The document keeps the focus: the next run is a key away.
    if (doc->subWindow())
        m_window->mdiArea()->setActiveSubWindow(doc->subWindow());
}

bool Workbench::pageRequest(platform::BrowserControl *browser, const platform::LocalRequest &request,
                            const platform::BrowserControl::LocalReply &reply)
{
    html::PageViewer *viewer = html::pageViewer();
    if (!viewer || viewer != m_viewer || viewer->brwWebBrowser != browser)
        return false;
    if (request.folder != m_viewerScript.folder || request.path != m_viewerScript.scriptName())
        return false;
    document::DocumentWindow *doc = m_viewerDoc.data();
    if (!doc) {
        // The script's document is closed: nothing answers for it.
        reply(platform::LocalResponse());
        return true;
    }
    Run r;
    r.doc = doc;
    r.script = scriptOf(doc);
    r.request.method = request.method == "POST" ? QByteArray("POST") : QByteArray("GET");
    r.request.query = request.query;
    r.request.contentType = request.contentType;
    r.request.body = request.body;
    r.request.cookies = m_jar.header(m_requests.value(doc).cookies.toUtf8());
    r.reply = reply;
    startRun(r);
    return true;
}

} // namespace script
