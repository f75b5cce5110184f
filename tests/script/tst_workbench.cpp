// The Script menu: syntax checks and CGI runs of real scripts, the Script
// Output list, Go To Line.

#include "support/browsermain.h"
#include "support/fixture.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "html/pageviewer.h"
#include "html/viewerwindow.h"
#include "platform/browser.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "script/lines.h"
#include "script/linenumbers.h"
#include "script/livepreview.h"
#include "script/outputdock.h"
#include "script/workbench.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <QTreeView>

#include <csignal>

namespace {

constexpr int kLoadTimeout = 20000;
constexpr int kRunTimeout = 20000;

QString fixture(const char *name)
{
    return QStringLiteral(QUILLET_SOURCE_DIR "/tests/data/script/") + QLatin1String(name);
}

document::DocumentWindow *open(EditorFixture &f, const QString &path)
{
    f.ui.chooseFile(path);
    f.trigger("mnuFileOpen");
    return f.activeDocument();
}

script::ScriptOutput *output()
{
    return script::scriptOutput(false);
}

QStringList rowTexts()
{
    QStringList out;
    if (script::ScriptOutput *o = output()) {
        for (int i = 0; i < o->rowCount(); ++i)
            out << o->row(i).text;
    }
    return out;
}

int rowWith(const QString &text)
{
    const QStringList rows = rowTexts();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).contains(text))
            return i;
    }
    return -1;
}

bool check(EditorFixture &f)
{
    script::Workbench *wb = script::Workbench::of(f.window());
    QSignalSpy spy(wb, &script::Workbench::checkFinished);
    return f.trigger("mnuScriptCheck") && (spy.count() > 0 || spy.wait(kRunTimeout));
}

bool run(EditorFixture &f, const platform::CgiRunRequest &request, const char *item = "mnuScriptRun")
{
    script::Workbench *wb = script::Workbench::of(f.window());
    QSignalSpy spy(wb, &script::Workbench::runFinished);
    if (qstrcmp(item, "mnuScriptRun") == 0)
        f.ui.cgiRun(request);
    return f.trigger(item) && (spy.count() > 0 || spy.wait(kRunTimeout));
}

platform::CgiRunRequest get(const QString &query = QString())
{
    platform::CgiRunRequest r;
    r.query = query;
    return r;
}

QString caption()
{
    html::PageViewer *v = html::pageViewer();
    return v ? v->windowTitle() : QStringLiteral("<no viewer>");
}

bool engine()
{
    html::PageViewer *v = html::pageViewer();
    return v && v->brwWebBrowser->usesEngine();
}

// Processes of a group, zombies too.
int inGroup(qint64 group)
{
    int n = 0;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray s = stat.readAll();
        const QList<QByteArray> f = s.mid(s.lastIndexOf(')') + 2).split(' ');
        if (f.size() > 2 && f.at(2).toLongLong() == group)
            ++n;
    }
    return n;
}

} // namespace

class TestWorkbench : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void scriptMenuNeedsDocument()
    {
        EditorFixture f;
        QVERIFY(!f.item("mnuScript")->isVisible());
        QVERIFY(!f.quickItem("mnuScript"));
        f.newDocument();
        QVERIFY(f.item("mnuScript")->isVisible());
        QVERIFY(!f.item("mnuScriptStop")->isEnabled());
    }

    void untitledSyntaxErrorNamesCaptionAndSelectsLine()
    {
        EditorFixture f;
        document::DocumentWindow *doc = f.newDocument(
            QStringLiteral("use strict;\nmy $x = 1;\nmy $y = ;\nprint \"ok\\n\";\n"));
        const QString name = doc->caption();
        const QString text = doc->rtfText->Text();
        // Ctrl+K in the text checks; the control does not take it.
        f.window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window()));
        doc->rtfText->setFocus();
        QCOMPARE(QApplication::focusWidget(), doc->rtfText);
        QCOMPARE(f.window()->windowHandle()->focusObject(), doc->rtfText);
        doc->rtfText->setSelStart(0);
        QSignalSpy checked(script::Workbench::of(f.window()), &script::Workbench::checkFinished);
        QTest::keyClick(doc->rtfText, Qt::Key_K, Qt::ControlModifier);
        QVERIFY(checked.wait(kRunTimeout));
        QCOMPARE(doc->rtfText->Text(), text);
        const int row = rowWith(QStringLiteral("syntax error"));
        QVERIFY2(row >= 0, qPrintable(rowTexts().join('\n')));
        const script::OutputRow &r = output()->row(row);
        QCOMPARE(r.file, name);
        QCOMPARE(r.line, 3);
        QVERIFY(r.text.contains(QStringLiteral("at ") + name + QStringLiteral(" line 3")));
        for (const QString &t : rowTexts())
            QVERIFY2(!t.contains(QLatin1String("/dev/fd")) && !t.contains(QDir::tempPath()), qPrintable(t));
        QVERIFY(rowWith(name + QStringLiteral(" had compilation errors")) >= 0);
        // The line is marked in the gutter, when numbers are shown.
        QVERIFY(f.trigger("mnuScriptLineNumbers"));
        QCOMPARE(script::gutterOf(doc)->marks(), QSet<int>{3});

        // Enter on the row, from another document, selects line 3.
        f.newDocument(QStringLiteral("other"));
        QTreeView *list = output()->lstScriptOutput;
        list->setCurrentIndex(list->model()->index(row, 0));
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(f.activeDocument(), doc);
        QCOMPARE(doc->rtfText->SelText(), QStringLiteral("my $y = ;"));
        QCOMPARE(doc->rtfText->SelStart(), script::lineStart(*doc->rtfText, 3));
        QCOMPARE(doc->lblCurrLineNo->text(), QStringLiteral("Line Number= 3"));
    }

    void checkTakesSwitchesNamesAndFolder()
    {
        EditorFixture f;
        // -T on the #! line is passed on the command line.
        open(f, fixture("taint.cgi"));
        QVERIFY(check(f));
        QCOMPARE(rowTexts(), QStringList{fixture("taint.cgi") + QStringLiteral(" syntax OK")});
        // FindBin finds the document's folder through $0.
        open(f, fixture("findbin.cgi"));
        QVERIFY(check(f));
        QCOMPARE(rowTexts(), QStringList{fixture("findbin.cgi") + QStringLiteral(" syntax OK")});
        QCOMPARE(f.ui.unexpected, 0);
    }

    void newCheckDropsRunningOne()
    {
        EditorFixture f;
        f.newDocument(QStringLiteral("BEGIN { sleep 60 }\n"));
        script::Workbench *wb = script::Workbench::of(f.window());
        QVERIFY(f.trigger("mnuScriptCheck"));
        QVERIFY(wb->isChecking());
        document::DocumentWindow *good = f.newDocument(QStringLiteral("print 1;\n"));
        QSignalSpy spy(wb, &script::Workbench::checkFinished);
        QVERIFY(f.trigger("mnuScriptCheck"));
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() > 0, kRunTimeout);
        QCOMPARE(rowTexts(), QStringList{good->caption() + QStringLiteral(" syntax OK")});
        QTest::qWait(200);
        QCOMPARE(spy.count(), 1);
    }

    void runShowsPageAndKeepsRequestAndCookies()
    {
        EditorFixture f;
        document::DocumentWindow *doc = open(f, fixture("echo_get.cgi"));
        QVERIFY(run(f, get(QStringLiteral("a=1&b=two"))));
        QVERIFY(rowWith(QStringLiteral("echo_get.cgi exited with status 0.")) >= 0);
        QCOMPARE(f.activeDocument(), doc);
        if (!engine())
            QSKIP("the stand-in viewer");
        QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("Query: a=1&b=two; Cookie: []"), kLoadTimeout);

        // Run Again asks nothing and sends back the cookie the page set.
        QVERIFY(run(f, {}, "mnuScriptRunAgain"));
        QCOMPARE(f.ui.cgiRunRequests.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("Query: a=1&b=two; Cookie: [visits=1]"), kLoadTimeout);
        // The dialog opens with the last values.
        f.ui.cgiRun(std::nullopt);
        QVERIFY(f.trigger("mnuScriptRun"));
        QCOMPARE(f.ui.cgiRunRequests.last().query, QStringLiteral("a=1&b=two"));
    }

    void formPostsBackToScript()
    {
        EditorFixture f;
        open(f, fixture("post_form.cgi"));
        script::Workbench *wb = script::Workbench::of(f.window());
        QSignalSpy runs(wb, &script::Workbench::runFinished);
        QVERIFY(run(f, get()));
        if (!engine())
            QSKIP("the stand-in viewer sends no forms");
        // The page sends its form; the script runs again with its fields.
        QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("Posted: Ann Lee red & blue (application/x-www-form-urlencoded)"),
                                  kLoadTimeout);
        QCOMPARE(runs.count(), 2);
    }

    void responsesAsServerWould()
    {
        EditorFixture f;
        // A relative redirect is followed.
        open(f, fixture("redirect.cgi"));
        QVERIFY(run(f, get()));
        QVERIFY(rowWith(QStringLiteral("Redirect to thanks.html followed")) >= 0);
        const bool viewer = engine();
        if (viewer)
            QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("Thanks"), kLoadTimeout);
        // Plain text is shown as text.
        open(f, fixture("plain.cgi"));
        QVERIFY(run(f, get()));
        if (viewer)
            QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("CGI output"), kLoadTimeout);
        // No header at all.
        open(f, fixture("malformed.cgi"));
        QVERIFY(run(f, get()));
        QVERIFY2(rowWith(QStringLiteral("malformed header from script 'malformed.cgi': Bad header: <html>")) >= 0,
                 qPrintable(rowTexts().join('\n')));
    }

    void dyingScriptLinksItsLine()
    {
        EditorFixture f;
        document::DocumentWindow *doc = open(f, fixture("dies.cgi"));
        QVERIFY(run(f, get()));
        const int row = rowWith(QStringLiteral("Stopped on purpose"));
        QVERIFY2(row >= 0, qPrintable(rowTexts().join('\n')));
        QCOMPARE(output()->row(row).line, 7);
        QCOMPARE(output()->row(row).file, fixture("dies.cgi"));
        QVERIFY(rowWith(QStringLiteral("dies.cgi exited with status 255.")) >= 0);
        QVERIFY(output()->activateRow(row));
        QCOMPARE(doc->rtfText->SelText(), QStringLiteral("die \"Stopped $reason\";"));
    }

    void runSeesTaintFindBinAndCgiPm()
    {
        EditorFixture f;
        script::Workbench *wb = script::Workbench::of(f.window());
        open(f, fixture("taint.cgi"));
        QVERIFY(run(f, get()));
        QCOMPARE(wb->lastOutput().body, QByteArray("taint=1\n"));
        QCOMPARE(wb->lastOutput().mimeType, QByteArray("text/plain"));
        const QString path = fixture("findbin.cgi");
        open(f, path);
        QVERIFY(run(f, get()));
        QCOMPARE(QString::fromUtf8(wb->lastOutput().body),
                 QStringLiteral("bin=%1 script=%2 file=%2 helper=found\n").arg(QFileInfo(path).absolutePath(), path));
        if (QProcess::execute(QStringLiteral("perl"), {QStringLiteral("-MCGI"), QStringLiteral("-e1")}) != 0)
            QSKIP("CGI.pm is not installed");
        open(f, fixture("uses_cgi_pm.cgi"));
        QVERIFY(run(f, get(QStringLiteral("word=hello"))));
        QVERIFY2(wb->lastOutput().body.contains("<title>CGI.pm: hello</title>"), wb->lastOutput().body.constData());
    }

    void endlessScriptStoppedWithItsGroup()
    {
        platform::writeSetting(QStringLiteral("settings"), QStringLiteral("cgitimeout"), QStringLiteral("1"));
        EditorFixture f;
        open(f, fixture("loop.cgi"));
        script::Workbench *wb = script::Workbench::of(f.window());
        QSignalSpy spy(wb, &script::Workbench::runFinished);
        f.ui.cgiRun(get());
        QVERIFY(f.trigger("mnuScriptRun"));
        // The viewer asks the server, which starts the script.
        QTRY_VERIFY_WITH_TIMEOUT(f.item("mnuScriptStop")->isEnabled(), kLoadTimeout);
        QTRY_VERIFY(wb->runProcess()->processId() > 0);
        const qint64 group = wb->runProcess()->processId();
        QTRY_VERIFY(inGroup(group) == 2);
        QVERIFY(spy.wait(kRunTimeout));
        QVERIFY(rowWith(QStringLiteral("loop.cgi was stopped after 1 second.")) >= 0);
        QTRY_COMPARE(inGroup(group), 0);
        QTRY_VERIFY(!f.item("mnuScriptStop")->isEnabled());

        // Stop ends it at once, whatever the timeout.
        platform::writeSetting(QStringLiteral("settings"), QStringLiteral("cgitimeout"), QStringLiteral("60"));
        f.ui.cgiRun(get());
        QVERIFY(f.trigger("mnuScriptRun"));
        QTRY_VERIFY_WITH_TIMEOUT(wb->isRunning() && wb->runProcess()->processId() > 0, kLoadTimeout);
        const qint64 second = wb->runProcess()->processId();
        QTRY_VERIFY(inGroup(second) == 2);
        QVERIFY(f.trigger("mnuScriptStop"));
        QVERIFY(spy.wait(kRunTimeout));
        QVERIFY(rowWith(QStringLiteral("loop.cgi was stopped.")) >= 0);
        QTRY_COMPARE(inGroup(second), 0);
    }

    void lineNumbers()
    {
        EditorFixture f;
        document::DocumentWindow *doc =
            f.newDocument(QStringLiteral("one\n%1\nthree\nfour").arg(QString(300, QLatin1Char('x'))));
        doc->subWindow()->showMaximized();
        QVERIFY(!script::gutterOf(doc));
        QVERIFY(f.trigger("mnuScriptLineNumbers"));
        QCOMPARE(platform::readSetting(QStringLiteral("settings"), QStringLiteral("linenumbers"), QString()),
                 QStringLiteral("on"));
        QVERIFY(f.item("mnuScriptLineNumbers")->isChecked());
        script::LineNumberGutter *gutter = script::gutterOf(doc);
        QVERIFY(gutter && gutter->isVisible());
        QCOMPARE(doc->rtfText->leftMargin(), gutter->width());
        QCOMPARE(doc->rtfText->viewport()->x(), gutter->geometry().right() + 1);

        // File lines: the wrapped second line has one number.
        const auto numbers = gutter->numbersIn(gutter->rect());
        QCOMPARE(numbers.size(), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(numbers.at(i).line, i + 1);
        QVERIFY(numbers.at(2).place.top() >= numbers.at(1).place.top() + 2 * numbers.at(1).place.height());
        // The strip grows with the largest number.
        const int narrow = gutter->width();
        doc->rtfText->setText(QStringLiteral("line\n").repeated(1200));
        QVERIFY(gutter->width() > narrow);
        QCOMPARE(doc->rtfText->leftMargin(), gutter->width());
        doc->rtfText->verticalScrollBar()->setValue(doc->rtfText->verticalScrollBar()->maximum());
        QCOMPARE(gutter->numbersIn(gutter->rect()).constLast().line, 1201);
        // Many lines, and a very long one, which the control keeps in
        // other paragraphs than lines: still one number per file line.
        doc->rtfText->setText(QStringLiteral("line\n").repeated(3000) + QString(30000, QLatin1Char('y'))
                              + QStringLiteral("\nend"));
        for (const int at : {0, 1500}) {
            doc->rtfText->verticalScrollBar()->setValue(at);
            const auto shown = gutter->numbersIn(gutter->rect());
            QVERIFY(shown.size() > 3);
            for (int i = 1; i < shown.size(); ++i) {
                QCOMPARE(shown.at(i).line, shown.at(i - 1).line + 1);
                QVERIFY(shown.at(i).place.top() > shown.at(i - 1).place.top());
            }
        }
        doc->rtfText->verticalScrollBar()->setValue(doc->rtfText->verticalScrollBar()->maximum());
        QCOMPARE(gutter->numbersIn(gutter->rect()).constLast().line, 3002);

        // New windows get numbers; switching off takes them all away.
        document::DocumentWindow *second = f.newDocument();
        QVERIFY(script::gutterOf(second));
        QVERIFY(f.trigger("mnuScriptLineNumbers"));
        QVERIFY(!script::gutterOf(doc) && !script::gutterOf(second));
        QCOMPARE(doc->rtfText->leftMargin(), 0);
        QVERIFY(!f.item("mnuScriptLineNumbers")->isChecked());
    }

    void lineNumbersKeptBetweenRuns()
    {
        platform::writeSetting(QStringLiteral("settings"), QStringLiteral("linenumbers"), QStringLiteral("on"));
        EditorFixture f;
        QVERIFY(f.item("mnuScriptLineNumbers")->isChecked());
        QVERIFY(script::gutterOf(f.newDocument()));
    }

    void outputCutAtLimit()
    {
        cgi::ScriptProcess process;
        QSignalSpy spy(&process, &cgi::ScriptProcess::finished);
        cgi::ProcessSpec spec;
        spec.program = QStringLiteral("perl");
        spec.arguments = QStringList{QStringLiteral("-e"), QStringLiteral("print 'x' x 100000; print STDERR 'e' x 100")};
        spec.outputLimit = 1000;
        spec.errorLimit = 10;
        process.start(spec);
        QVERIFY(spy.wait(kRunTimeout));
        const auto result = spy.first().first().value<cgi::ProcessResult>();
        QCOMPARE(result.output, QByteArray(1000, 'x'));
        QVERIFY(result.outputCut);
        QCOMPARE(result.errors, QByteArray(10, 'e'));
        QVERIFY(result.errorsCut);
        QCOMPARE(result.exitCode, 0);
    }

    void htmlCheckListsSpotsWithoutChangingText()
    {
        EditorFixture f;
        // Untitled: a page by its first character.
        document::DocumentWindow *doc = f.newDocument(QStringLiteral(
            "<!DOCTYPE html>\n<html><head><title>t</title></head>\n<body>\n"
            "  <table><tr><td>a</td></tr>\n<p>after</p>\n</body></html>\n"));
        const QString text = doc->rtfText->Text();
        script::Workbench *wb = script::Workbench::of(f.window());
        QSignalSpy spy(wb, &script::Workbench::checkFinished);
        f.item("mnuScriptCheck")->trigger();
        QVERIFY(wb->isChecking()); // in the background
        QVERIFY(spy.wait(kRunTimeout));
        QCOMPARE(doc->rtfText->Text(), text);
        const int row = rowWith(QStringLiteral("missing </table>"));
        QVERIFY2(row >= 0, qPrintable(rowTexts().join('\n')));
        QCOMPARE(output()->row(row).line, 4);
        QCOMPARE(output()->row(row).column, 3);
        QCOMPARE(output()->row(row).file, doc->caption());
        QVERIFY(!output()->lstScriptOutput->isColumnHidden(script::OutputModel::Col));
        f.newDocument(QStringLiteral("other"));
        QVERIFY(output()->activateRow(row));
        QCOMPARE(f.activeDocument(), doc);
        QCOMPARE(doc->rtfText->SelStart(), script::lineStart(*doc->rtfText, 4) + 2);
        QCOMPARE(doc->rtfText->SelText(), QStringLiteral("<table>"));

        doc->rtfText->setText(QStringLiteral("<!DOCTYPE html>\n<html><head><title>t</title></head><body><p>fine</p></body></html>\n"));
        QVERIFY(check(f));
        QCOMPARE(rowTexts(), QStringList{doc->caption() + QStringLiteral(": no warnings or errors were found.")});
        QCOMPARE(script::Workbench::of(f.window())->markedLines(doc), QSet<int>());
    }

    void checkOutputNamesOutputLines()
    {
        EditorFixture f;
        QVERIFY(!f.item("mnuScriptCheckOutput")->isEnabled());
        open(f, fixture("badpage.cgi"));
        QVERIFY(run(f, get()));
        QVERIFY(f.item("mnuScriptCheckOutput")->isEnabled());
        QSignalSpy spy(script::Workbench::of(f.window()), &script::Workbench::checkFinished);
        QVERIFY(f.trigger("mnuScriptCheckOutput"));
        QVERIFY(spy.count() > 0 || spy.wait(kRunTimeout));
        const int row = rowWith(QStringLiteral("<bogus> is not recognized"));
        QVERIFY2(row >= 0, qPrintable(rowTexts().join('\n')));
        QCOMPARE(output()->row(row).file, QStringLiteral("CGI output of badpage.cgi"));
        QCOMPARE(output()->row(row).line, 4);
        QCOMPARE(output()->row(row).column, 8);
        // The output is no document: the row goes nowhere.
        QVERIFY(!output()->activateRow(row));
    }

    void livePreviewFollowsTyping()
    {
        EditorFixture f;
        QVERIFY(!f.item("mnuScriptLivePreview")->isChecked());
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/live.html");
        QByteArray page = "<html><head><title>One</title></head><body>\n";
        for (int i = 0; i < 400; ++i)
            page += "<p id=p" + QByteArray::number(i) + ">line " + QByteArray::number(i) + "</p>\n";
        // Only the first version goes down the page (as a link to a spot
        // in it would); later ones are where a reload leaves them.
        page += "<script>if (document.title == 'One') location.hash = 'p300';</script></body></html>\n";
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(page) == page.size());
        file.close();
        document::DocumentWindow *doc = open(f, path);
        QVERIFY(f.trigger("mnuhtmlpreview"));
        QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("One"), kLoadTimeout);
        platform::BrowserControl *browser = html::pageViewer()->brwWebBrowser;
        f.window()->mdiArea()->setActiveSubWindow(doc->subWindow());
        const auto retitle = [doc](const QString &from, const QString &to) {
            doc->rtfText->setSelStart(doc->rtfText->Text().indexOf(from));
            doc->rtfText->setSelLength(int(from.size()));
            QTest::keyClicks(doc->rtfText, to);
        };
        // Off: typing leaves the page alone.
        retitle(QStringLiteral("One"), QStringLiteral("Off"));
        QTest::qWait(800);
        QCOMPARE(caption(), QStringLiteral("One"));

        QVERIFY(f.trigger("mnuScriptLivePreview"));
        QCOMPARE(platform::readSetting(QStringLiteral("settings"), QStringLiteral("livepreview"), QString()),
                 QStringLiteral("on"));
        if (engine())
            QTRY_VERIFY_WITH_TIMEOUT(browser->scrollPosition().y() > 2000, kLoadTimeout);
        retitle(QStringLiteral("Off"), QStringLiteral("Two"));
        QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("Two"), 2000);
        QVERIFY(doc->rtfText->Text().contains(QStringLiteral("<title>Two</title>")));
        if (engine()) {
            QTest::qWait(500);
            QTRY_VERIFY_WITH_TIMEOUT(browser->scrollPosition().y() > 2000, kLoadTimeout);
        }

        // Another previewed document is followed when it becomes active;
        // one never previewed is not.
        f.newDocument(QStringLiteral("<title>Second</title>"));
        QVERIFY(f.trigger("mnuhtmlpreview"));
        QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("Second"), kLoadTimeout);
        f.window()->mdiArea()->setActiveSubWindow(doc->subWindow());
        QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("Two"), kLoadTimeout);
        f.newDocument(QStringLiteral("<title>Never</title>"));
        QTest::qWait(800);
        QCOMPARE(caption(), QStringLiteral("Two"));
        // A page the viewer went to otherwise is left alone.
        html::showProgramPage(QStringLiteral("\\help.html"));
        QTRY_VERIFY_WITH_TIMEOUT(caption() != QLatin1String("Two"), kLoadTimeout);
        const QString help = caption();
        f.window()->mdiArea()->setActiveSubWindow(doc->subWindow());
        retitle(QStringLiteral("Two"), QStringLiteral("Three"));
        QTest::qWait(800);
        QCOMPARE(caption(), help);
    }

    void livePreviewOutlivesLoopingPage()
    {
        platform::writeSetting(QStringLiteral("settings"), QStringLiteral("livepreview"), QStringLiteral("on"));
        EditorFixture f;
        QVERIFY(f.item("mnuScriptLivePreview")->isChecked());
        document::DocumentWindow *doc =
            f.newDocument(QStringLiteral("<title>Loop</title><script>while (true) {}</script>"));
        QVERIFY(f.trigger("mnuhtmlpreview"));
        if (!engine())
            QSKIP("the stand-in viewer runs no scripts");
        // The page's renderer never comes back; the next version still shows.
        f.window()->mdiArea()->setActiveSubWindow(doc->subWindow());
        doc->rtfText->setText(QStringLiteral("<title>Fixed</title><p>no loop</p>"));
        QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("Fixed"), 40000);
    }

    void perlToolsTidyCriticPerldoc()
    {
        EditorFixture f;
        document::DocumentWindow *doc = f.newDocument(QStringLiteral("my $x=1;\nif($x){print  1}\nopen(FH, \"<x\");\n"));
        const QString before = doc->rtfText->Text();
        QVERIFY(f.trigger("mnuScriptTidy"));
        QTRY_VERIFY_WITH_TIMEOUT(doc->rtfText->Text() != before, kRunTimeout);
        QVERIFY2(doc->rtfText->Text().contains(QStringLiteral("if ($x) { print 1 }")), qPrintable(doc->rtfText->Text()));
        // One step for Undo.
        doc->rtfText->undo();
        QCOMPARE(doc->rtfText->Text(), before);

        script::scriptOutput()->clear();
        QVERIFY(f.trigger("mnuScriptCritic"));
        QTRY_VERIFY_WITH_TIMEOUT(rowWith(QStringLiteral("Bareword file handle")) >= 0, kRunTimeout);
        const int row = rowWith(QStringLiteral("Bareword file handle"));
        QCOMPARE(output()->row(row).line, 3);
        QVERIFY(output()->activateRow(row));
        QCOMPARE(doc->rtfText->SelStart(), script::lineStart(*doc->rtfText, 3));

        // F1 on a function shows its perldoc in the viewer.
        doc->rtfText->setSelStart(doc->rtfText->Text().indexOf(QStringLiteral("print")) + 2);
        doc->rtfText->setSelLength(0);
        QVERIFY(f.trigger("mnuScriptPerldoc"));
        QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("perldoc print"), kLoadTimeout);
    }

    void goToLine()
    {
        EditorFixture f;
        document::DocumentWindow *doc = f.newDocument(
            QStringLiteral("one\ntwo %1\nthree\nfour\nfive").arg(QString(400, QLatin1Char('x'))));
        platform::RichTextBox *box = doc->rtfText;
        box->setSelStart(0);
        f.ui.input(QStringLiteral(" 4 "));
        QVERIFY(f.trigger("mnuScriptGoto"));
        QCOMPARE(f.ui.inputPrompts.last(), QStringLiteral("Go to line (1 - 5):"));
        // File lines: the long second line counts once.
        QCOMPARE(box->SelStart(), box->Text().indexOf(QStringLiteral("four")));
        QCOMPARE(box->SelLength(), 0);
        for (const char *bad : {"0", "6", "x", "", "2.5"}) {
            f.ui.input(QString::fromLatin1(bad));
            QVERIFY(f.trigger("mnuScriptGoto"));
            QCOMPARE(box->SelStart(), box->Text().indexOf(QStringLiteral("four")));
        }
        f.ui.input(std::nullopt);
        QVERIFY(f.trigger("mnuScriptGoto"));
        QCOMPARE(f.ui.unexpected, 0);

        // Lines of a large text, and past a very long line.
        const QString longLine(20000, QLatin1Char('y'));
        box->setText(QStringLiteral("l\n").repeated(2999) + longLine + QStringLiteral("\nlast <b>x</b>"));
        QCOMPARE(script::fileLineCount(*box), 3001);
        QCOMPARE(script::lineStart(*box, 2500), 2499 * 3);
        QVERIFY(script::goToLine(*box, 3001));
        QCOMPARE(box->SelStart(), box->Text().indexOf(QStringLiteral("last")));
        QVERIFY(script::selectLine(*box, 3000));
        QCOMPARE(box->SelText(), longLine);
        QVERIFY(script::selectSpot(*box, 3001, 6));
        QCOMPARE(box->SelText(), QStringLiteral("<b>"));
    }
};

QUILLET_BROWSER_TEST_MAIN(TestWorkbench)

#include "tst_workbench.moc"
