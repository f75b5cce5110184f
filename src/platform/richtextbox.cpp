#include "platform/richtextbox.h"
#include "platform/textprint.h"

#include "platform/documenttext.h"
#include "platform/errors.h"
#include "platform/linebreaks.h"
#include "platform/richtextaccessible.h"
#include "platform/rtfreader.h"
#include "platform/twips.h"

#include <QAbstractTextDocumentLayout>
#include <QAbstractUndoItem>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>
#include <QPrinter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <future>
#include <malloc.h>
#include <utility>

namespace platform {

namespace {

// Texts above this size are counted and made into Text on other threads
// while a file loads.
constexpr qsizetype kCountedText = 65536;

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

// Where breaks after a shift by inserted separators now lie: `inserted`
// holds the separators' final positions, in order.
void shiftForInserted(std::vector<int> &positions, const std::vector<int> &inserted)
{
    size_t k = 0;
    for (int &p : positions) {
        while (k < inserted.size() && inserted[k] - int(k) <= p)
            ++k;
        p += int(k);
    }
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
    applyPendingColours();
    QTextCursor c = textCursor();
    const QByteArray bytes = rtfSourceBytes(source);
    if (rtf::isRtf(bytes)) {
        m_file.setRichText(true);
        Nesting::Scope own(m_ownFormatting);
        c.beginEditBlock();
        rtf::insert(c, bytes);
        c.endEditBlock();
    } else {
        insertText(c, source, nullptr);
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

// ---------------------------------------------------------------- files

void RichTextBox::LoadFile(const QString &path)
{
    applyPendingColours();
    const LoadedText loaded = DocumentFile::read(path, window());
    // The file replaces the content of the control's own document, with
    // undo off and the control's change handling quiet until it is in.
    // Meanwhile other threads count the wrapped lines of a large plain
    // text and make its Text.
    QTextDocument *doc = document();
    const qreal width = wrapWidth();
    const qreal available = width - 2 * doc->documentMargin();
    const qreal tabStop = doc->defaultTextOption().tabStopDistance();
    std::future<std::vector<int>> counting;
    std::future<QString> crlf;
    if (!loaded.isRichText && loaded.form.text.size() > kCountedText) {
        if (width > 0)
            counting = DisplayLines::countInBackground(loaded.form.text, doc->defaultFont(), available, tabStop);
        crlf = std::async(std::launch::async, [&loaded] { return crlfText(loaded.form); });
    }
    doc->setUndoRedoEnabled(false);
    std::vector<int> hard, soft;
    {
        Nesting::Scope loading(m_loading);
        hard = m_file.fill(doc, loaded);
        if (counting.valid())
            m_lines.adopt(counting.get(), width);
        if (!loaded.isRichText) {
            // Very long lines go into pieces, laid out one at a time.
            const WrapCounter wrap(doc->defaultFont(), available, tabStop);
            QTextCursor c(doc);
            c.beginEditBlock();
            soft = splitLongParagraphs(doc, 0, doc->characterCount() - 1, width > 0 ? &wrap : nullptr);
            c.endEditBlock();
        }
        if (!soft.empty()) {
            shiftForInserted(hard, soft);
            m_lines.countNow(soft.front(), soft.back() + 1, width);
        }
    }
    m_loadedRichText = loaded.isRichText;
    m_loadedHash = loaded.contentHash;
    doc->setUndoRedoEnabled(true);
    doc->setModified(false);
    rememberUndoSteps();
    m_positions.reset(hard, soft);
    if (crlf.valid())
        m_positions.adoptText(crlf.get());
    m_colours.clear();
    if (!counting.valid()) {
        m_lines.forget();
        recountLines();
    }
    m_pieces.updateVisibility(0, doc->characterCount() - 1);
    setTextCursor(QTextCursor(doc));
    showColours();
    Q_EMIT Change();
    announceSelection(true);
    // What loading freed goes back to the system once the editor is idle.
    QTimer::singleShot(0, this, [] { malloc_trim(0); });
}

void RichTextBox::SaveFile(const QString &path)
{
    DocumentFile::writeRichText(path, *formattedCopy());
}

QByteArray RichTextBox::encodedText()
{
    applyPendingColours();
    return m_file.encode(document(), m_positions);
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
    const QTextCursor current = textCursor();
    const int selStart = m_positions.toText(current.selectionStart());
    const int length = m_positions.textLength();
    int from, to;
    if (start < 0 && end < 0) {
        from = current.hasSelection() ? selStart : 0;
        to = current.hasSelection() ? m_positions.toText(current.selectionEnd()) : length;
    } else {
        from = start < 0 ? selStart : start;
        to = end < 0 ? length : end;
    }
    if (text.isEmpty())
        return -1;
    const qsizetype found = Text().indexOf(text, from, Qt::CaseInsensitive);
    if (found < 0 || found + text.size() > to)
        return -1;
    QTextCursor c = textCursor();
    c.setPosition(m_positions.toDocument(int(found)));
    c.setPosition(m_positions.toDocument(int(found + text.size())), QTextCursor::KeepAnchor);
    setTextCursor(c);
    ensureCursorVisible();
    return int(found);
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
    const bool undoing = doc->availableUndoSteps() < m_lastUndoSteps;
    const bool redoing = doc->availableRedoSteps() < m_lastRedoSteps && !undoing;
    rememberUndoSteps();
    const bool formatOnly = m_formatOnly.active() || std::exchange(m_formatUndo, false);
    if (formatOnly) {
        showColours();
        return;
    }
    m_positions.textChanged(position, removed, added);
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
