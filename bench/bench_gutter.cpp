// The cost of a typed character in a 100,000-line document with the line
// numbers shown and without them, repaint included: a keystroke must cost
// about the same either way.
//
//   bench_gutter [keys]           both ways, alternating (default 300 keys)
//   bench_gutter [keys] on|off    one way only, the typing counted for
//                                 valgrind --tool=callgrind --instr-atstart=no
#include "platform/richtextbox.h"
#include "script/linenumbers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <valgrind/callgrind.h>
#include <vector>

namespace {

double typeKeys(platform::RichTextBox &box, int keys, std::vector<double> &costs)
{
    QElapsedTimer all;
    all.start();
    for (int i = 0; i < keys; ++i) {
        QElapsedTimer k;
        k.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(&box, &press);
        // The read-outs' queries, as a document window makes them.
        volatile int lines = box.GetLineCount();
        volatile int line = box.LineFromChar();
        (void)lines;
        (void)line;
        QApplication::processEvents(); // the repaint
        costs.push_back(double(k.nsecsElapsed()) / 1e6);
    }
    return double(all.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int keys = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    const char *only = argc > 2 ? argv[2] : nullptr;

    QString text;
    text.reserve(6'100'000);
    for (int i = 0; i < 100000; ++i)
        text += QStringLiteral("print \"<TD>$value%1</TD>\"; $x%1 = \"abc\"; # note %1 here\n").arg(i % 1000, 4, 10, QLatin1Char('0'));

    platform::RichTextBox box;
    box.resize(700, 500);
    box.show();
    box.setText(text);
    QApplication::processEvents();
    box.setSelStart(int(text.size() / 2));
    box.ensureCursorVisible();
    QApplication::processEvents();
    std::unique_ptr<script::LineNumberGutter> gutter;
    const auto numbers = [&](bool on) {
        if (on && !gutter)
            gutter = std::make_unique<script::LineNumberGutter>(&box);
        if (!on && gutter) {
            gutter.reset();
            box.setLeftMargin(0);
        }
        QApplication::processEvents();
    };

    if (only) {
        numbers(std::strcmp(only, "on") == 0);
        std::vector<double> warm;
        typeKeys(box, 20, warm);
        std::vector<double> costs;
        CALLGRIND_START_INSTRUMENTATION;
        const double ms = typeKeys(box, keys, costs);
        CALLGRIND_STOP_INSTRUMENTATION;
        std::printf("line numbers %s: %d keys in %.0f ms, median %.3f ms\n", only, keys, ms, median(costs));
        return 0;
    }
    std::vector<double> off, on;
    for (int round = 0; round < 6; ++round) {
        numbers(round % 2 == 1);
        typeKeys(box, keys / 6, round % 2 ? on : off);
    }
    std::printf("typed character in 100,000 lines, repaint included: median %.3f ms without line numbers, "
                "%.3f ms with them (%zu keys each)\n",
                median(off), median(on), off.size());
    return 0;
}
