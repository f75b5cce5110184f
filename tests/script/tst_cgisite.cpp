// The editor's loopback web server as pages and scripts meet it: what a
// page may reach, request bodies, redirects, failing scripts, the processes
// of a run, the check's module path and Open in Browser.

#include "support/browsermain.h"
#include "support/fixture.h"

#include "cgi/loopbackserver.h"
#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "html/viewerwindow.h"
#include "platform/browser.h"
#include "platform/settingsstore.h"
#include "script/outputdock.h"
#include "script/workbench.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <csignal>

namespace {

constexpr int kLoad = 20000;

QString caption()
{
    html::PageViewer *v = html::pageViewer();
    return v ? v->windowTitle() : QStringLiteral("<no viewer>");
}

// The title a page's script gave it after it loaded.
QString liveTitle()
{
    html::PageViewer *v = html::pageViewer();
    QObject *view = v ? v->findChild<QObject *>(QStringLiteral("engineView")) : nullptr;
    return view ? view->property("title").toString() : QString();
}

bool engine()
{
    html::PageViewer *v = html::pageViewer();
    return v && v->brwWebBrowser->usesEngine();
}

QStringList rows()
{
    QStringList out;
    if (script::ScriptOutput *o = script::scriptOutput(false)) {
        for (int i = 0; i < o->rowCount(); ++i)
            out << o->row(i).text;
    }
    return out;
}

int rowWith(const QString &text)
{
    const QStringList r = rows();
    for (int i = 0; i < r.size(); ++i) {
        if (r.at(i).contains(text))
            return i;
    }
    return -1;
}

document::DocumentWindow *open(EditorFixture &f, const QString &path)
{
    f.ui.chooseFile(path);
    f.trigger("mnuFileOpen");
    return f.activeDocument();
}

// Runs the active document with a GET of the query; true once a run of it
// has been reported.
bool run(EditorFixture &f, const QString &query)
{
    QSignalSpy done(script::Workbench::of(f.window()), &script::Workbench::runFinished);
    platform::CgiRunRequest r;
    r.query = query;
    f.ui.cgiRun(r);
    return f.trigger("mnuScriptRun") && done.wait(kLoad);
}

struct Reply
{
    int status = 0;
    QByteArray body;
};

Reply get(const QUrl &url, const QByteArray &host = QByteArray())
{
    QNetworkAccessManager net;
    QNetworkRequest request(url);
    if (!host.isEmpty())
        request.setRawHeader("Host", host);
    QNetworkReply *reply = net.get(request);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    finished.wait(kLoad);
    Reply r{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
    delete reply;
    return r;
}

bool alive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray s = stat.readAll();
    return s.mid(s.lastIndexOf(')') + 2, 1) != "Z";
}

qint64 pidIn(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toLongLong() : 0;
}

} // namespace

class TestCgiSite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void pageStaysInItsSite()
    {
        EditorFixture f;
        // Another site on this machine, listening for what a page sends.
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::LocalHost));
        const QString outside = f.scratch("outside");
        writeFile(outside + QStringLiteral("/secret.txt"), "secret");
        const QString site = f.scratch("site");
        writeFile(site + QStringLiteral("/own.txt"), "mine");
        QVERIFY(QFile::link(outside, site + QStringLiteral("/link")));
        const QByteArray port = QByteArray::number(other.serverPort());
        writeFile(site + QStringLiteral("/page.html"), R"(<html><head><title>waiting</title><script>
function xhr(url) { return new Promise(function (ok, no) {
  var x = new XMLHttpRequest(); x.open('GET', url);
  x.onload = function () { x.status == 200 ? ok(x.responseText) : no(x.status); };
  x.onerror = function () { no('error'); }; x.send(); }); }
function ws(url) { return new Promise(function (ok, no) {
  var w = new WebSocket(url); w.onopen = function () { ok('open'); }; w.onerror = function () { no('error'); }; }); }
var tries = [xhr('file://)" + outside.toUtf8() + R"(/secret.txt'), xhr('http://127.0.0.1:)" + port + R"(/x'),
             ws('ws://127.0.0.1:)" + port + R"(/'), xhr('link/secret.txt'), xhr('own.txt')];
Promise.allSettled(tries).then(function (r) {
  document.title = r.map(function (x) { return x.status == 'fulfilled' ? x.value : 'no ' + x.reason; }).join(' ');
});
</script></head><body></body></html>)");
        open(f, site + QStringLiteral("/page.html"));
        QVERIFY(f.trigger("mnuhtmlpreview"));
        if (!engine())
            QSKIP("the stand-in viewer runs no scripts");
        QTRY_COMPARE_WITH_TIMEOUT(liveTitle(), QStringLiteral("no error no error no error no 403 mine"), kLoad);
        QVERIFY(!other.hasPendingConnections());

        // Outside a site, or under another host name, nothing is served.
        cgi::LoopbackServer *server = cgi::LoopbackServer::existing();
        QVERIFY(server);
        const QUrl own = server->address(site, QStringLiteral("/own.txt"));
        QCOMPARE(get(own).body, QByteArray("mine"));
        QUrl guessed = own;
        guessed.setPath(QStringLiteral("/s0/own.txt"));
        QCOMPARE(get(guessed).status, 404);
        QCOMPARE(get(own, "rebound.example:" + QByteArray::number(server->port())).status, 421);
    }

    void requestBodiesReachTheScript()
    {
        EditorFixture f;
        // Echoes what it was posted; a GET gives a page that posts.
        const QString path = f.scratch("echo.cgi");
        writeFile(path, R"(#!/usr/bin/perl
binmode STDIN; read(STDIN, my $b, $ENV{CONTENT_LENGTH} // 0);
print "Content-Type: text/html\n\n";
if ($ENV{REQUEST_METHOD} eq 'POST') {
  my ($type) = split /;/, $ENV{CONTENT_TYPE};
  my $shown = $type =~ /multipart/ ? (index($b, "\x00\xff\x01end") >= 0 ? 'bytes' : 'no bytes') : $b;
  print "<title>POST $type $shown</title>"; exit;
}
if ($ENV{QUERY_STRING} eq 'form') {
  print '<form method="post" action="echo.cgi"><input name="a" value="x y"></form><script>document.forms[0].submit()</script>';
} else {
  print q{<script>var fd = new FormData(); fd.append('f', new Blob([new Uint8Array([0, 255, 1, 101, 110, 100])]), 'b.bin');
fetch('echo.cgi', {method: 'POST', body: fd}).then(function (r) { return r.text(); })
  .then(function (t) { document.title = 'fetched ' + t.replace(/<\/?title>/g, ''); });</script>};
}
)");
        open(f, path);
        QVERIFY(run(f, QStringLiteral("form")));
        if (!engine())
            QSKIP("the stand-in viewer runs no scripts");
        QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("POST application/x-www-form-urlencoded a=x+y"), kLoad);
        QVERIFY(run(f, QStringLiteral("fetch")));
        QTRY_COMPARE_WITH_TIMEOUT(liveTitle(), QStringLiteral("fetched POST multipart/form-data bytes"), kLoad);
    }

    void redirectsAndFailuresAsAServerGivesThem()
    {
        EditorFixture f;
        const QString path = f.scratch("redir.cgi");
        writeFile(path, R"(#!/usr/bin/perl
my $q = $ENV{QUERY_STRING};
if ($q eq 'client') { print "Status: 302 Found\nLocation: redir.cgi?x=7\n\n"; exit }
if ($q eq 'local') { print "Location: /redir.cgi?x=8\n\n"; exit }
if ($q eq 'die') { print STDERR "about to fail <b>\n"; die "Nope & gone\n" }
print "Content-Type: text/html\n\n<title>Target $q $ENV{REQUEST_METHOD}</title>";
)");
        document::DocumentWindow *doc = open(f, path);
        QVERIFY(run(f, QStringLiteral("client")));
        const bool viewer = engine();
        if (viewer)
            QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("Target x=7 GET"), kLoad);
        QVERIFY(run(f, QStringLiteral("local")));
        QTRY_VERIFY_WITH_TIMEOUT(rowWith(QStringLiteral("Redirect to /redir.cgi?x=8 followed inside the server")) >= 0, kLoad);
        if (viewer)
            QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("Target x=8 GET"), kLoad);

        // A script that dies before its headers: a 500 page with its exit
        // status and its error output, escaped.
        QVERIFY(run(f, QStringLiteral("die")));
        if (viewer)
            QTRY_COMPARE_WITH_TIMEOUT(caption(), QStringLiteral("Internal Server Error"), kLoad);
        const QUrl page = cgi::LoopbackServer::existing()->address(QFileInfo(path).absolutePath(),
                                                                   QStringLiteral("/redir.cgi"), "die");
        const Reply failed = get(page);
        QCOMPARE(failed.status, 500);
        QVERIFY2(failed.body.contains("exited with status 255") && failed.body.contains("about to fail &lt;b&gt;")
                     && failed.body.contains("Nope &amp; gone"),
                 failed.body.constData());
        // The page is above the document, which keeps the focus.
        QCOMPARE(f.activeDocument(), doc);
        QCOMPARE(f.window()->mdiArea()->subWindowList(QMdiArea::StackingOrder).constLast(),
                 html::pageViewer()->subWindow());
    }

    void processesOfARunEndWithIt()
    {
        platform::writeSetting(QStringLiteral("settings"), QStringLiteral("cgitimeout"), QStringLiteral("60"));
        EditorFixture f;
        // A grandchild in a session of its own tells its pid through a file
        // beside the script; with "stay" the script ends and leaves it.
        const QString path = f.scratch("daemon.cgi");
        const QByteArray text = QByteArray(R"(#!/usr/bin/perl
use POSIX 'setsid';
my $file = $ENV{QUERY_STRING} eq 'stay' ? 'stay.pid' : 'hidden.pid';
if (!fork) { setsid(); if (!fork) { open my $p, '>', $file; print $p $$; close $p; close STDOUT; close STDERR; sleep 300; exit } exit }
sleep 1 until -s $file;
print "Content-Type: text/plain\n\nstarted\n";
close STDOUT;
sleep 300 unless $ENV{QUERY_STRING} eq 'stay';
)");
        writeFile(path, text);
        open(f, path);
        script::Workbench *wb = script::Workbench::of(f.window());
        platform::CgiRunRequest r;
        r.query = QStringLiteral("hide");
        f.ui.cgiRun(r);
        QVERIFY(f.trigger("mnuScriptRun"));
        QTRY_VERIFY_WITH_TIMEOUT(pidIn(f.scratch("hidden.pid")) > 0, kLoad);
        const qint64 hidden = pidIn(f.scratch("hidden.pid"));
        QVERIFY(alive(hidden));
        QSignalSpy done(wb, &script::Workbench::runFinished);
        QVERIFY(f.trigger("mnuScriptStop"));
        QVERIFY(done.count() > 0 || done.wait(kLoad));
        QTRY_VERIFY(!alive(hidden));

        // After a normal end, what is still running is listed, and the
        // row ends it.
        QVERIFY(run(f, QStringLiteral("stay")));
        const qint64 stays = pidIn(f.scratch("stay.pid"));
        QVERIFY(alive(stays));
        const int row = rowWith(QStringLiteral("daemon.cgi left 1 process running: %1").arg(stays));
        QVERIFY2(row >= 0, qPrintable(rows().join('\n')));
        QVERIFY(f.item("mnuScriptStop")->isEnabled());
        QVERIFY(script::scriptOutput()->activateRow(row));
        QTRY_VERIFY(!alive(stays));
        QTRY_VERIFY(!f.item("mnuScriptStop")->isEnabled());
    }

    void checkSearchesDocumentFolderLast()
    {
        EditorFixture f;
        const QString ran = f.scratch("planted-ran");
        writeFile(f.scratch("strict.pm"),
                  "package strict; BEGIN { open my $f, '>', '" + ran.toUtf8() + "' } sub import {} 1;\n");
        writeFile(f.scratch("Mine.pm"), "package Mine; 1;\n");
        const QString path = f.scratch("innocent.pl");
        writeFile(path, "use strict;\nuse Mine;\nprint 1;\n");
        open(f, path);
        script::Workbench *wb = script::Workbench::of(f.window());
        QSignalSpy checked(wb, &script::Workbench::checkFinished);
        QVERIFY(f.trigger("mnuScriptCheck"));
        QVERIFY(checked.wait(kLoad));
        // The folder's own modules are still found.
        QCOMPARE(rows(), QStringList{path + QStringLiteral(" syntax OK")});
        QVERIFY(!QFileInfo::exists(ran));
    }

    void openInBrowserServesPageToAnyClient()
    {
        EditorFixture f;
        writeFile(f.scratch("hello.cgi"), "#!/usr/bin/perl\nprint \"Content-Type: text/html\\n\\n<title>Hello $ENV{QUERY_STRING}</title>\";\n");
        open(f, f.scratch("hello.cgi"));
        QVERIFY(f.trigger("mnuScriptOpenBrowser"));
        QCOMPARE(f.ui.messages.size(), 1); // nothing shown yet
        QVERIFY(run(f, QStringLiteral("there")));
        QTRY_VERIFY_WITH_TIMEOUT(html::pageViewer()->brwWebBrowser->pageUrl().hasQuery(), kLoad);
        QVERIFY(f.trigger("mnuScriptOpenBrowser"));
        QCOMPARE(f.starts.opened.size(), 1);
        const QUrl url(f.starts.opened.constFirst());
        QCOMPARE(url.host(), QStringLiteral("127.0.0.1"));
        const Reply page = get(url);
        QCOMPARE(page.status, 200);
        QCOMPARE(page.body, QByteArray("<title>Hello there</title>"));
    }
};

QUILLET_BROWSER_TEST_MAIN(TestCgiSite)

#include "tst_cgisite.moc"
