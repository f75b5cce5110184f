#include "platform/displaylines.h"

#include "platform/linebreaks.h"

#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <memory>

namespace platform {

namespace {

// Documents up to this size are all laid out exactly when the wrap width
// changes; larger ones are counted by WrapCounter and the shown paragraphs
// laid out as they are shown.
constexpr int kExactCharacters = 65536;
// A change touching more paragraphs than this is counted, not laid out.
constexpr int kExactChangedParagraphs = 400;

QPlainTextDocumentLayout *plainLayout(QTextDocument *doc)
{
    return qobject_cast<QPlainTextDocumentLayout *>(doc->documentLayout());
}

} // namespace

DisplayLines::DisplayLines(QTextDocument *document) : m_document(document) {}

int DisplayLines::count() const
{
    return std::max(1, m_document->lineCount());
}

int DisplayLines::lineOf(int pos) const
{
    QTextBlock b = m_document->findBlock(pos);
    if (!b.isValid())
        return 0;
    if (auto *layout = plainLayout(m_document))
        layout->ensureBlockLayout(b);
    int inBlock = 0;
    if (QTextLayout *tl = b.layout()) {
        const QTextLine line = tl->lineForTextPosition(pos - b.position());
        if (line.isValid())
            inBlock = line.lineNumber();
    }
    return b.firstLineNumber() + inBlock;
}

void DisplayLines::recount(qreal width)
{
    auto *layout = plainLayout(m_document);
    if (!layout || width <= 0)
        return;
    QTextDocument *doc = m_document;
    const QFont f = doc->defaultFont();
    if (width == m_width && f == m_font)
        return;
    m_width = width;
    m_font = f;
    if (doc->characterCount() <= kExactCharacters) {
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            layout->ensureBlockLayout(b);
        m_lines = doc->lineCount();
        return;
    }
    // Every paragraph's layout was just cleared by the width change: give
    // each its counted line number; the shown ones are laid out exactly
    // when they are painted.
    WrapCounter counter(f, width - 2 * doc->documentMargin(), doc->defaultTextOption().tabStopDistance());
    const QString raw = doc->toRawText();
    qsizetype from = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const int len = b.length() - 1;
        const int lines = b.isVisible() ? counter.lines(QStringView(raw).mid(from, len)) : 0;
        if (b.lineCount() != lines)
            b.setLineCount(lines);
        from += len + 1;
    }
    m_lines = doc->lineCount();
}

void DisplayLines::layoutUpdated(qreal width)
{
    QTextDocument *d = m_document;
    // After a new wrap width the layout has put every paragraph back to one
    // line (none for a hidden one).
    if (d->blockCount() > 1 && d->lineCount() <= d->blockCount() && m_lines > d->blockCount()) {
        m_width = -1;
        recount(width);
    }
}

void DisplayLines::edited(int from, int to)
{
    const QTextBlock first = m_document->findBlock(from);
    const QTextBlock last = m_document->findBlock(to);
    if (first != last) {
        m_pending = true;
        m_from = from;
        m_to = to;
    }
}

void DisplayLines::settle(qreal width)
{
    if (m_pending) {
        m_pending = false;
        QTextDocument *doc = m_document;
        auto *layout = plainLayout(doc);
        if (layout && width > 0) {
            QTextBlock b = doc->findBlock(m_from);
            const QTextBlock last = doc->findBlock(m_to);
            const int span = last.blockNumber() - b.blockNumber() + 1;
            if (span <= kExactChangedParagraphs) {
                while (b.isValid()) {
                    layout->ensureBlockLayout(b);
                    if (b == last)
                        break;
                    b = b.next();
                }
            } else {
                WrapCounter counter(doc->defaultFont(), width - 2 * doc->documentMargin(),
                                    doc->defaultTextOption().tabStopDistance());
                while (b.isValid()) {
                    b.setLineCount(b.isVisible() ? counter.lines(b.text()) : 0);
                    if (b == last)
                        break;
                    b = b.next();
                }
            }
        }
    }
    m_lines = m_document->lineCount();
}

std::future<std::vector<int>> DisplayLines::countInBackground(const QString &text, const QFont &font,
                                                              qreal available, qreal tabStop)
{
    auto counter = std::make_shared<WrapCounter>(font, available, tabStop);
    return std::async(std::launch::async, [counter, &text] {
        std::vector<int> counts;
        qsizetype from = 0;
        for (;;) {
            qsizetype to = text.indexOf(QChar::ParagraphSeparator, from);
            const bool last = to < 0;
            if (last)
                to = text.size();
            counts.push_back(counter->latinLines(QStringView(text).mid(from, to - from)));
            if (last)
                break;
            from = to + 1;
        }
        return counts;
    });
}

void DisplayLines::adopt(const std::vector<int> &counts, qreal width)
{
    QTextDocument *doc = m_document;
    WrapCounter counter(doc->defaultFont(), width - 2 * doc->documentMargin(),
                        doc->defaultTextOption().tabStopDistance());
    size_t i = 0;
    for (QTextBlock b = doc->begin(); b.isValid() && i < counts.size(); b = b.next(), ++i) {
        // -1: a paragraph the other thread could not judge.
        const int lines = counts[i] >= 0 ? counts[i] : counter.lines(b.text());
        if (b.lineCount() != lines)
            b.setLineCount(lines);
    }
    m_width = width;
    m_font = doc->defaultFont();
    m_lines = doc->lineCount();
}

void DisplayLines::countNow(int from, int to, qreal width)
{
    QTextDocument *doc = m_document;
    if (width <= 0)
        return;
    WrapCounter counter(doc->defaultFont(), width - 2 * doc->documentMargin(),
                        doc->defaultTextOption().tabStopDistance());
    const QTextBlock last = doc->findBlock(to);
    for (QTextBlock b = doc->findBlock(from); b.isValid(); b = b.next()) {
        if (b.isVisible()) {
            const int lines = counter.lines(b.text());
            if (b.lineCount() != lines)
                b.setLineCount(lines);
        }
        if (b == last)
            break;
    }
    m_lines = doc->lineCount();
}

} // namespace platform
