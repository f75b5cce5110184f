#include "platform/richtextbox.h"
#include "platform/textprint.h"

#include "platform/errors.h"
#include "platform/richtextaccessible.h"
#include "platform/rtfreader.h"
#include "platform/twips.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPrinter>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>

namespace platform {

namespace {

// Paragraphs above this many are counted on another thread while a file
// loads.
constexpr int kCountedParagraphs = 2000;

int shiftState(Qt::KeyboardModifiers m)
{
    int shift = 0;
    if (m & Qt::ShiftModifier) shift |= 1;
    if (m & Qt::ControlModifier) shift |= 2;
    if (m & Qt::AltModifier) shift |= 4;
    return shift;
}

} // namespace

QFont RichTextBox::defaultTextFont()
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::TypeWriter);
    f.setPointSizeF(9);
    f.setKerning(false);
    return f;
}

RichTextBox::RichTextBox(QWidget *parent)
    : QPlainTextEdit(parent), m_positions(document()), m_colours(document()), m_lines(document())
{
    installRichTextAccessibility();
    setFont(defaultTextFont());
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A scroll bar that came and went with the text's length would change
    // the wrap width, and so every line's layout, as a file loads.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QTextDocument *doc = document();
    doc->setDefaultFont(font());
    connect(doc, &QTextDocument::contentsChange, this, &RichTextBox::onContentsChange);
    connect(doc, &QTextDocument::contentsChanged, this, &RichTextBox::onContentsChanged);
    // A change of the wrap width lays every paragraph out afresh, back to
    // one line each: count them again at once.
    connect(doc->documentLayout(), &QAbstractTextDocumentLayout::update, this,
            [this] { m_lines.layoutUpdated(isVisible() ? viewport()->width() : 0); });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &RichTextBox::onCursorMoved);
    connect(this, &QPlainTextEdit::selectionChanged, this, &RichTextBox::onCursorMoved);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &RichTextBox::showColours);
    m_lastBlockCount = doc->blockCount();
    rememberUndoSteps();
}

RichTextBox::~RichTextBox() = default;

void RichTextBox::rememberUndoSteps()
{
    m_lastUndoSteps = document()->availableUndoSteps();
    m_lastRedoSteps = document()->availableRedoSteps();
}

// ---------------------------------------------------------------- Text

QString RichTextBox::Text() const
{
    return m_positions.text();
}

int RichTextBox::TextLength() const
{
    if (m_batch.active())
        return m_batch.textLength(); // the text can't change while suspended
    return m_positions.textLength();
}

void RichTextBox::setText(const QString &text)
{
    applyPendingColours();
    {
        Nesting::Scope own(m_ownFormatting);
        QTextCursor c(document());
        c.beginEditBlock();
        c.select(QTextCursor::Document);
        c.insertText(TextPositions::documentForm(text), QTextCharFormat());
        c.endEditBlock();
    }
    m_colours.clear();
    setTextCursor(QTextCursor(document()));
    showColours();
    if (document()->blockCount() > kCountedParagraphs)
        m_lines.prepareLayouts();
}

// ---------------------------------------------------------------- selection

int RichTextBox::SelStart() const
{
    if (m_batch.active())
        return m_batch.selStart();
    return m_positions.toText(textCursor().selectionStart());
}

void RichTextBox::setSelStart(int start)
{
    if (m_batch.active()) {
        m_batch.setSelStart(start);
        return;
    }
    start = std::clamp(start, 0, TextLength());
    QTextCursor c = textCursor();
    c.setPosition(m_positions.toDocument(start));
    setTextCursor(c);
}

int RichTextBox::SelLength() const
{
    if (m_batch.active())
        return m_batch.selLength();
    const QTextCursor c = textCursor();
    if (!c.hasSelection())
        return 0;
    return m_positions.toText(c.selectionEnd()) - m_positions.toText(c.selectionStart());
}

void RichTextBox::setSelLength(int length)
{
    if (length < 0)
        throw ControlError(ControlError::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    if (m_batch.active()) {
        m_batch.setSelLength(length);
        return;
    }
    const int start = SelStart();
    const int end = std::min(start + length, TextLength());
    QTextCursor c = textCursor();
    c.setPosition(m_positions.toDocument(start));
    c.setPosition(m_positions.toDocument(end), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

QString RichTextBox::SelText() const
{
    if (m_batch.active()) {
        const int start = m_batch.selStart();
        return m_positions.text(m_positions.toDocument(start),
                                m_positions.toDocument(start + m_batch.selLength()));
    }
    const QTextCursor c = textCursor();
    return m_positions.text(c.selectionStart(), c.selectionEnd());
}

void RichTextBox::setSelText(const QString &text)
{
    applyPendingColours();
    QTextCursor c = textCursor();
    c.insertText(TextPositions::documentForm(text));
    setTextCursor(c);
}

void RichTextBox::setSelRTF(const QString &source)
{
    applyPendingColours();
    QTextCursor c = textCursor();
    const QByteArray bytes = source.toLatin1();
    if (rtf::isRtf(bytes)) {
        Nesting::Scope own(m_ownFormatting);
        c.beginEditBlock();
        rtf::insert(c, bytes);
        c.endEditBlock();
    } else {
        c.insertText(TextPositions::documentForm(source));
    }
    setTextCursor(c);
}

// ---------------------------------------------------------------- formats

quint32 RichTextBox::SelColor() const
{
    int start;
    bool selected;
    if (m_batch.active()) {
        start = m_positions.toDocument(m_batch.selStart());
        selected = m_batch.selLength() > 0;
        quint32 colour = 0;
        if (m_batch.colourAt(m_batch.selStart(), &colour))
            return colour;
    } else {
        const QTextCursor c = textCursor();
        start = c.selectionStart();
        selected = c.hasSelection();
    }
    quint32 colour = 0;
    if (m_colours.colourAt(start, &colour))
        return colour;
    QTextCursor probe(document());
    probe.setPosition(start);
    if (selected)
        probe.movePosition(QTextCursor::NextCharacter);
    const QTextCharFormat f = probe.charFormat();
    if (f.hasProperty(QTextFormat::ForegroundBrush))
        return bgrFromColor(f.foreground().color());
    return bgrFromColor(palette().color(QPalette::Text));
}

void RichTextBox::setSelColor(quint32 bgr)
{
    if (m_batch.active()) {
        m_batch.colour(bgr);
        return;
    }
    const QTextCursor c = textCursor();
    if (!c.hasSelection())
        return;
    m_colours.paint(c.selectionStart(), c.selectionEnd() - c.selectionStart(), bgr);
    showColours();
}

double RichTextBox::SelFontSize() const
{
    QTextCursor probe(document());
    const QTextCursor c = textCursor();
    probe.setPosition(c.selectionStart());
    if (c.hasSelection())
        probe.movePosition(QTextCursor::NextCharacter);
    const QTextCharFormat f = probe.charFormat();
    if (f.hasProperty(QTextFormat::FontPointSize))
        return f.fontPointSize();
    return document()->defaultFont().pointSizeF();
}

void RichTextBox::setSelFontSize(double points)
{
    if (points <= 0 || points > 1638)
        throw ControlError(ControlError::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    applyPendingColours();
    QTextCursor c = textCursor();
    QTextCharFormat f;
    f.setFontPointSize(points);
    {
        Nesting::Scope formatOnly(m_formatOnly);
        if (c.hasSelection())
            c.mergeCharFormat(f);
        else
            mergeCurrentCharFormat(f);
    }
    if (c.hasSelection() && c.selectionStart() == 0
        && c.selectionEnd() >= document()->characterCount() - 1) {
        // The whole text has one size now: count lines in it.
        QFont df = document()->defaultFont();
        df.setPointSizeF(points);
        document()->setDefaultFont(df);
    }
    m_lines.forget();
    recountLines();
}

bool RichTextBox::SelBold() const
{
    return textCursor().charFormat().fontWeight() >= QFont::Bold;
}

void RichTextBox::setSelBold(bool on)
{
    QTextCharFormat f;
    f.setFontWeight(on ? QFont::Bold : QFont::Normal);
    QTextCursor c = textCursor();
    Nesting::Scope formatOnly(m_formatOnly);
    if (c.hasSelection())
        c.mergeCharFormat(f);
    else
        mergeCurrentCharFormat(f);
}

// ---------------------------------------------------------------- margin

int RichTextBox::RightMargin() const
{
    return m_rightMarginTwips;
}

void RichTextBox::setRightMargin(int twips)
{
    if (twips < 0)
        throw ControlError(ControlError::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    m_rightMarginTwips = twips;
    updateViewportMargin();
}

void RichTextBox::setLeftMargin(int pixels)
{
    pixels = std::max(0, pixels);
    if (pixels == m_leftMargin)
        return;
    m_leftMargin = pixels;
    updateViewportMargin();
    recountLines();
}

void RichTextBox::updateViewportMargin()
{
    // Lines wrap at the right margin: the area between it and the control's
    // right edge stays empty.
    int gap = 0;
    if (m_rightMarginTwips > 0) {
        const int full = contentsRect().width() - m_leftMargin
            - (verticalScrollBar()->isVisible() ? verticalScrollBar()->width() : 0);
        const int wrap = twipsToPixelsX(m_rightMarginTwips);
        gap = std::max(0, full - wrap);
        gap = std::min(gap, std::max(0, full - 8));
    }
    if (viewportMargins().right() != gap || viewportMargins().left() != m_leftMargin)
        setViewportMargins(m_leftMargin, 0, gap, 0);
}

// ---------------------------------------------------------------- lines

void RichTextBox::recountLines()
{
    if (isVisible()) // otherwise counted when shown
        m_lines.recount(viewport()->width());
}

int RichTextBox::GetLineCount() const
{
    return m_lines.count();
}

int RichTextBox::LineFromChar() const
{
    const int pos = m_batch.active() ? m_positions.toDocument(m_batch.selStart()) : textCursor().selectionStart();
    return m_lines.lineOf(pos);
}

// ---------------------------------------------------------------- files

void RichTextBox::LoadFile(const QString &path)
{
    applyPendingColours();
    const LoadedText loaded = DocumentFile::read(path);
    // The file replaces the content of the control's own document, with
    // undo off and the control's change handling quiet until it is in.
    // Meanwhile other threads count the wrapped lines of a large plain
    // text and make its Text.
    QTextDocument *doc = document();
    const QString &plain = loaded.decoded.text;
    std::future<std::vector<int>> counting;
    std::future<QString> crlf;
    const qreal width = viewport()->width();
    if (!loaded.isRichText && loaded.stamps.size() > size_t(kCountedParagraphs) && isVisible() && width > 0) {
        counting = DisplayLines::countInBackground(plain, doc->defaultFont(), width - 2 * doc->documentMargin(),
                                                   doc->defaultTextOption().tabStopDistance());
        crlf = std::async(std::launch::async, [&plain] { return TextPositions::crlfText(plain); });
    }
    doc->setUndoRedoEnabled(false);
    {
        Nesting::Scope loading(m_loading);
        m_file.fill(doc, loaded);
    }
    m_loadedRichText = loaded.isRichText;
    m_loadedHash = loaded.contentHash;
    doc->setUndoRedoEnabled(true);
    doc->setModified(false);
    m_lastBlockCount = doc->blockCount();
    rememberUndoSteps();
    m_colours.clear();
    m_positions.changed();
    m_lines.changed();
    m_lines.forget();
    if (counting.valid()) {
        m_lines.adopt(counting.get(), width);
        m_positions.adoptText(crlf.get());
        m_lines.prepareLayouts();
    } else {
        recountLines();
    }
    setTextCursor(QTextCursor(doc));
    showColours();
    Q_EMIT Change();
    announceSelection(true);
}

void RichTextBox::SaveFile(const QString &path)
{
    DocumentFile::writeRichText(path, *formattedCopy());
}

QByteArray RichTextBox::encodedText()
{
    return m_file.encode(document());
}

std::unique_ptr<QTextDocument> RichTextBox::formattedCopy(int from, int to)
{
    applyPendingColours();
    if (to < 0)
        to = document()->characterCount() - 1;
    return m_colours.formattedCopy(from, to);
}

// ---------------------------------------------------------------- find

int RichTextBox::Find(const QString &text, int start, int end)
{
    applyPendingColours();
    QTextDocument *doc = document();
    const QTextCursor current = textCursor();
    int from, to;
    if (start < 0 && end < 0) {
        if (current.hasSelection()) {
            from = current.selectionStart();
            to = current.selectionEnd();
        } else {
            from = 0;
            to = doc->characterCount() - 1;
        }
    } else {
        from = start < 0 ? current.selectionStart() : m_positions.toDocument(start);
        to = end < 0 ? doc->characterCount() - 1 : m_positions.toDocument(end);
    }
    if (text.isEmpty())
        return -1;
    QTextCursor found = doc->find(text, from);
    if (found.isNull() || found.selectionEnd() > to)
        return -1;
    setTextCursor(found);
    ensureCursorVisible();
    return m_positions.toText(found.selectionStart());
}

void RichTextBox::SelPrint(QPrinter *printer)
{
    if (!printer)
        throw ControlError(ControlError::InvalidPropertyValue, QStringLiteral("No printer"));
    const QTextCursor c = textCursor();
    auto copy = c.hasSelection() ? formattedCopy(c.selectionStart(), c.selectionEnd()) : formattedCopy();
    printText(*copy, printer);
}

void RichTextBox::Refresh()
{
    viewport()->repaint();
}

void RichTextBox::SetFocus()
{
    setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------- changes

void RichTextBox::onContentsChange(int position, int removed, int added)
{
    if (m_loading.active())
        return;
    QTextDocument *doc = document();
    const int blocks = doc->blockCount();
    const bool undoing = doc->availableUndoSteps() < m_lastUndoSteps;
    const bool redoing = doc->availableRedoSteps() < m_lastRedoSteps && !undoing;
    rememberUndoSteps();

    const bool formatOnly = m_formatOnly.active()
        || (removed == added && blocks == m_lastBlockCount && DocumentFile::unchangedText(doc, position, added));
    const bool blocksChanged = blocks != m_lastBlockCount;
    m_lastBlockCount = blocks;
    if (formatOnly) {
        showColours();
        return;
    }
    m_positions.changed();
    m_lines.changed();
    m_colours.textChanged(position, removed, added, !m_ownFormatting.active(), undoing || redoing);
    rememberUndoSteps(); // the colours may have added a step of their own
    DocumentFile::restamp(doc, position, position + added);
    if (added > 0 && (removed != added || blocksChanged))
        m_lines.edited(position, position + added);
}

void RichTextBox::onContentsChanged()
{
    if (m_loading.active())
        return;
    m_lines.settle(viewport()->width());
    showColours();
    Q_EMIT Change();
}

void RichTextBox::onCursorMoved()
{
    if (m_batch.active() || m_loading.active())
        return;
    announceSelection();
}

void RichTextBox::announceSelection(bool force)
{
    const QTextCursor c = textCursor();
    if (!force && c.anchor() == m_shownAnchor && c.position() == m_shownPosition)
        return;
    m_shownAnchor = c.anchor();
    m_shownPosition = c.position();
    Q_EMIT SelChange();
}

// ---------------------------------------------------------------- batches

void RichTextBox::suspendRedraw()
{
    m_batch.enter(SelStart(), SelLength(), TextLength());
}

void RichTextBox::resumeRedraw()
{
    if (m_batch.active() && m_batch.leave())
        flushBatch(true);
}

void RichTextBox::applyPendingColours()
{
    if (m_batch.active())
        flushBatch(false);
}

void RichTextBox::flushBatch(bool ending)
{
    const std::vector<ColourWrite> writes = m_batch.takeWrites();
    if (!writes.empty())
        m_colours.apply(writes, m_positions);
    // The selection the recorded writes left.
    const int start = m_batch.selStart();
    const int end = std::min(start + m_batch.selLength(), m_positions.textLength());
    QTextCursor c = textCursor();
    c.setPosition(m_positions.toDocument(start));
    c.setPosition(m_positions.toDocument(end), QTextCursor::KeepAnchor);
    {
        const QSignalBlocker quiet(this);
        setTextCursor(c);
    }
    showColours();
    // Once the batch is over, the read-outs learn where the selection is.
    if (ending)
        announceSelection();
}

// ---------------------------------------------------------------- display

void RichTextBox::showColours()
{
    // Give the shown paragraphs their colours as display formats.
    if (!isVisible())
        return;
    QTextBlock b = firstVisibleBlock();
    const qreal bottom = viewport()->height();
    const QPointF offset = contentOffset();
    for (int guard = 0; b.isValid() && guard < 2000; ++guard, b = b.next()) {
        if (blockBoundingGeometry(b).translated(offset).top() > bottom)
            break;
        m_colours.decorate(b);
    }
}

void RichTextBox::paintEvent(QPaintEvent *event)
{
    showColours();
    QPlainTextEdit::paintEvent(event);
}

void RichTextBox::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    updateViewportMargin();
    recountLines();
    showColours();
}

void RichTextBox::showEvent(QShowEvent *event)
{
    QPlainTextEdit::showEvent(event);
    recountLines();
    showColours();
}

void RichTextBox::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_lines.forget();
        recountLines();
    }
}

void RichTextBox::contextMenuEvent(QContextMenuEvent *event)
{
    // A right-button press opens the Quick Link menu, handled by the window.
    event->accept();
}

void RichTextBox::keyPressEvent(QKeyEvent *event)
{
    Q_EMIT KeyDown(event->key(), shiftState(event->modifiers()));
    QPlainTextEdit::keyPressEvent(event);
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
    QPlainTextEdit::mousePressEvent(event);
}

} // namespace platform
