#include "platform/linebreaks.h"

#include <QFontMetricsF>
#include <QTextLayout>

#include <array>
#include <cmath>

namespace platform {

namespace {

// Line-breaking classes of the characters up to U+00FF.
enum Cls : quint8 { AL, SP, BA, BB, HY, CL, CP, EX, IS, SY, OP, QU, GL, NU, PR, PO, CM, BK };

constexpr std::array<quint8, 256> makeClasses()
{
    std::array<quint8, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = AL;
    for (int i = 0; i < 0x20; ++i)
        t[i] = CM;
    t[0x09] = SP; // the layout treats a tab as white space
    t[0x0B] = BK;
    t[0x0C] = BK;
    t[0x7F] = CM;
    for (int i = 0x80; i < 0xA0; ++i)
        t[i] = CM;
    t[' '] = SP;
    t['!'] = EX;
    t['"'] = QU;
    t['$'] = PR;
    t['%'] = PO;
    t['\''] = QU;
    t['('] = OP;
    t[')'] = CP;
    t['+'] = PR;
    t[','] = IS;
    t['-'] = HY;
    t['.'] = IS;
    t['/'] = SY;
    for (int i = '0'; i <= '9'; ++i)
        t[i] = NU;
    t[':'] = IS;
    t[';'] = IS;
    t['?'] = EX;
    t['['] = OP;
    t['\\'] = PR;
    t[']'] = CP;
    t['{'] = OP;
    t['|'] = BA;
    t['}'] = CL;
    t[0xA0] = GL;
    t[0xA1] = OP;
    t[0xA2] = PO;
    t[0xA3] = PR;
    t[0xA4] = PR;
    t[0xA5] = PR;
    t[0xAB] = QU;
    t[0xAD] = BA;
    t[0xB0] = PO;
    t[0xB1] = PR;
    t[0xB4] = BB;
    t[0xBB] = QU;
    t[0xBF] = OP;
    return t;
}
constexpr std::array<quint8, 256> kClasses = makeClasses();

enum Action : quint8 { Direct, Indirect, Prohibited };

// What the rules say about a break between a character of class b and
// one of class a (with spaces between them or not).
constexpr Action pairAction(int b, int a)
{
    if (a == CL || a == CP || a == EX || a == IS || a == SY)
        return Prohibited;
    if (b == OP)
        return Prohibited;
    if (b == QU && a == OP)
        return Prohibited;
    if (a == QU || b == QU)
        return Indirect;
    if (a == BA || a == HY || b == BB || a == CM)
        return Indirect;
    if (b == GL || a == GL)
        return Indirect;
    if ((b == AL && a == NU) || (b == NU && a == AL))
        return Indirect;
    if ((b == PR || b == PO) && a == AL)
        return Indirect;
    if (b == AL && (a == PR || a == PO))
        return Indirect;
    if ((b == PR || b == PO) && (a == NU || a == OP))
        return Indirect;
    if ((b == HY || b == IS || b == SY || b == NU) && a == NU)
        return Indirect;
    if (b == NU && (a == PO || a == PR))
        return Indirect;
    if ((b == CL || b == CP) && (a == PO || a == PR))
        return Indirect;
    if (b == AL && a == AL)
        return Indirect;
    if (b == IS && a == AL)
        return Indirect;
    if ((b == AL || b == NU) && a == OP)
        return Indirect;
    if (b == CP && (a == AL || a == NU))
        return Indirect;
    return Direct;
}

constexpr std::array<std::array<quint8, 18>, 18> makeTable()
{
    std::array<std::array<quint8, 18>, 18> t{};
    for (int b = 0; b < 18; ++b)
        for (int a = 0; a < 18; ++a)
            t[b][a] = pairAction(b, a);
    return t;
}
constexpr auto kTable = makeTable();

} // namespace

struct WrapCounter::Private
{
    QFont font;
    QFontMetricsF metrics;
    qreal width;
    qreal tabStop;
    mutable std::array<qreal, 256> latin{};
    mutable std::array<bool, 256> known{};

    Private(const QFont &f, qreal w, qreal t) : font(f), metrics(f), width(w), tabStop(t) {}

    qreal advance(char16_t c) const
    {
        if (!known[c]) {
            latin[c] = metrics.horizontalAdvance(QChar(c));
            known[c] = true;
        }
        return latin[c];
    }

    int exactLines(QStringView text) const
    {
        QTextLayout layout(text.toString(), font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setTabStopDistance(tabStop);
        layout.setTextOption(option);
        layout.beginLayout();
        int n = 0;
        for (;;) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(width);
            ++n;
        }
        layout.endLayout();
        return std::max(1, n);
    }
};

WrapCounter::WrapCounter(const QFont &font, qreal width, qreal tabStop)
    : d(new Private(font, width, tabStop))
{
}

WrapCounter::~WrapCounter() = default;

qreal WrapCounter::width() const
{
    return d->width;
}

int WrapCounter::lines(QStringView text) const
{
    const qsizetype n = text.size();
    if (n == 0)
        return 1;
    const qreal W = d->width;
    if (W <= 0)
        return 1;

    // Quick answer for a paragraph that fits whole.
    const char16_t *s = reinterpret_cast<const char16_t *>(text.data());
    qreal total = 0;
    bool hasTab = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c > 0xFF)
            return d->exactLines(text);
        if (c == '\t')
            hasTab = true;
        else
            total += d->advance(c);
    }
    if (!hasTab && total <= W)
        return 1;

    // Greedy filling: a unit runs from one break opportunity to the next;
    // trailing spaces hang past the edge; a unit wider than a whole line is
    // broken between characters.
    int lines = 1;
    qreal x = 0;
    auto tabWidth = [&](qreal at) {
        const qreal next = (std::floor(at / d->tabStop + 1e-9) + 1) * d->tabStop;
        return next - at;
    };
    qsizetype i = 0;
    bool hasContent = false;
    int before = -1; // class before any spaces, -1 at the start
    while (i < n) {
        // The unit: characters up to the next break opportunity.
        qsizetype j = i + 1;
        int last = kClasses[s[i]];
        if (last == SP)
            last = before < 0 ? AL : before;
        int cls = last;
        bool sawSpace = kClasses[s[i]] == SP;
        while (j < n) {
            const int c = kClasses[s[j]];
            if (c == SP) {
                sawSpace = true;
                ++j;
                continue;
            }
            // The layout always breaks after white space; between other
            // characters it follows the pair rules.
            if (sawSpace)
                break;
            const Action act = Action(kTable[cls][c]);
            if (act == Direct)
                break;
            if (c != CM)
                cls = c;
            sawSpace = false;
            ++j;
        }
        before = cls;
        // Width of the unit's content and its trailing spaces, from x.
        qsizetype contentEnd = j;
        while (contentEnd > i && (s[contentEnd - 1] == ' ' || s[contentEnd - 1] == '\t'))
            --contentEnd;
        auto measure = [&](qsizetype from, qsizetype to, qreal at) {
            qreal w = 0;
            for (qsizetype k = from; k < to; ++k)
                w += s[k] == '\t' ? tabWidth(at + w) : d->advance(s[k]);
            return w;
        };
        qreal content = measure(i, contentEnd, x);
        // A unit that doesn't fit goes to the next line, unless the line
        // holds only white space so far: then it is broken where it is.
        if (hasContent && x + content > W) {
            ++lines;
            x = 0;
            hasContent = false;
            content = measure(i, contentEnd, 0);
        }
        if (x + content > W) {
            // Too wide for the line: break between characters.
            for (qsizetype k = i; k < contentEnd; ++k) {
                const qreal w = s[k] == '\t' ? tabWidth(x) : d->advance(s[k]);
                if (x > 0 && x + w > W) {
                    ++lines;
                    x = 0;
                }
                x += s[k] == '\t' ? tabWidth(x) : w;
                hasContent = true;
            }
        } else {
            x += content;
            if (contentEnd > i)
                hasContent = true;
        }
        x += measure(contentEnd, j, x);
        i = j;
    }
    return lines;
}

} // namespace platform
