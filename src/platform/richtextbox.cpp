#include "platform/richtextbox.h"

#include "platform/documenttext.h"
#include "platform/errors.h"
#include "platform/linebreaks.h"
#include "platform/richtextaccessible.h"
#include "platform/richtextkept.h"
#include "platform/rtfreader.h"
#include "platform/twips.h"

#include <QAbstractTextDocumentLayout>
#include <QAbstractUndoItem>
#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace platform {

namespace {

// Rich-text source as bytes: characters outside ASCII as \uN, so that
// none is lost whatever code page the source names.
QByteArray rtfSourceBytes(const QString &source)
{
    QByteArray out;
    out.reserve(source.size());
    for (const QChar ch : source) {
        if (ch.unicode() < 0x80)
            out.append(char(ch.unicode()));
        else
            out.append("\\u" + QByteArray::number(qint16(ch.unicode())) + '?');
    }
    return out;
}

} // namespace

// Part of every format change of ours: its undo and redo say that the
// change they make is one of formats only.
class FormatUndoMark : public QAbstractUndoItem
{
public:
    explicit FormatUndoMark(RichTextBox *box) : m_box(box) {}
    void undo() override { m_box->m_formatUndo = true; }
    void redo() override { m_box->m_formatUndo = true; }

private:
    RichTextBox *m_box;
};

QFont RichTextBox::defaultTextFont()
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::TypeWriter);
    f.setPointSizeF(9);
    f.setKerning(false);
    return f;
}

RichTextBox::RichTextBox(QWidget *parent)
    : QPlainTextEdit(parent),
      m_positions(document()),
      m_colours(document()),
      m_lines(document()),
      m_pieces(document(), m_positions)
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
        c.select(QTextCursor::Document);
        const QTextCharFormat plain;
        insertText(c, text, &plain);
    }
    m_file.setRichText(false);
    m_colours.clear();
    setTextCursor(QTextCursor(document()));
    showColours();
}

void RichTextBox::insertText(QTextCursor &c, const QString &text, const QTextCharFormat *base)
{
    FormOptions options;
    options.pack = true;
    options.breakStyle = m_file.newBreakStyle(document(), m_positions, c.selectionStart());
    const DocumentForm form = toDocumentForm(text, options);
    c.beginEditBlock();
    const int start = base ? insertDocumentForm(c, form, *base) : insertDocumentForm(c, form);
    if (form.text.size() > docform::kLongLine) {
        const qreal width = wrapWidth();
        QTextDocument *doc = document();
        const WrapCounter wrap(doc->defaultFont(), width - 2 * doc->documentMargin(),
                               doc->defaultTextOption().tabStopDistance());
        splitLongParagraphs(doc, start, c.position(), width > 0 ? &wrap : nullptr);
    }
    c.endEditBlock();
}

qreal RichTextBox::wrapWidth() const
{
    return isVisible() ? viewport()->width() : 0;
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
    insertText(c, text, nullptr);
    setTextCursor(c);
}

void RichTextBox::setSelRTF(const QString &source)
{
    const QByteArray bytes = rtfSourceBytes(source);
    if (rtf::isRtf(bytes)) {
        insertRichText(bytes);
        return;
    }
    applyPendingColours();
    QTextCursor c = textCursor();
    insertText(c, source, nullptr);
    setTextCursor(c);
}

void RichTextBox::setKeepsFormatting(bool keep)
{
    if (keep && !m_keepsFormatting)
        showKeptObjects(document());
    m_keepsFormatting = keep;
}

void RichTextBox::insertRichText(const QByteArray &source)
{
    applyPendingColours();
    QTextCursor c = textCursor();
    m_file.setRichText(true);
    {
        Nesting::Scope own(m_ownFormatting);
        c.beginEditBlock();
        // A document's header is the notes' own: pasted text brings none.
        rtf::insert(c, source, m_keepsFormatting ? rtf::Keep::Groups : rtf::Keep::TextOnly);
        c.endEditBlock();
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
    QTextCharFormat f;
    f.setFontPointSize(points);
    changeFormat(f);
    const QTextCursor c = textCursor();
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
    changeFormat(f);
}

void RichTextBox::changeFormat(const QTextCharFormat &f)
{
    QTextCursor c = textCursor();
    Nesting::Scope formatOnly(m_formatOnly);
    if (!c.hasSelection()) {
        mergeCurrentCharFormat(f);
        return;
    }
    c.beginEditBlock();
    document()->appendUndoItem(new FormatUndoMark(this));
    c.mergeCharFormat(f);
    c.endEditBlock();
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

// ---------------------------------------------------------------- changes

void RichTextBox::onContentsChange(int position, int removed, int added)
{
    if (m_loading.active())
        return;
    QTextDocument *doc = document();
    const bool undoing = doc->availableUndoSteps() < m_lastUndoSteps;
    const bool redoing = doc->availableRedoSteps() < m_lastRedoSteps && !undoing;
    rememberUndoSteps();
    const bool formatOnly = m_formatOnly.active() || std::exchange(m_formatUndo, false);
    if (formatOnly) {
        showColours();
        return;
    }
    m_positions.textChanged(position, removed, added);
    Q_EMIT textEdited(position, added);
    m_colours.textChanged(position, removed, added, !m_ownFormatting.active(), undoing || redoing);
    rememberUndoSteps(); // the colours may have added a step of their own
    // The edited paragraphs get their moved colours now, before the layout
    // lays them out, so that it does so once.
    if (isVisible()) {
        const QTextBlock last = doc->findBlock(position + added);
        for (QTextBlock b = doc->findBlock(position); b.isValid(); b = b.next()) {
            m_colours.decorate(b);
            if (b == last)
                break;
        }
    }
    if (added > 0 && removed != added)
        m_lines.edited(position, position + added);
    m_changedFrom = m_changedFrom < 0 ? position : std::min(m_changedFrom, position);
    m_changedTo = std::max(m_changedTo, position + added);
}

void RichTextBox::onContentsChanged()
{
    if (m_loading.active())
        return;
    if (m_changedFrom >= 0) {
        m_pieces.updateVisibility(m_changedFrom, m_changedTo);
        QTextCursor c = textCursor();
        if (m_pieces.moveOutOfHidden(c)) {
            const QSignalBlocker quiet(this);
            setTextCursor(c);
        }
        m_changedFrom = m_changedTo = -1;
    }
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

} // namespace platform
