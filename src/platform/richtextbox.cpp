#include "platform/richtextbox.h"

#include "platform/documentloader.h"
#include "platform/errors.h"
#include "platform/linebreaks.h"
#include "platform/richtextaccessible.h"
#include "platform/rtfreader.h"
#include "platform/rtfwriter.h"
#include "platform/atomicfile.h"
#include "platform/twips.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPlainTextDocumentLayout>
#include <QPointer>
#include <QPrinter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <future>
#include <memory>

namespace platform {

namespace {

// Paragraphs up to this many are all laid out exactly when the wrap width
// changes; larger documents are counted by WrapCounter and the shown
// paragraphs laid out as they are shown.
constexpr int kExactParagraphs = 2000;
// A change touching more paragraphs than this is counted, not laid out.
constexpr int kExactChangedParagraphs = 400;

QString normaliseBreaks(const QString &text)
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

} // namespace

QColor colorFromBgr(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

quint32 bgrFromColor(const QColor &color)
{
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}

// Undo of an edit that removed coloured text: brings the colours back with
// the text.
class OverlayUndoItem : public QAbstractUndoItem
{
public:
    OverlayUndoItem(RichTextBox *box, int position, int length, std::vector<ColourRuns::Run> runs)
        : m_box(box), m_position(position), m_length(length), m_runs(std::move(runs))
    {
    }
    void undo() override
    {
        m_box->m_restoring = true;
        m_box->m_restore.position = m_position;
        m_box->m_restore.length = m_length;
        m_box->m_restore.runs = m_runs;
    }
    void redo() override {}

private:
    RichTextBox *m_box;
    int m_position;
    int m_length;
    std::vector<ColourRuns::Run> m_runs;
};

QFont RichTextBox::defaultTextFont()
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::TypeWriter);
    f.setPointSizeF(9);
    f.setKerning(false);
    return f;
}

RichTextBox::RichTextBox(QWidget *parent) : QPlainTextEdit(parent)
{
    installRichTextAccessibility();
    setFont(defaultTextFont());
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A scroll bar that came and went with the text's length would change
    // the wrap width, and so every line's layout, as a file loads.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document()->setDefaultFont(font());
    attachDocument(document());
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &RichTextBox::onCursorMoved);
    connect(this, &QPlainTextEdit::selectionChanged, this, &RichTextBox::onCursorMoved);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &RichTextBox::ensureVisibleColours);
}

RichTextBox::~RichTextBox() = default;

void RichTextBox::attachDocument(QTextDocument *doc)
{
    connect(doc, &QTextDocument::contentsChange, this, &RichTextBox::onContentsChange,
            Qt::UniqueConnection);
    connect(doc, &QTextDocument::contentsChanged, this, &RichTextBox::onContentsChanged,
            Qt::UniqueConnection);
    if (auto *layout = doc->documentLayout()) {
        // A change of the wrap width lays every paragraph out afresh, back
        // to one line each: count them again at once.
        connect(layout, &QAbstractTextDocumentLayout::update, this, &RichTextBox::onLayoutUpdate,
                Qt::UniqueConnection);
    }
    m_lastBlockCount = doc->blockCount();
    m_lastUndoSteps = doc->availableUndoSteps();
    m_lastRedoSteps = doc->availableRedoSteps();
}

// ---------------------------------------------------------------- positions

int RichTextBox::toTextPosition(int documentPos) const
{
    const QTextBlock b = document()->findBlock(documentPos);
    return documentPos + (b.isValid() ? b.blockNumber() : document()->blockCount() - 1);
}

int RichTextBox::toDocumentPosition(int textPos) const
{
    QTextDocument *doc = document();
    if (textPos <= 0)
        return 0;
    // The last paragraph whose Text start is at or before textPos.
    int lo = 0, hi = doc->blockCount() - 1;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        const QTextBlock b = doc->findBlockByNumber(mid);
        if (b.position() + mid <= textPos)
            lo = mid;
        else
            hi = mid - 1;
    }
    const QTextBlock b = doc->findBlockByNumber(lo);
    const int pos = textPos - lo;
    const int blockEnd = b.position() + b.length() - 1;
    return std::min(pos, blockEnd);
}

int RichTextBox::TextLength() const
{
    if (m_suspended)
        return m_suspendedLength; // the text can't change while suspended
    const QTextDocument *doc = document();
    return doc->characterCount() - 1 + (doc->blockCount() - 1);
}

// ---------------------------------------------------------------- Text

QString RichTextBox::Text() const
{
    if (m_textCacheStamp == m_changeStamp)
        return m_textCache;
    const QString raw = document()->toRawText();
    QString out;
    out.resize(raw.size() + document()->blockCount() - 1);
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
    m_textCache = out;
    m_textCacheStamp = m_changeStamp;
    const_cast<RichTextBox *>(this)->releaseTextCacheLater();
    return out;
}

void RichTextBox::prepareLayouts()
{
    // The plain-text layout, when the widest paragraph gets narrower, looks
    // at every paragraph's layout object and makes those that don't exist
    // yet: on a large file that stalls one keystroke. Make them now, a
    // slice at a time while the editor is idle.
    m_layoutsPrepared = 0;
    m_prepareStamp = m_changeStamp;
    QTimer::singleShot(0, this, &RichTextBox::prepareLayoutSlice);
}

void RichTextBox::prepareLayoutSlice()
{
    QTextDocument *doc = document();
    if (m_prepareStamp != m_changeStamp && m_layoutsPrepared == 0)
        return;
    QTextBlock b = doc->findBlockByNumber(m_layoutsPrepared);
    for (int n = 0; b.isValid() && n < 20000; b = b.next(), ++n, ++m_layoutsPrepared)
        b.layout();
    if (b.isValid())
        QTimer::singleShot(0, this, &RichTextBox::prepareLayoutSlice);
}

void RichTextBox::releaseTextCacheLater()
{
    // A large text is kept only while the current handler runs.
    if (m_cacheReleaseQueued || m_textCache.size() <= 65536)
        return;
    m_cacheReleaseQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_cacheReleaseQueued = false;
        m_textCache = QString();
        m_textCacheStamp = ~quint64(0);
    });
}

void RichTextBox::setText(const QString &text)
{
    applyPendingColours();
    QTextCursor c(document());
    ++m_ownFormatting;
    c.beginEditBlock();
    c.select(QTextCursor::Document);
    c.insertText(normaliseBreaks(text), QTextCharFormat());
    c.endEditBlock();
    --m_ownFormatting;
    m_runs.clear();
    setTextCursor(QTextCursor(document()));
    ensureVisibleColours();
    if (document()->blockCount() > kExactParagraphs)
        prepareLayouts();
}

// ---------------------------------------------------------------- selection

int RichTextBox::SelStart() const
{
    if (m_suspended)
        return m_pendingStart;
    const QTextCursor c = textCursor();
    return toTextPosition(c.selectionStart());
}

void RichTextBox::setSelStart(int start)
{
    start = std::clamp(start, 0, TextLength());
    if (m_suspended) {
        m_pendingStart = start;
        m_pendingLength = 0;
        return;
    }
    QTextCursor c = textCursor();
    c.setPosition(toDocumentPosition(start));
    setTextCursor(c);
}

int RichTextBox::SelLength() const
{
    if (m_suspended)
        return m_pendingLength;
    const QTextCursor c = textCursor();
    if (!c.hasSelection())
        return 0;
    return toTextPosition(c.selectionEnd()) - toTextPosition(c.selectionStart());
}

void RichTextBox::setSelLength(int length)
{
    if (length < 0)
        throw ControlError(ControlError::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    if (m_suspended) {
        m_pendingLength = std::min(length, TextLength() - m_pendingStart);
        return;
    }
    const int start = SelStart();
    const int end = std::min(start + length, TextLength());
    QTextCursor c = textCursor();
    c.setPosition(toDocumentPosition(start));
    c.setPosition(toDocumentPosition(end), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

QString RichTextBox::SelText() const
{
    const_cast<RichTextBox *>(this)->applyPendingColours();
    QString s = textCursor().selectedText();
    s.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    return s;
}

void RichTextBox::setSelText(const QString &text)
{
    applyPendingColours();
    QTextCursor c = textCursor();
    c.insertText(normaliseBreaks(text));
    setTextCursor(c);
}

void RichTextBox::setSelRTF(const QString &source)
{
    applyPendingColours();
    QTextCursor c = textCursor();
    const QByteArray bytes = source.toLatin1();
    if (rtf::isRtf(bytes)) {
        ++m_ownFormatting;
        c.beginEditBlock();
        rtf::insert(c, bytes);
        c.endEditBlock();
        --m_ownFormatting;
    } else {
        c.insertText(normaliseBreaks(source));
    }
    setTextCursor(c);
}

// ---------------------------------------------------------------- formats

quint32 RichTextBox::SelColor() const
{
    const_cast<RichTextBox *>(this)->applyPendingColours();
    const QTextCursor c = textCursor();
    quint32 colour = 0;
    if (m_runs.colourAt(c.selectionStart(), &colour))
        return colour;
    QTextCursor probe(document());
    probe.setPosition(c.selectionStart());
    if (c.hasSelection())
        probe.movePosition(QTextCursor::NextCharacter);
    const QTextCharFormat f = probe.charFormat();
    if (f.hasProperty(QTextFormat::ForegroundBrush))
        return bgrFromColor(f.foreground().color());
    return bgrFromColor(palette().color(QPalette::Text));
}

void RichTextBox::setSelColor(quint32 bgr)
{
    if (m_suspended) {
        if (m_pendingLength > 0)
            m_pending.push_back(PendingRun{m_pendingStart, m_pendingLength, bgr});
        return;
    }
    const QTextCursor c = textCursor();
    if (!c.hasSelection())
        return;
    m_runs.paint(c.selectionStart(), c.selectionEnd() - c.selectionStart(), bgr);
    ensureVisibleColours();
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
    ++m_formatOnly;
    if (c.hasSelection())
        c.mergeCharFormat(f);
    else
        mergeCurrentCharFormat(f);
    --m_formatOnly;
    if (c.hasSelection() && c.selectionStart() == 0
        && c.selectionEnd() >= document()->characterCount() - 1) {
        // The whole text has one size now: count lines in it.
        QFont df = document()->defaultFont();
        df.setPointSizeF(points);
        document()->setDefaultFont(df);
    }
    m_countedWidth = -1;
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
    ++m_formatOnly;
    if (c.hasSelection())
        c.mergeCharFormat(f);
    else
        mergeCurrentCharFormat(f);
    --m_formatOnly;
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

void RichTextBox::updateViewportMargin()
{
    // Lines wrap at the right margin: the area between it and the control's
    // right edge stays empty.
    int gap = 0;
    if (m_rightMarginTwips > 0) {
        const int full = contentsRect().width()
            - (verticalScrollBar()->isVisible() ? verticalScrollBar()->width() : 0);
        const int wrap = twipsToPixelsX(m_rightMarginTwips);
        gap = std::max(0, full - wrap);
        gap = std::min(gap, std::max(0, full - 8));
    }
    if (viewportMargins().right() != gap)
        setViewportMargins(0, 0, gap, 0);
}

void RichTextBox::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    updateViewportMargin();
    recountLines();
    ensureVisibleColours();
}

void RichTextBox::showEvent(QShowEvent *event)
{
    QPlainTextEdit::showEvent(event);
    recountLines();
    ensureVisibleColours();
}

void RichTextBox::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_countedWidth = -1;
        recountLines();
    }
}

void RichTextBox::contextMenuEvent(QContextMenuEvent *event)
{
    // A right-button press opens the Quick Link menu, handled by the window.
    event->accept();
}

// ---------------------------------------------------------------- lines

void RichTextBox::onLayoutUpdate()
{
    QTextDocument *d = document();
    if (d->blockCount() > 1 && d->lineCount() == d->blockCount() && m_countedLines != d->lineCount()) {
        m_countedWidth = -1;
        recountLines();
    }
}

void RichTextBox::recountLines()
{
    auto *layout = qobject_cast<QPlainTextDocumentLayout *>(document()->documentLayout());
    if (!layout)
        return;
    // Lines wrap at the viewport's width.
    const qreal textWidth = viewport()->width();
    if (!isVisible())
        return; // laid out when shown
    if (textWidth <= 0)
        return;
    const QFont f = document()->defaultFont();
    if (textWidth == m_countedWidth && f == m_countedFont)
        return;
    m_countedWidth = textWidth;
    m_countedFont = f;
    QTextDocument *doc = document();
    if (doc->blockCount() <= kExactParagraphs) {
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            layout->ensureBlockLayout(b);
        m_countedLines = doc->lineCount();
        return;
    }
    // Every paragraph's layout was just cleared by the width change: give
    // each its counted line number; the shown ones are laid out exactly
    // when they are painted.
    const qreal available = textWidth - 2 * doc->documentMargin();
    WrapCounter counter(f, available, doc->defaultTextOption().tabStopDistance());
    const QString raw = doc->toRawText();
    qsizetype from = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const int len = b.length() - 1;
        const int lines = counter.lines(QStringView(raw).mid(from, len));
        if (b.lineCount() != lines)
            b.setLineCount(lines);
        from += len + 1;
    }
    m_countedLines = doc->lineCount();
}

int RichTextBox::GetLineCount() const
{
    return std::max(1, document()->lineCount());
}

int RichTextBox::LineFromChar() const
{
    const int pos = m_suspended ? toDocumentPosition(m_pendingStart) : textCursor().selectionStart();
    QTextBlock b = document()->findBlock(pos);
    if (!b.isValid())
        return 0;
    if (auto *layout = qobject_cast<QPlainTextDocumentLayout *>(document()->documentLayout()))
        layout->ensureBlockLayout(b);
    int inBlock = 0;
    if (QTextLayout *tl = b.layout()) {
        const QTextLine line = tl->lineForTextPosition(pos - b.position());
        if (line.isValid())
            inBlock = line.lineNumber();
    }
    return b.firstLineNumber() + inBlock;
}

// ---------------------------------------------------------------- changes

bool RichTextBox::textUnchanged(int position, int length) const
{
    QTextDocument *doc = document();
    QTextBlock b = doc->findBlock(position);
    const QTextBlock last = doc->findBlock(position + length);
    while (b.isValid()) {
        const int state = b.userState();
        if (state < 0 || paragraphStamp(b.text(), stampBreakStyle(state)) != state)
            return false;
        if (b == last)
            break;
        b = b.next();
    }
    return true;
}

void RichTextBox::stampBlocks(int fromPos, int toPos)
{
    QTextDocument *doc = document();
    QTextBlock b = doc->findBlock(fromPos);
    const QTextBlock last = doc->findBlock(toPos);
    while (b.isValid()) {
        b.setUserState(paragraphStamp(b.text(), stampBreakStyle(b.userState())));
        if (b == last)
            break;
        b = b.next();
    }
}

void RichTextBox::onContentsChange(int position, int removed, int added)
{
    if (m_loading) {
        ++m_changeStamp;
        return;
    }
    QTextDocument *doc = document();
    const int blocks = doc->blockCount();
    const int undoSteps = doc->availableUndoSteps();
    const int redoSteps = doc->availableRedoSteps();
    const bool undoing = undoSteps < m_lastUndoSteps;
    const bool redoing = redoSteps < m_lastRedoSteps && !undoing;
    m_lastUndoSteps = undoSteps;
    m_lastRedoSteps = redoSteps;

    const bool formatOnly = m_formatOnly > 0
        || (removed == added && blocks == m_lastBlockCount && textUnchanged(position, added));
    m_lastBlockCount = blocks;
    if (formatOnly) {
        ensureVisibleColours();
        return;
    }
    ++m_changeStamp;

    if (!m_runs.isEmpty() || m_restoring) {
        // The colour new text takes: that of the character before the
        // insertion point, or at the start of a paragraph the one after it.
        quint32 inherit = 0;
        bool inherits = false;
        if (added > 0 && m_ownFormatting == 0 && !m_restoring) {
            const bool atParagraphStart =
                position == 0 || doc->characterAt(position - 1) == QChar::ParagraphSeparator;
            if (removed > 0)
                inherits = m_runs.colourAt(position + removed - 1, &inherit);
            else if (!atParagraphStart)
                inherits = m_runs.colourAt(position - 1, &inherit);
            else if (doc->characterAt(position + added) != QChar::ParagraphSeparator)
                inherits = m_runs.colourAt(position, &inherit);
        }
        if (removed > 0 && !undoing && !redoing) {
            std::vector<ColourRuns::Run> lost = m_runs.runsIn(position, position + removed);
            if (!lost.empty()) {
                for (auto &r : lost)
                    r.start -= position;
                QTextCursor c(doc);
                c.joinPreviousEditBlock();
                doc->appendUndoItem(new OverlayUndoItem(this, position, removed, std::move(lost)));
                c.endEditBlock();
                m_lastUndoSteps = doc->availableUndoSteps();
                m_lastRedoSteps = doc->availableRedoSteps();
            }
        }
        m_runs.textChanged(position, removed, added, inherits ? &inherit : nullptr);
        if (m_restoring) {
            m_restoring = false;
            if (m_restore.position == position && added >= m_restore.length) {
                for (const auto &r : m_restore.runs)
                    m_runs.paint(position + r.start, r.length, r.colour);
            }
            m_restore = Restore();
        }
    }

    stampBlocks(position, position + added);

    if (added > 0 && (removed != added || blocks != m_lastBlockCount)) {
        const QTextBlock first = doc->findBlock(position);
        const QTextBlock last = doc->findBlock(position + added);
        if (first != last)
            m_pendingRecount = true, m_recountFrom = position, m_recountTo = position + added;
    }
}

void RichTextBox::onContentsChanged()
{
    if (m_loading)
        return;
    if (m_pendingRecount) {
        m_pendingRecount = false;
        QTextDocument *doc = document();
        auto *layout = qobject_cast<QPlainTextDocumentLayout *>(doc->documentLayout());
        if (layout && viewport()->width() > 0) {
            QTextBlock b = doc->findBlock(m_recountFrom);
            const QTextBlock last = doc->findBlock(m_recountTo);
            const int span = last.blockNumber() - b.blockNumber() + 1;
            if (span <= kExactChangedParagraphs) {
                while (b.isValid()) {
                    layout->ensureBlockLayout(b);
                    if (b == last)
                        break;
                    b = b.next();
                }
            } else {
                WrapCounter counter(doc->defaultFont(), viewport()->width() - 2 * doc->documentMargin(),
                                    doc->defaultTextOption().tabStopDistance());
                while (b.isValid()) {
                    b.setLineCount(counter.lines(b.text()));
                    if (b == last)
                        break;
                    b = b.next();
                }
            }
        }
    }
    m_countedLines = document()->lineCount();
    ensureVisibleColours();
    Q_EMIT Change();
}

void RichTextBox::onCursorMoved()
{
    if (m_suspended || m_loading)
        return;
    Q_EMIT SelChange();
}

// ---------------------------------------------------------------- colours

void RichTextBox::suspendRedraw()
{
    if (m_suspended == 0) {
        m_pendingStart = SelStart();
        m_pendingLength = SelLength();
        m_suspendedLength = TextLength();
        m_pending.clear();
    }
    ++m_suspended;
}

void RichTextBox::resumeRedraw()
{
    if (m_suspended == 0)
        return;
    if (m_suspended > 1) {
        --m_suspended;
        return;
    }
    flushPending(true);
}

void RichTextBox::applyPendingColours()
{
    if (m_suspended)
        flushPending(false);
}

void RichTextBox::flushPending(bool endSuspension)
{
    const int selStart = m_pendingStart;
    const int selLength = m_pendingLength;
    const int suspendDepth = m_suspended;
    m_suspended = 0;
    std::vector<PendingRun> pending;
    pending.swap(m_pending);

    if (!pending.empty())
        applyRuns(pending);
    // The selection the recorded writes left.
    QTextCursor c = textCursor();
    c.setPosition(toDocumentPosition(selStart));
    c.setPosition(toDocumentPosition(std::min(selStart + selLength, TextLength())),
                  QTextCursor::KeepAnchor);
    const QSignalBlocker quiet(this);
    setTextCursor(c);
    if (!endSuspension) {
        m_suspended = suspendDepth;
        m_pendingStart = selStart;
        m_pendingLength = selLength;
    }
    ensureVisibleColours();
    if (endSuspension)
        Q_EMIT SelChange();
}

void RichTextBox::applyRuns(const std::vector<PendingRun> &pending)
{
    QTextDocument *doc = document();
    if (pending.size() < 64) {
        for (const PendingRun &r : pending) {
            const int s = toDocumentPosition(r.start);
            const int e = toDocumentPosition(r.start + r.length);
            m_runs.paint(s, e - s, r.colour);
        }
        return;
    }
    // Text starts of every paragraph (kept while the text stays the same),
    // to turn Text positions into document positions; positions mostly
    // come in order, so the search starts where the last one ended.
    if (m_textStartsStamp != m_changeStamp) {
        m_textStarts.clear();
        m_textStarts.reserve(size_t(doc->blockCount()));
        int pos = 0;
        int n = 0;
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next(), ++n) {
            m_textStarts.push_back(pos + n);
            pos += b.length();
        }
        m_textStartsStamp = m_changeStamp;
    }
    const std::vector<int> &textStarts = m_textStarts;
    const int docLength = doc->characterCount() - 1;
    size_t hint = 0;
    auto toDoc = [&](int t) {
        if (hint >= textStarts.size() || textStarts[hint] > t)
            hint = size_t(std::upper_bound(textStarts.begin(), textStarts.end(), t) - textStarts.begin()) - 1;
        while (hint + 1 < textStarts.size() && textStarts[hint + 1] <= t)
            ++hint;
        const int blockNo = int(hint);
        const int blockEnd = hint + 1 < textStarts.size() ? textStarts[hint + 1] - blockNo - 2 : docLength;
        return std::min(t - blockNo, blockEnd);
    };
    // The writes come as runs that are in order and apart within each
    // stretch written by one pass over the text; later stretches cover
    // earlier ones. Each stretch is merged over the result in one sweep.
    std::vector<ColourRuns::Run> result = m_runs.all();
    size_t i = 0;
    while (i < pending.size()) {
        std::vector<ColourRuns::Run> layer;
        int lastEnd = -1;
        while (i < pending.size()) {
            const PendingRun &r = pending[i];
            const int s = toDoc(r.start);
            const int e = toDoc(r.start + r.length);
            if (s < lastEnd)
                break; // a new stretch begins
            if (e > s) {
                if (!layer.empty() && layer.back().start + layer.back().length == s
                    && layer.back().colour == r.colour)
                    layer.back().length += e - s;
                else
                    layer.push_back(ColourRuns::Run{s, e - s, r.colour});
            }
            lastEnd = std::max(lastEnd, e);
            ++i;
        }
        // Merge: the layer's runs replace whatever lies under them.
        std::vector<ColourRuns::Run> merged;
        merged.reserve(result.size() + layer.size() * 2);
        size_t a = 0;
        for (const ColourRuns::Run &top : layer) {
            const int ts = top.start, te = top.start + top.length;
            while (a < result.size() && result[a].start + result[a].length <= ts)
                merged.push_back(result[a++]);
            // Runs overlapping the top run: keep the parts outside it.
            while (a < result.size() && result[a].start < te) {
                const ColourRuns::Run &r = result[a];
                if (r.start < ts)
                    merged.push_back(ColourRuns::Run{r.start, ts - r.start, r.colour});
                if (r.start + r.length > te) {
                    // The tail may meet later top runs: keep it in play.
                    result[a] = ColourRuns::Run{te, r.start + r.length - te, r.colour};
                    break;
                }
                ++a;
            }
            merged.push_back(top);
        }
        while (a < result.size())
            merged.push_back(result[a++]);
        result.swap(merged);
    }
    m_runs.assign(std::move(result));
}

void RichTextBox::ensureVisibleColours()
{
    // Give the shown paragraphs their colours as display formats.
    QTextDocument *doc = document();
    if (!isVisible())
        return;
    QTextBlock b = firstVisibleBlock();
    const qreal bottom = viewport()->height();
    const QPointF offset = contentOffset();
    int guard = 0;
    while (b.isValid() && guard++ < 2000) {
        const QRectF r = blockBoundingGeometry(b).translated(offset);
        if (r.top() > bottom)
            break;
        QList<QTextLayout::FormatRange> ranges;
        const int start = b.position();
        const auto runs = m_runs.runsIn(start, start + b.length() - 1);
        ranges.reserve(qsizetype(runs.size()));
        for (const auto &run : runs) {
            QTextLayout::FormatRange fr;
            fr.start = run.start - start;
            fr.length = run.length;
            fr.format.setForeground(colorFromBgr(run.colour));
            ranges.append(fr);
        }
        QTextLayout *tl = b.layout();
        if (tl && tl->formats() != ranges) {
            tl->setFormats(ranges);
            doc->markContentsDirty(start, b.length());
        }
        b = b.next();
    }
}

void RichTextBox::paintEvent(QPaintEvent *event)
{
    ensureVisibleColours();
    QPlainTextEdit::paintEvent(event);
}

std::unique_ptr<QTextDocument> RichTextBox::formattedCopy(int from, int to) const
{
    const_cast<RichTextBox *>(this)->applyPendingColours();
    QTextDocument *doc = document();
    if (to < 0)
        to = doc->characterCount() - 1;
    auto copy = std::make_unique<QTextDocument>();
    copy->setDefaultFont(doc->defaultFont());
    QTextCursor src(doc);
    src.setPosition(from);
    src.setPosition(to, QTextCursor::KeepAnchor);
    QTextCursor dst(copy.get());
    dst.beginEditBlock();
    dst.insertFragment(src.selection());
    for (const auto &run : m_runs.runsIn(from, to)) {
        QTextCursor c(copy.get());
        c.setPosition(run.start - from);
        c.setPosition(run.start - from + run.length, QTextCursor::KeepAnchor);
        QTextCharFormat f;
        f.setForeground(colorFromBgr(run.colour));
        c.mergeCharFormat(f);
    }
    dst.endEditBlock();
    return copy;
}

// ---------------------------------------------------------------- files

void RichTextBox::LoadFile(const QString &path)
{
    applyPendingColours();
    LoadedText loaded;
    if (!DocumentPreloader::take(path, &loaded)) {
        int number = 0;
        QString error;
        if (!loadText(path, &loaded, &number, &error))
            throw ControlError(number, error);
    }
    // The file replaces the content of the control's own document, with
    // undo off and the control's change handling quiet until it is in.
    // Meanwhile another thread counts the wrapped lines of a large plain
    // text and makes its Text.
    QTextDocument *doc = document();
    const QString &plain = loaded.decoded.text;
    std::future<std::vector<int>> counting;
    std::future<QString> crlf;
    qreal countWidth = -1;
    if (!loaded.isRichText && loaded.stamps.size() > size_t(kExactParagraphs) && isVisible()
        && viewport()->width() > 0) {
        countWidth = viewport()->width();
        auto counter = std::make_shared<WrapCounter>(document()->defaultFont(),
                                                     countWidth - 2 * doc->documentMargin(),
                                                     doc->defaultTextOption().tabStopDistance());
        counting = std::async(std::launch::async, [counter, &plain] {
            std::vector<int> counts;
            qsizetype from = 0;
            for (;;) {
                qsizetype to = plain.indexOf(QLatin1Char('\n'), from);
                const bool last = to < 0;
                if (last)
                    to = plain.size();
                counts.push_back(counter->latinLines(QStringView(plain).mid(from, to - from)));
                if (last)
                    break;
                from = to + 1;
            }
            return counts;
        });
        crlf = std::async(std::launch::async, [&plain] {
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
        });
    }
    doc->setUndoRedoEnabled(false);
    ++m_loading;
    {
        QTextCursor c(doc);
        c.beginEditBlock();
        c.select(QTextCursor::Document);
        c.removeSelectedText();
        c.setCharFormat(QTextCharFormat());
        c.setBlockFormat(QTextBlockFormat());
        if (loaded.isRichText) {
            rtf::insert(c, loaded.bytes);
        } else {
            c.insertText(loaded.decoded.text);
        }
        c.endEditBlock();
    }
    --m_loading;
    m_loadedRichText = loaded.isRichText;
    if (loaded.isRichText) {
        m_format = TextFileFormat();
        stampBlocks(0, doc->characterCount());
    } else {
        m_format = loaded.decoded.format;
        size_t i = 0;
        for (QTextBlock b = doc->begin(); b.isValid() && i < loaded.stamps.size(); b = b.next(), ++i)
            b.setUserState(loaded.stamps[i]);
    }
    doc->setUndoRedoEnabled(true);
    doc->setModified(false);
    m_lastBlockCount = doc->blockCount();
    m_lastUndoSteps = doc->availableUndoSteps();
    m_lastRedoSteps = doc->availableRedoSteps();
    m_runs.clear();
    ++m_changeStamp;
    m_countedWidth = -1;
    if (counting.valid()) {
        const std::vector<int> counts = counting.get();
        WrapCounter counter(doc->defaultFont(), countWidth - 2 * doc->documentMargin(),
                            doc->defaultTextOption().tabStopDistance());
        size_t i = 0;
        for (QTextBlock b = doc->begin(); b.isValid() && i < counts.size(); b = b.next(), ++i) {
            const int lines = counts[i] >= 0 ? counts[i] : counter.lines(b.text());
            if (b.lineCount() != lines)
                b.setLineCount(lines);
        }
        m_countedWidth = countWidth;
        m_countedFont = doc->defaultFont();
        m_countedLines = doc->lineCount();
        m_textCache = crlf.get();
        m_textCacheStamp = m_changeStamp;
        releaseTextCacheLater();
        prepareLayouts();
    } else {
        recountLines();
    }
    setTextCursor(QTextCursor(doc));
    ensureVisibleColours();
    Q_EMIT Change();
    Q_EMIT SelChange();
}

void RichTextBox::SaveFile(const QString &path)
{
    auto copy = formattedCopy();
    QString error;
    if (!writeFileAtomically(path, rtf::write(*copy), &error))
        throw ControlError(ControlError::PathFileAccess, error);
}

QByteArray RichTextBox::encodedText()
{
    applyPendingColours();
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    if (!m_format.mixedBreaks)
        return encodeText(text, &m_format);
    std::vector<quint8> breaks;
    breaks.reserve(size_t(document()->blockCount()));
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        const int style = stampBreakStyle(b.userState());
        breaks.push_back(style ? quint8(style - 1) : quint8(m_format.lineBreak));
    }
    return encodeText(text, &m_format, &breaks);
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
        from = start < 0 ? current.selectionStart() : toDocumentPosition(start);
        to = end < 0 ? doc->characterCount() - 1 : toDocumentPosition(end);
    }
    if (text.isEmpty())
        return -1;
    QTextCursor found = doc->find(text, from);
    if (found.isNull() || found.selectionEnd() > to)
        return -1;
    setTextCursor(found);
    ensureCursorVisible();
    return toTextPosition(found.selectionStart());
}

void RichTextBox::SelPrint(QPrinter *printer)
{
    if (!printer)
        throw ControlError(ControlError::InvalidPropertyValue, QStringLiteral("No printer"));
    const QTextCursor c = textCursor();
    auto copy = c.hasSelection() ? formattedCopy(c.selectionStart(), c.selectionEnd())
                                 : formattedCopy();
    copy->print(printer);
}

void RichTextBox::Refresh()
{
    viewport()->repaint();
}

void RichTextBox::SetFocus()
{
    setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------- events

void RichTextBox::keyPressEvent(QKeyEvent *event)
{
    int shift = 0;
    if (event->modifiers() & Qt::ShiftModifier) shift |= 1;
    if (event->modifiers() & Qt::ControlModifier) shift |= 2;
    if (event->modifiers() & Qt::AltModifier) shift |= 4;
    Q_EMIT KeyDown(event->key(), shift);
    QPlainTextEdit::keyPressEvent(event);
}

void RichTextBox::mousePressEvent(QMouseEvent *event)
{
    int button = 0;
    if (event->button() == Qt::LeftButton) button = 1;
    else if (event->button() == Qt::RightButton) button = 2;
    else if (event->button() == Qt::MiddleButton) button = 4;
    int shift = 0;
    if (event->modifiers() & Qt::ShiftModifier) shift |= 1;
    if (event->modifiers() & Qt::ControlModifier) shift |= 2;
    if (event->modifiers() & Qt::AltModifier) shift |= 4;
    const QPoint p = event->position().toPoint();
    Q_EMIT MouseDown(button, shift, p.x(), p.y());
    if (event->button() == Qt::RightButton) {
        event->accept(); // the Quick Link menu, not the edit menu
        return;
    }
    QPlainTextEdit::mousePressEvent(event);
}

} // namespace platform
