#include "platform/textpositions.h"

#include "platform/documenttext.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <climits>

namespace platform {

using namespace docform;

namespace {
constexpr qsizetype kKeptTextSize = 65536;
constexpr char16_t kCrLf[2] = {u'\r', u'\n'};
constexpr char16_t kLf[1] = {u'\n'};

// Adds sorted new positions to a list.
void addAll(PositionList &list, const std::vector<int> &added)
{
    if (added.size() <= 64) {
        for (int p : added)
            list.insert(p);
        return;
    }
    std::vector<int> merged;
    const std::vector<int> old = list.all();
    merged.reserve(old.size() + added.size());
    std::merge(old.begin(), old.end(), added.begin(), added.end(), std::back_inserter(merged));
    list.assign(merged);
}

} // namespace

TextPositions::TextPositions(QTextDocument *document) : m_document(document)
{
    m_release.setSingleShot(true);
    m_release.setInterval(0);
    QObject::connect(&m_release, &QTimer::timeout, [this] {
        m_text = QString();
        m_textStamp = ~quint64(0);
    });
}

int TextPositions::documentLength() const
{
    return m_document->characterCount() - 1;
}

int TextPositions::toText(int documentPos) const
{
    return documentPos + int(m_hard.countBelow(documentPos)) - int(m_soft.countBelow(documentPos));
}

int TextPositions::toDocument(int textPos) const
{
    if (textPos <= 0)
        return 0;
    // The last document position whose Text position is at or before
    // textPos: the LF half of a break maps to the end of its line, and the
    // place of a soft separator to the start of the piece after it.
    int lo = 0, hi = documentLength();
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (toText(mid) <= textPos)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

int TextPositions::textLength() const
{
    return documentLength() + int(m_hard.size()) - int(m_soft.size());
}

int TextPositions::lineStart(int documentPos) const
{
    const size_t k = m_hard.countBelow(documentPos);
    return k == 0 ? 0 : m_hard.at(k - 1) + 1;
}

std::vector<int> TextPositions::inRange(const PositionList &list, int from, int to)
{
    std::vector<int> out;
    for (PositionList::Reader r = list.from(from); !r.atEnd() && r.position() < to; r.next())
        out.push_back(r.position());
    return out;
}

int TextPositions::startOfLine(int line) const
{
    if (line < 0 || line > breakCount())
        return -1;
    return line == 0 ? 0 : m_hard.at(size_t(line - 1)) + 1;
}

int TextPositions::lineEnd(int documentPos) const
{
    const PositionList::Reader r = m_hard.from(documentPos);
    return r.atEnd() ? documentLength() : r.position();
}

QString TextPositions::convert(int from, int to, const char16_t *lineBreak, int breakLength, bool keepSoft) const
{
    QString raw;
    if (from == 0 && to >= documentLength()) {
        raw = m_document->toRawText();
    } else {
        QTextCursor c(m_document);
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        raw = c.selectedText();
    }
    const qsizetype n = raw.size();
    QString out;
    out.resize(n + qsizetype(m_hard.countBelow(to) - m_hard.countBelow(from)) * (breakLength - 1));
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    const char16_t *s = reinterpret_cast<const char16_t *>(raw.constData());
    PositionList::Reader soft = m_soft.from(from);
    qsizetype w = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c != kSeparator && c != kPackedBreak && c != kStandIn) {
            d[w++] = c;
            continue;
        }
        const int pos = from + int(i);
        if (c == kStandIn) {
            const QVariant original = formatAt(m_document, pos).property(StandsFor);
            d[w++] = original.isValid() ? char16_t(original.toInt()) : c;
            continue;
        }
        while (!soft.atEnd() && soft.position() < pos)
            soft.next();
        if (c == kSeparator && !soft.atEnd() && soft.position() == pos) {
            if (keepSoft)
                d[w++] = 0x200B; // zero width space: no character of the text
            continue;
        }
        for (int k = 0; k < breakLength; ++k)
            d[w++] = lineBreak[k];
    }
    out.truncate(w);
    return out;
}

QString TextPositions::text() const
{
    if (m_textStamp == m_stamp)
        return m_text;
    QString out = convert(0, documentLength(), kCrLf, 2, false);
    keepText(out);
    return out;
}

QString TextPositions::plainText() const
{
    return convert(0, documentLength(), kLf, 1, false);
}

QString TextPositions::plainText(int from, int to) const
{
    return convert(from, to, kLf, 1, false);
}

QString TextPositions::text(int from, int to) const
{
    return convert(from, to, kCrLf, 2, false);
}

QString TextPositions::accessibleText(int from, int to) const
{
    return convert(from, to, kLf, 1, true);
}

void TextPositions::keepText(QString text) const
{
    m_text = std::move(text);
    m_textStamp = m_stamp;
    if (m_text.size() > kKeptTextSize)
        m_release.start();
}

void TextPositions::adoptText(QString text)
{
    keepText(std::move(text));
}

void TextPositions::reset(const std::vector<int> &hard, const std::vector<int> &soft)
{
    ++m_stamp;
    m_hard.assign(hard);
    m_soft.assign(soft);
}

void TextPositions::textChanged(int position, int removed, int added)
{
    ++m_stamp;
    m_hard.textChanged(position, removed, added);
    m_soft.textChanged(position, removed, added);
    const int end = std::min(position + added, documentLength());
    if (end <= position)
        return;
    QString chars;
    if (end - position <= 32) {
        for (int p = position; p < end; ++p)
            chars += m_document->characterAt(p);
    } else {
        QTextCursor c(m_document);
        c.setPosition(position);
        c.setPosition(end, QTextCursor::KeepAnchor);
        chars = c.selectedText();
    }
    std::vector<int> hard, soft;
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const char16_t c = chars.at(i).unicode();
        if (c == kPackedBreak) {
            hard.push_back(position + int(i));
        } else if (c == kSeparator) {
            const int p = position + int(i);
            if (formatAt(m_document, p).boolProperty(SoftBreak))
                soft.push_back(p);
            else
                hard.push_back(p);
        }
    }
    addAll(m_hard, hard);
    addAll(m_soft, soft);
}

// ---------------------------------------------------------------- sweep

TextPositions::Sweep TextPositions::sweep() const
{
    return Sweep(*this);
}

TextPositions::Sweep::Sweep(const TextPositions &p)
    : m_p(p), m_hard(p.m_hard.all()), m_soft(p.m_soft.all()), m_length(p.documentLength())
{
}

void TextPositions::Sweep::seek(int documentPos)
{
    m_h = size_t(std::lower_bound(m_hard.begin(), m_hard.end(), documentPos) - m_hard.begin());
    m_s = size_t(std::lower_bound(m_soft.begin(), m_soft.end(), documentPos) - m_soft.begin());
    m_weight = int(m_h) - int(m_s);
}

int TextPositions::Sweep::toDocument(int t)
{
    if (t < m_last)
        seek(m_p.toDocument(t));
    m_last = t;
    const size_t hardCount = m_hard.size();
    const size_t softCount = m_soft.size();
    for (;;) {
        const int hp = m_h < hardCount ? m_hard[m_h] : INT_MAX;
        const int sp = m_s < softCount ? m_soft[m_s] : INT_MAX;
        if (hp < sp) {
            if (t >= hp + m_weight + 2) {
                ++m_weight;
                ++m_h;
                continue;
            }
            if (t == hp + m_weight + 1)
                return hp; // the LF half of a break: the end of its line
        } else if (sp != INT_MAX && t >= sp + m_weight) {
            --m_weight;
            ++m_s;
            continue;
        }
        break;
    }
    return std::clamp(t - m_weight, 0, m_length);
}

} // namespace platform
