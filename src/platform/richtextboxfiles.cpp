// The control's files, searching and printing.

#include "platform/richtextbox.h"

#include "platform/documenttext.h"
#include "platform/errors.h"
#include "platform/linebreaks.h"
#include "platform/textprint.h"

#include <QPrinter>
#include <QTextDocument>
#include <QTimer>

#include <future>
#include <malloc.h>

namespace platform {

namespace {

// Texts above this size are counted and made into Text on other threads
// while a file loads.
constexpr qsizetype kCountedText = 65536;

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

} // namespace

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
        hard = m_file.fill(doc, loaded, m_keepsFormatting);
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
    Q_EMIT textLoaded();
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
    auto copy = m_colours.formattedCopy(from, to);
    // Rich text keeps its line separators; plain text has them only as
    // the breaks of pages.
    joinPiecesAndPages(copy.get(), from, m_positions.softSeparators(from, to), !m_file.richText());
    return copy;
}

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

} // namespace platform
