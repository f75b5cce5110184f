// The control's keyboard and mouse, and its clipboard data.

#include "platform/richtextbox.h"

#include "platform/documenttext.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>

namespace platform {

namespace {

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
        c.insertText(typed);
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
    data->setText(text);
    return data;
}

void RichTextBox::insertFromMimeData(const QMimeData *source)
{
    if (!source || !source->hasText() || isReadOnly())
        return;
    setSelText(source->text());
    ensureCursorVisible();
}

} // namespace platform
