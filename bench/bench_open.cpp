// Opening a generated Perl/CGI script the way the command line does: read,
// build, four colouring passes, shown. Prints the time to coloured and
// idle, the memory, and the cost of a typed character with the read-outs
// refreshed. Run with a file made by gen_script.py:
//   bench_open FILE [FILE...]

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "platform/documentloader.h"
#include "platform/richtextbox.h"
#include "userfolders.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextLayout>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

static long rssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    bench::isolateUserFolders(home.path());
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_open FILE...\n");
        return 2;
    }
    for (int a = 1; a < argc; ++a) {
        const QString path = QString::fromLocal8Bit(argv[a]);
        const long before = rssKb();
        QElapsedTimer t;
        t.start();
        platform::DocumentPreloader::start(path);
        auto *w = new frame::MainWindow;
        w->startUp(path);
        w->show();
        QApplication::processEvents();
        const double ms = t.nsecsElapsed() / 1e6;
        document::DocumentWindow *doc = w->activeDocument();
        platform::RichTextBox *box = doc->rtfText;
        std::printf("%s: %lld bytes, %d display lines, %d colour runs\n", argv[a],
                    qlonglong(QFile(path).size()), box->GetLineCount(), box->colourRuns().runCount());
        {
            // Check the counts against the layout's own, on a sample.
            QTextDocument *doc = box->document();
            auto *layout = qobject_cast<QPlainTextDocumentLayout *>(doc->documentLayout());
            int checked = 0, differ = 0;
            for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
                if (b.blockNumber() % 97)
                    continue;
                const int counted = b.lineCount();
                layout->ensureBlockLayout(b);
                ++checked;
                differ += b.layout()->lineCount() != counted;
            }
            std::printf("  sampled %d paragraphs: %d counted differently from the layout (viewport %d px)\n",
                        checked, differ, box->viewport()->width());
        }
        const long grown = rssKb() - before;
        std::printf("  open, colour and show: %.0f ms, memory +%ld MB (process %ld MB)\n", ms, grown / 1024,
                    rssKb() / 1024);
        {
            // What each line costs beyond its characters (two bytes each).
            const int lines = box->Text().count(QLatin1String("\r\n")) + 1;
            const double beyond = grown * 1024.0 - 2.0 * box->document()->characterCount();
            std::printf("  memory per line beyond the text: %.0f bytes (%d lines)\n", beyond / lines, lines);
        }

        // Typing, with the three read-outs refreshed by the events.
        box->setFocus();
        box->setSelStart(box->TextLength() / 2);
        std::vector<double> costs;
        for (int i = 0; i < 300; ++i) {
            QElapsedTimer k;
            k.start();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
            QApplication::sendEvent(box, &press);
            QApplication::processEvents();
            costs.push_back(k.nsecsElapsed() / 1e6);
        }
        std::sort(costs.begin(), costs.end());
        std::printf("  typed character with read-outs: median %.3f ms, worst %.3f ms (%s)\n",
                    costs[costs.size() / 2], costs.back(), qPrintable(doc->linetotal->text()));
        for (document::DocumentWindow *d : w->documents())
            d->markSaved();
        w->framclean();
        w->close();
        delete w;
        QApplication::processEvents();
    }
    return 0;
}
