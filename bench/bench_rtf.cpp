// Times the RTF reader and writer on a generated note of about 1 MB with
// mixed formatting runs and paragraphs; both should stay under 50 ms.
#include "platform/rtfreader.h"
#include "platform/rtfwriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextDocumentLayout>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kRuns = 9;
constexpr qsizetype kTargetSize = 1024 * 1024;

void buildNote(QTextDocument &doc)
{
    static const char *const words[] = {
        "print", "my", "$name", "=", "\"value\";", "sub", "handler", "{", "}", "return", "café",
        "naïve", "résumé", "<TABLE>", "</TD>", "the", "quick", "brown", "fox", "jumps", "over",
        "lazy", "dog", "100%", "C:\\path", "Ωmega", "данные", "€5", "😀", "—", "if", "else",
    };
    const QColor colours[] = {Qt::red, Qt::blue, QColor(0, 128, 0), QColor(128, 0, 128)};
    std::mt19937 random(12345);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };

    QTextCursor cursor(&doc);
    cursor.beginEditBlock();
    for (;;) {
        for (int paragraph = 0; paragraph < 500; ++paragraph) {
            if (!doc.isEmpty())
                cursor.insertBlock();
            const int runs = 3 + pick(10);
            for (int run = 0; run < runs; ++run) {
                QTextCharFormat format;
                switch (pick(8)) {
                case 0: format.setFontWeight(QFont::Bold); break;
                case 1: format.setFontItalic(true); break;
                case 2: format.setFontUnderline(true); break;
                case 3: format.setForeground(colours[pick(4)]); break;
                case 4: format.setFontPointSize(8 + pick(4) * 2); break;
                case 5: format.setFontFamilies({pick(2) ? "Courier New" : "DejaVu Sans"}); break;
                case 6: format.setBackground(QColor(255, 255, 0)); break;
                default: break;
                }
                QString text;
                const int count = 1 + pick(8);
                for (int w = 0; w < count; ++w) {
                    text += QString::fromUtf8(words[pick(int(std::size(words)))]);
                    text += pick(12) ? QChar(' ') : QChar('\t');
                }
                cursor.insertText(text, format);
            }
        }
        if (rtf::write(doc).size() >= kTargetSize)
            break;
    }
    cursor.endEditBlock();
}

template<typename Fn>
double medianMs(Fn fn)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        fn();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTextDocument source;
    buildNote(source);
    const QByteArray rtf = rtf::write(source);

    int blocks = 0;
    const double readMs = medianMs([&] {
        QTextDocument doc;
        QTextCursor cursor(&doc);
        rtf::insert(cursor, rtf);
        blocks = doc.blockCount();
    });
    const double readPlainMs = medianMs([&] {
        QTextDocument doc;
        doc.setDocumentLayout(new QPlainTextDocumentLayout(&doc));
        QTextCursor cursor(&doc);
        rtf::insert(cursor, rtf);
    });
    QByteArray written;
    const double writeMs = medianMs([&] { written = rtf::write(source); });

    std::printf("note: %lld bytes of RTF, %d paragraphs, %d characters\n",
                static_cast<long long>(rtf.size()), source.blockCount(), source.characterCount());
    std::printf("read  into QTextDocument:            median %7.2f ms of %d runs (%d blocks)\n",
                readMs, kRuns, blocks);
    std::printf("read  into a plain-text editor's doc: median %7.2f ms of %d runs\n", readPlainMs, kRuns);
    std::printf("write whole document:                 median %7.2f ms of %d runs\n", writeMs, kRuns);
    const bool ok = readMs <= 50 && writeMs <= 50 && written == rtf;
    std::printf("%s\n", ok ? "within budget (50 ms each)" : "OVER BUDGET or output unstable");
    return ok ? 0 : 1;
}
