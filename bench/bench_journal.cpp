// What the recovery journal costs while the user types: for scripts of
// 1 KB, 1 MB and 10 MB, the time of a typed character in a document window
// the journal watches and in one it doesn't, and the longest the
// user-interface thread was busy between two characters (when the journal
// takes its snapshots). Typing is one character every 30 ms, with a pause
// after every 60, so that both the quiet and the forced snapshots happen.
// Then how long after the last character the journal held the text, with
// the event loop running freely, and what the journal wrote. Last, the
// bytes the journal writes for 8 keys typed 0.6 s apart into 10 MB.
//   bench_journal [ROUNDS]

#include "document/documentwindow.h"
#include "files/filecommands.h"
#include "files/recovery.h"
#include "frame/mainwindow.h"
#include "platform/recoverystore.h"
#include "platform/richtextbox.h"
#include "userfolders.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QFile>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Figures
{
    std::vector<double> keys;   // ms per typed character
    double longestBusy = 0;     // ms, the event loop between characters
    int entriesWritten = 0;
    double journaledAfter = -1; // ms after the last character
    files::recovery::Cost journal; // the journal's own time
};

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents();
        QThread::msleep(2);
    }
}

Figures type(document::DocumentWindow *doc, int characters)
{
    Figures f;
    platform::RichTextBox *box = doc->rtfText;
    box->setFocus();
    for (int i = 0; i < characters; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QElapsedTimer t;
        t.start();
        QApplication::sendEvent(box, &press);
        QApplication::sendEvent(box, &release);
        f.keys.push_back(t.nsecsElapsed() / 1e6);
        // Until the next character, the event loop runs as it would.
        QElapsedTimer gap;
        gap.start();
        const int wait = (i + 1) % 60 == 0 ? 700 : 30;
        while (gap.elapsed() < wait) {
            QElapsedTimer busy;
            busy.start();
            QApplication::processEvents();
            f.longestBusy = std::max(f.longestBusy, busy.nsecsElapsed() / 1e6);
            QThread::msleep(1);
        }
    }
    return f;
}

// How long until an entry written after `since` is there.
double journaledAfter(const QDateTime &since, const QElapsedTimer &clock)
{
    QEventLoop loop;
    double after = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QDir folder(platform::recoveryFolder());
        for (const QFileInfo &entry : folder.entryInfoList({QStringLiteral("*.entry")}, QDir::Files)) {
            if (entry.lastModified() >= since) {
                after = clock.nsecsElapsed() / 1e6;
                loop.quit();
            }
        }
        if (clock.elapsed() > 10000)
            loop.quit();
    });
    poll.start(2);
    loop.exec();
    return after;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double worst(const std::vector<double> &v)
{
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

QByteArray script(qint64 bytes)
{
    const QByteArray line = "my $name = \"value\"; # a comment <b>tag</b> print \"<p>$name</p>\";\n";
    QByteArray out;
    out.reserve(bytes + line.size());
    while (out.size() < bytes)
        out += line;
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    bench::isolateUserFolders(home.path());
    QApplication app(argc, argv);
    const int characters = argc > 1 ? QByteArray(argv[1]).toInt() * 60 : 180;

    frame::MainWindow w;
    w.startUp(QString());
    w.show();
    settle(200);

    std::printf("typing %d characters, one every 30 ms with a pause after every 60\n", characters);
    std::printf("%-8s %-26s %-26s %s\n", "script", "with journal: median/worst", "without: median/worst",
                "longest busy between characters (with / without)");
    for (const qint64 size : {qint64(1024), qint64(1) << 20, qint64(10) << 20}) {
        const QString path = home.filePath(QStringLiteral("script-%1.cgi").arg(size));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(script(size)) < 0)
            return 1;
        file.close();

        Figures results[2];
        for (int watched = 1; watched >= 0; --watched) {
            // A window from New is watched by the journal; one made directly
            // is not.
            document::DocumentWindow *doc = nullptr;
            if (watched) {
                doc = w.newdoc();
            } else {
                doc = new document::DocumentWindow;
                w.mdiArea()->setActiveSubWindow(w.addChild(doc));
                doc->subWindow()->show();
            }
            files::loadDocument(*doc, path);
            settle(300);
            const qint64 written = files::recovery::cost(true).bytesWritten;
            results[watched] = type(doc, characters - 1);
            // The last character, then the event loop alone.
            const QDateTime since = QDateTime::currentDateTime();
            QElapsedTimer clock;
            clock.start();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Y, Qt::NoModifier, QStringLiteral("y"));
            QApplication::sendEvent(doc->rtfText, &press);
            if (watched)
                results[watched].journaledAfter = journaledAfter(since, clock);
            settle(700);
            results[watched].journal = files::recovery::cost(true);
            results[watched].journal.bytesWritten -= written;
            results[watched].entriesWritten =
                QDir(platform::recoveryFolder()).entryList({QStringLiteral("*.entry")}).size();
            doc->markSaved();
            w.framclean();
            doc->subWindow()->close();
            settle(100);
        }
        std::printf("%-8s %8.3f / %8.3f ms       %8.3f / %8.3f ms       %8.3f / %8.3f ms%s\n",
                    size < (1 << 20) ? "1 KB" : size < (10 << 20) ? "1 MB" : "10 MB", median(results[1].keys),
                    worst(results[1].keys), median(results[0].keys), worst(results[0].keys),
                    results[1].longestBusy, results[0].longestBusy,
                    results[1].entriesWritten ? "" : "   (nothing was journaled!)");
        std::printf("         the journal itself: %.4f ms at most per change noted; %d snapshots, "
                    "%.3f ms at most on this thread per snapshot or slice of one%s\n",
                    results[1].journal.longestChangeNs / 1e6, results[1].journal.snapshots,
                    results[1].journal.longestStepNs / 1e6,
                    results[1].journal.restarts ? "; PIECES DID NOT FIT" : "");
        std::printf("         journaled %.0f ms after the last character; %.1f KB written\n",
                    results[1].journaledAfter, results[1].journal.bytesWritten / 1024.0);
    }

    // 8 keys into 10 MB, 0.6 s apart.
    const QString path = home.filePath(QStringLiteral("script-%1.cgi").arg(qint64(10) << 20));
    document::DocumentWindow *doc = w.newdoc();
    files::loadDocument(*doc, path);
    settle(300);
    const qint64 before = files::recovery::cost().bytesWritten;
    doc->rtfText->setFocus();
    for (int i = 0; i < 8; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(doc->rtfText, &press);
        settle(600);
    }
    settle(1000);
    std::printf("8 keys 0.6 s apart into 10 MB: the journal wrote %.1f KB\n",
                (files::recovery::cost().bytesWritten - before) / 1024.0);
    doc->markSaved();
    w.framclean();
    doc->subWindow()->close();
    settle(100);
    return 0;
}
