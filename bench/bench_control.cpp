// Figures for the rich-text control on a 100,000-line, 6 MB document:
// the cost of a typed character with the line count and the caret's line
// (median and worst), and of selecting and colouring 500,000 runs.

#include "platform/richtextbox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTextDocument>

#include <algorithm>
#include <valgrind/callgrind.h>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // 100,000 lines of about 60 characters: 6 MB.
    QString text;
    text.reserve(6'100'000);
    for (int i = 0; i < 100000; ++i)
        text += QStringLiteral("print \"<TD>$value%1</TD>\"; $x%1 = \"abc\"; # note %1 here\n").arg(i % 1000, 4, 10, QLatin1Char('0'));
    std::printf("document: %lld characters, 100000 lines\n", qlonglong(text.size()));

    platform::RichTextBox box;
    box.resize(600, 500);
    box.show();
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    box.setText(text);
    QApplication::processEvents();
    std::printf("set text: %.0f ms\n", t.nsecsElapsed() / 1e6);

    // Colour 500,000 runs the way the colouring passes do.
    const QString s = box.Text();
    t.restart();
    box.suspendRedraw();
    int runs = 0;
    for (qsizetype from = 0; runs < 500000;) {
        const qsizetype o = s.indexOf(QLatin1Char('<'), from);
        const qsizetype o2 = s.indexOf(QLatin1Char('$'), from);
        qsizetype at = o < 0 ? o2 : (o2 < 0 ? o : std::min(o, o2));
        if (at < 0) {
            from = 0;
            continue;
        }
        box.setSelStart(int(at));
        box.setSelLength(4);
        box.setSelColor(runs % 2 ? 0xFF0000 : 0x0000FF);
        ++runs;
        from = at + 1;
    }
    box.resumeRedraw();
    QApplication::processEvents();
    std::printf("select and colour %d runs: %.0f ms\n", runs, t.nsecsElapsed() / 1e6);

    // Typing in the middle of the document, with the read-outs' queries.
    box.setSelStart(int(s.size() / 2));
    std::vector<double> costs;
    for (int i = 0; i < 400; ++i) {
        if (i == 18 && qEnvironmentVariableIsSet("BENCH_TRACE"))
            CALLGRIND_START_INSTRUMENTATION;
        if (i == 19 && qEnvironmentVariableIsSet("BENCH_TRACE"))
            CALLGRIND_STOP_INSTRUMENTATION;
        QElapsedTimer k;
        k.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(&box, &press);
        volatile int lines = box.GetLineCount();
        volatile int line = box.LineFromChar();
        (void)lines;
        (void)line;
        QApplication::processEvents(); // the repaint
        costs.push_back(k.nsecsElapsed() / 1e6);
    }
    int worstAt = int(std::max_element(costs.begin(), costs.end()) - costs.begin());
    std::printf("slowest keystroke: number %d of %zu\n", worstAt + 1, costs.size());
    std::sort(costs.begin(), costs.end());
    std::printf("typed character with line count and caret line: median %.3f ms, worst %.3f ms\n",
                costs[costs.size() / 2], costs.back());
    std::printf("display lines: %d\n", box.GetLineCount());
    return 0;
}
