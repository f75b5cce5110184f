#include "platform/textpositions.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace platform {

namespace {
constexpr qsizetype kKeptTextSize = 65536;
}

TextPositions::TextPositions(QTextDocument *document) : m_document(document)
{
    m_release.setSingleShot(true);
    m_release.setInterval(0);
    QObject::connect(&m_release, &QTimer::timeout, [this] {
        m_text = QString();
        m_textStamp = ~quint64(0);
    });
}

int TextPositions::toText(int documentPos) const
{
    const QTextBlock b = m_document->findBlock(documentPos);
    return documentPos + (b.isValid() ? b.blockNumber() : m_document->blockCount() - 1);
}

int TextPositions::toDocument(int textPos) const
{
    if (textPos <= 0)
        return 0;
    // The last paragraph whose Text start is at or before textPos.
    int lo = 0, hi = m_document->blockCount() - 1;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        const QTextBlock b = m_document->findBlockByNumber(mid);
        if (b.position() + mid <= textPos)
            lo = mid;
        else
            hi = mid - 1;
    }
    const QTextBlock b = m_document->findBlockByNumber(lo);
    const int pos = textPos - lo;
    const int blockEnd = b.position() + b.length() - 1;
    return std::min(pos, blockEnd);
}

int TextPositions::textLength() const
{
    return m_document->characterCount() - 1 + (m_document->blockCount() - 1);
}

QString TextPositions::text() const
{
    if (m_textStamp == m_stamp)
        return m_text;
    const QString raw = m_document->toRawText();
    QString out;
    out.resize(raw.size() + m_document->blockCount() - 1);
    QChar *d = out.data();
    qsizetype w = 0;
    for (QChar c : raw) {
        if (c == QChar::ParagraphSeparator) {
            d[w++] = QLatin1Char('\r');
            d[w++] = QLatin1Char('\n');
        } else {
            d[w++] = c;
        }
    }
    out.truncate(w);
    keepText(out);
    return out;
}

QString TextPositions::text(int from, int to) const
{
    QTextCursor c(m_document);
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    QString s = c.selectedText();
    s.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    return s;
}

void TextPositions::keepText(QString text) const
{
    m_text = std::move(text);
    m_textStamp = m_stamp;
    if (m_text.size() > kKeptTextSize)
        m_release.start();
}

void TextPositions::changed()
{
    ++m_stamp;
}

void TextPositions::adoptText(QString text)
{
    keepText(std::move(text));
}

TextPositions::Sweep TextPositions::sweep()
{
    // Text starts of every paragraph, kept while the text stays the same.
    if (m_startsStamp != m_stamp) {
        m_starts.clear();
        m_starts.reserve(size_t(m_document->blockCount()));
        int pos = 0;
        int n = 0;
        for (QTextBlock b = m_document->begin(); b.isValid(); b = b.next(), ++n) {
            m_starts.push_back(pos + n);
            pos += b.length();
        }
        m_startsStamp = m_stamp;
    }
    return Sweep(m_starts, m_document->characterCount() - 1);
}

int TextPositions::Sweep::toDocument(int t)
{
    if (m_hint >= m_starts.size() || m_starts[m_hint] > t)
        m_hint = size_t(std::upper_bound(m_starts.begin(), m_starts.end(), t) - m_starts.begin()) - 1;
    while (m_hint + 1 < m_starts.size() && m_starts[m_hint + 1] <= t)
        ++m_hint;
    const int blockNo = int(m_hint);
    const int blockEnd = m_hint + 1 < m_starts.size() ? m_starts[m_hint + 1] - blockNo - 2 : m_documentLength;
    return std::min(t - blockNo, blockEnd);
}

QString TextPositions::documentForm(const QString &text)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            out += QLatin1Char('\n');
            if (i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (c == QChar::ParagraphSeparator) {
            out += QLatin1Char('\n');
        } else {
            out += c;
        }
    }
    return out;
}

QString TextPositions::crlfText(const QString &plain)
{
    QString out;
    out.reserve(plain.size() + plain.size() / 16);
    qsizetype from = 0;
    for (;;) {
        const qsizetype to = plain.indexOf(QLatin1Char('\n'), from);
        if (to < 0) {
            out += QStringView(plain).mid(from);
            break;
        }
        out += QStringView(plain).mid(from, to - from);
        out += QLatin1String("\r\n");
        from = to + 1;
    }
    return out;
}

} // namespace platform
