// The control's keyboard and mouse, and its clipboard data.

#include "platform/richtextbox.h"

#include "platform/documenttext.h"
#include "platform/rtfkept.h"
#include "platform/rtfreader.h"
#include "platform/rtfwriter.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>

namespace platform {

namespace {

// Rich-text source of what the clipboard holds: its own, or a page's
// formatting as the writer writes it; empty when it holds neither.
QByteArray clipboardRichText(const QMimeData *source, const QFont &font)
{
    for (const char *type : {"text/rtf", "application/rtf", "text/richtext"}) {
        const QByteArray data = source->data(QLatin1String(type));
        if (rtf::isRtf(data))
            return data;
    }
    if (!source->hasHtml())
        return QByteArray();
    QTextDocument page;
    page.setDefaultFont(font);
    page.setHtml(source->html());
    return rtf::write(page);
}

int shiftState(Qt::KeyboardModifiers m)
{
    int shift = 0;
    if (m & Qt::ShiftModifier) shift |= 1;
    if (m & Qt::ControlModifier) shift |= 2;
    if (m & Qt::AltModifier) shift |= 4;
    return shift;
}

} // namespace

void RichTextBox::contextMenuEvent(QContextMenuEvent *event)
{
    // A right-button press opens the Quick Link menu, handled by the window.
    event->accept();
}

void RichTextBox::keyPressEvent(QKeyEvent *event)
{
    Q_EMIT KeyDown(event->key(), shiftState(event->modifiers()));
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool plain = (mods & ~Qt::ShiftModifier) == Qt::NoModifier;
    const QString typed = event->text();
    const bool breaks = (key == Qt::Key_Return || key == Qt::Key_Enter) && plain;
    const bool deletes = (key == Qt::Key_Backspace || key == Qt::Key_Delete) && mods == Qt::NoModifier;
    const bool types = !breaks && !deletes && plain && !typed.isEmpty()
        && (typed.at(0) >= QLatin1Char(0x20) || typed.at(0) == QLatin1Char(0x09));
    if (isReadOnly() || !(breaks || deletes || types)) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    applyPendingColours();
    QTextCursor c = textCursor();
    if (deletes)
        m_pieces.prepareDeletion(event, c);
    // A page is made into lines first; that and the key's edit are one
    // step of undo.
    c.beginEditBlock();
    if (!m_file.richText() && LinePieces::isPage(c.block())) {
        const int anchor = c.anchor(), position = c.position();
        m_pieces.unpack(c.block());
        c.setPosition(anchor);
        c.setPosition(position, QTextCursor::KeepAnchor);
    }
    if (breaks) {
        // A new line break takes the style of the line it splits.
        m_pieces.insertBreak(c, m_file.newBreakStyle(document(), m_positions, c.selectionStart()),
                             mods == Qt::ShiftModifier);
    } else if (deletes) {
        if (key == Qt::Key_Backspace)
            c.deletePreviousChar();
        else
            c.deleteChar();
    } else {
        if (overwriteMode() && !c.hasSelection() && !c.atBlockEnd())
            c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        c.insertText(typed, insertionFormat(c));
    }
    c.endEditBlock();
    setTextCursor(c);
    ensureCursorVisible();
    event->accept();
}

void RichTextBox::mousePressEvent(QMouseEvent *event)
{
    int button = 0;
    if (event->button() == Qt::LeftButton)
        button = 1;
    else if (event->button() == Qt::RightButton)
        button = 2;
    else if (event->button() == Qt::MiddleButton)
        button = 4;
    const QPoint p = event->position().toPoint();
    Q_EMIT MouseDown(button, shiftState(event->modifiers()), p.x(), p.y());
    if (event->button() == Qt::RightButton) {
        event->accept(); // the Quick Link menu, not the edit menu
        return;
    }
    if (event->button() == Qt::LeftButton && m_doubleClick.isValid()
        && m_doubleClick.elapsed() < QApplication::doubleClickInterval()
        && (p - m_doubleClickAt).manhattanLength() < QApplication::startDragDistance()) {
        // A third click selects the line with its break, whatever the
        // document's paragraphs.
        m_doubleClick.invalidate();
        const int pos = cursorForPosition(p).position();
        QTextCursor c = textCursor();
        c.setPosition(m_positions.lineStart(pos));
        const int end = m_positions.lineEnd(pos);
        c.setPosition(std::min(end + 1, document()->characterCount() - 1), QTextCursor::KeepAnchor);
        setTextCursor(c);
        event->accept();
        return;
    }
    QPlainTextEdit::mousePressEvent(event);
}

void RichTextBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_doubleClick.start();
        m_doubleClickAt = event->position().toPoint();
    }
    QPlainTextEdit::mouseDoubleClickEvent(event);
}

QMimeData *RichTextBox::createMimeDataFromSelection() const
{
    // The text as it is, every character kept; lines broken with LF as on
    // this system's clipboard.
    auto *data = new QMimeData;
    QString text = SelText();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (m_keepsFormatting) {
        // Notes: the text without anchors, and the rich text with them.
        text.remove(QChar(rtf::kAnchor));
        const QTextCursor c = textCursor();
        if (c.hasSelection()) {
            auto *self = const_cast<RichTextBox *>(this);
            data->setData(QStringLiteral("text/rtf"),
                          rtf::write(*self->formattedCopy(c.selectionStart(), c.selectionEnd())));
        }
    }
    data->setText(text);
    return data;
}

bool RichTextBox::canInsertFromMimeData(const QMimeData *source) const
{
    if (m_keepsFormatting && source
        && (source->hasHtml() || source->hasFormat(QStringLiteral("text/rtf"))
            || source->hasFormat(QStringLiteral("application/rtf"))))
        return true;
    return QPlainTextEdit::canInsertFromMimeData(source);
}

void RichTextBox::insertFromMimeData(const QMimeData *source)
{
    if (!source || isReadOnly())
        return;
    // Notes keep pasted formatting; a text file takes the text.
    const QByteArray rich = m_keepsFormatting ? clipboardRichText(source, document()->defaultFont()) : QByteArray();
    if (!rich.isEmpty())
        insertRichText(rich);
    else if (m_keepsFormatting && source->hasText())
        setSelRTF(source->text());
    else if (source->hasText())
        setSelText(source->text());
    else
        return;
    ensureCursorVisible();
}

} // namespace platform
