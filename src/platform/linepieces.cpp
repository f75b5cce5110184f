#include "platform/linepieces.h"

#include "platform/documenttext.h"
#include "platform/textpositions.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace platform {

using namespace docform;

LinePieces::LinePieces(QTextDocument *document, const TextPositions &positions)
    : m_document(document), m_positions(positions)
{
}

bool LinePieces::softAt(int pos) const
{
    return m_positions.isSoftSeparator(pos);
}

bool LinePieces::softBefore(int pos) const
{
    return pos > 0 && m_positions.isSoftSeparator(pos - 1);
}

void LinePieces::updateVisibility(int from, int to)
{
    if (!m_positions.hasSoftSeparators() && m_hidden <= 0)
        return;
    QTextBlock b = m_document->findBlock(from);
    if (b.previous().isValid())
        b = b.previous();
    QTextBlock last = m_document->findBlock(to);
    if (last.next().isValid())
        last = last.next();
    for (; b.isValid(); b = b.next()) {
        const int end = b.position() + b.length() - 1;
        const bool hide = b.length() == 1 && (softAt(end) || softBefore(b.position()));
        if (b.isVisible() == hide) {
            b.setVisible(!hide);
            m_hidden += hide ? 1 : -1;
            m_document->markContentsDirty(b.position(), b.length());
        }
        if (b == last)
            break;
    }
}

bool LinePieces::moveOutOfHidden(QTextCursor &cursor) const
{
    const QTextBlock b = cursor.block();
    if (!b.isValid() || b.isVisible() || cursor.hasSelection())
        return false;
    const int pos = b.position();
    if (softBefore(pos))
        cursor.setPosition(pos - 1);
    else if (b.next().isValid())
        cursor.setPosition(pos + 1);
    else
        return false;
    return true;
}

void LinePieces::prepareDeletion(const QKeyEvent *event, QTextCursor &cursor) const
{
    if (cursor.hasSelection() || event->modifiers() != Qt::NoModifier)
        return;
    const int pos = cursor.position();
    if (event->key() == Qt::Key_Backspace && softBefore(pos))
        cursor.setPosition(pos - 1);
    else if (event->key() == Qt::Key_Delete && softAt(pos))
        cursor.setPosition(pos + 1);
}

bool LinePieces::isPage(const QTextBlock &block)
{
    return block.isValid() && block.text().contains(QChar(kPackedBreak));
}

void LinePieces::unpack(const QTextBlock &page) const
{
    const QString text = page.text();
    const int start = page.position();
    const QTextBlockFormat blockFormat = page.blockFormat();
    QTextCursor c(m_document);
    c.beginEditBlock();
    for (qsizetype i = text.indexOf(QChar(kPackedBreak)); i >= 0; i = text.indexOf(QChar(kPackedBreak), i + 1)) {
        // The break keeps its format (a break style), and its position.
        const int pos = start + int(i);
        const QTextCharFormat format = formatAt(m_document, pos);
        c.setPosition(pos);
        c.setPosition(pos + 1, QTextCursor::KeepAnchor);
        c.removeSelectedText();
        c.insertBlock(blockFormat, format);
    }
    c.endEditBlock();
}

void LinePieces::insertBreak(QTextCursor &cursor, int style, bool withinParagraph) const
{
    cursor.beginEditBlock();
    if (cursor.hasSelection())
        cursor.removeSelectedText();
    const int pos = cursor.position();
    const int separator = softAt(pos) ? pos : softBefore(pos) ? pos - 1 : -1;
    if (separator >= 0) {
        // The break falls where the pieces meet: the separator becomes it.
        QTextCursor s(m_document);
        s.setPosition(separator);
        s.setPosition(separator + 1, QTextCursor::KeepAnchor);
        QTextCharFormat f = withoutOwnProperties(formatAt(m_document, separator));
        if (style >= 0)
            f.setProperty(BreakStyle, style);
        s.setCharFormat(f);
        cursor.setPosition(separator + 1);
    } else {
        QTextCharFormat f = withoutOwnProperties(cursor.charFormat());
        if (style >= 0)
            f.setProperty(BreakStyle, style);
        if (withinParagraph)
            cursor.insertText(QString(QChar(kPackedBreak)), f);
        else
            cursor.insertBlock(cursor.blockFormat(), f);
    }
    cursor.endEditBlock();
}

} // namespace platform
