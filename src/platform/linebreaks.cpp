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
    qreal width;
    qreal tabStop;
    std::array<qreal, 256> advance{};

    Private(const QFont &f, qreal w, qreal t) : font(f), width(w), tabStop(t)
    {
        const QFontMetricsF metrics(f);
        for (int c = 0; c < 256; ++c)
            advance[size_t(c)] = metrics.horizontalAdvance(QChar(c));
    }

    qreal tabWidth(qreal at) const
    {
        const qreal next = (std::floor(at / tabStop + 1e-9) + 1) * tabStop;
        return next - at;
    }

    int count(QStringView text, std::vector<int> *starts) const;
    int segmentLines(const QChar *chars, qsizetype n, int offset, std::vector<int> *starts) const;

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

int WrapCounter::lines(QStringView text) const
{
    const int n = latinLines(text);
    return n >= 0 ? n : d->exactLines(text);
}

int WrapCounter::latinLines(QStringView text) const
{
    return d->count(text, nullptr);
}

bool WrapCounter::latinLineStarts(QStringView text, std::vector<int> *starts) const
{
    starts->clear();
    if (d->count(text, starts) >= 0)
        return true;
    starts->clear();
    return false;
}

int WrapCounter::Private::count(QStringView text, std::vector<int> *starts) const
{
    // Forced breaks split the paragraph into lines counted each alone.
    int total = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(QChar(0x2028), from);
        const qsizetype end = at < 0 ? text.size() : at + 1;
        const int n = segmentLines(text.data() + from, end - from - (at < 0 ? 0 : 1), int(from), starts);
        if (n < 0)
            return -1;
        total += n;
        if (at < 0)
            return total;
        from = end;
        if (starts)
            starts->push_back(int(from));
    }
}

int WrapCounter::Private::segmentLines(const QChar *chars, qsizetype n, int offset, std::vector<int> *starts) const
{
    if (n == 0)
        return 1;
    const qreal W = width;
    if (W <= 0)
        return 1;
    const char16_t *s = reinterpret_cast<const char16_t *>(chars);
    const qreal *adv = advance.data();

    // Quick answer for a line that fits whole; other scripts are left to
    // the layout itself.
    qreal total = 0;
    bool hasTab = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c > 0xFF)
            return -1;
        hasTab |= c == '\t';
        total += adv[c];
    }
    if (!hasTab && total <= W)
        return 1;

    // Greedy filling, as the layout does it: a unit is a run of non-space
    // characters up to the next break opportunity, followed by its white
    // space, which may hang past the edge. A unit that doesn't fit goes to
    // the next line, unless the line holds only white space so far; a unit
    // wider than the line is broken between characters.
    int lines = 1;
    qreal x = 0;
    bool hasContent = false;
    qsizetype i = 0;
    auto newLine = [&](qsizetype at) {
        ++lines;
        x = 0;
        if (starts)
            starts->push_back(offset + int(at));
    };
    while (i < n) {
        // The unit's content.
        qsizetype j = i;
        qreal w = 0;
        int cls = -1;
        while (j < n) {
            const int c = kClasses[s[j]];
            if (c == SP)
                break;
            if (cls >= 0 && kTable[cls][c] == Direct)
                break;
            if (c != CM || cls < 0)
                cls = c;
            w += adv[s[j]];
            ++j;
        }
        const qsizetype contentEnd = j;
        if (contentEnd > i) {
            if (hasContent && x + w > W) {
                newLine(i);
                hasContent = false;
            }
            if (x + w > W) {
                for (qsizetype k = i; k < contentEnd; ++k) {
                    const qreal cw = adv[s[k]];
                    if (x > 0 && x + cw > W)
                        newLine(k);
                    x += cw;
                }
            } else {
                x += w;
            }
            hasContent = true;
        }
        // Its white space.
        while (j < n && kClasses[s[j]] == SP) {
            x += s[j] == '\t' ? tabWidth(x) : adv[s[j]];
            ++j;
        }
        i = j;
    }
    return lines;
}

} // namespace platform
