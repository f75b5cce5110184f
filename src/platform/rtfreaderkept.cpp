// What the rich-text reader keeps of what the control can't show, for the
// writer to put back (rtfkept.h): groups as anchors, fields around their
// result text, the words and ends of table rows, hidden text.

#include "platform/rtfreading.h"

#include <QStringList>
#include <QTextCursor>

#include <utility>

namespace rtf::reading {

namespace {

// The target of a HYPERLINK field's instruction: its address, with its
// \l location after a '#'; empty for any other field.
QString hyperlinkTarget(const QString &instruction)
{
    QStringList words;
    QString word;
    bool quoted = false, inWord = false;
    for (const QChar ch : instruction) {
        if (ch == QLatin1Char('"')) {
            if (quoted)
                words.append(std::exchange(word, QString()));
            quoted = !quoted;
            inWord = false;
        } else if (!quoted && ch.isSpace()) {
            if (inWord)
                words.append(std::exchange(word, QString()));
            inWord = false;
        } else {
            word.append(ch);
            inWord = !quoted;
        }
    }
    if (inWord || quoted)
        words.append(word);
    if (words.isEmpty() || words.first().compare(QLatin1String("HYPERLINK"), Qt::CaseInsensitive) != 0)
        return QString();
    QString address, location;
    for (qsizetype i = 1; i < words.size(); ++i) {
        const QString &w = words.at(i);
        if (w == QLatin1String("\\l") && i + 1 < words.size())
            location = words.at(++i);
        else if ((w == QLatin1String("\\o") || w == QLatin1String("\\t")) && i + 1 < words.size())
            ++i; // a tip or a target frame
        else if (!w.startsWith(QLatin1Char('\\')) && address.isEmpty())
            address = w;
    }
    return location.isEmpty() ? address : address + QLatin1Char('#') + location;
}

} // namespace

QByteArray Reader::keptSource(qsizetype start) const
{
    QByteArray source(m_begin + start, offset(m_p) - start);
    source.append(QByteArray(m_endBraces, '}'));
    return source;
}

void Reader::keepGroup(const State &closed)
{
    if (closed.keep == KeepAs::FieldPart) {
        if (closed.dest == Dest::Instruction && state().field >= 0)
            m_fields[size_t(state().field)].instruction = m_instruction;
        return;
    }
    const QByteArray source = keptSource(closed.groupStart);
    // Only a whole group can be put back without swallowing what follows.
    if (!isWholeGroup(source))
        return;
    emitAnchor(closed.keep == KeepAs::Header ? Kept::HeaderGroup : Kept::Group, source, state().unicodeSkip);
}

bool Reader::emitAnchor(Kept kind, const QVariant &source, int unicodeSkip)
{
    if (m_keep == Keep::TextOnly || m_kept >= kMaxKept)
        return false;
    ++m_kept;
    syncRun();
    flushRun();
    insertAnchor(charFormat(m_runFormat), m_runFormat.chain, kind, source, unicodeSkip);
    return true;
}

QTextCharFormat Reader::anchorFormat(const QTextCharFormat &base, Kept kind, const QVariant &source,
                                     int unicodeSkip) const
{
    QTextCharFormat format = base;
    format.setObjectType(kAnchorObject);
    format.setProperty(KeptKind, int(kind));
    if (source.isValid())
        format.setProperty(KeptSource, source);
    format.setProperty(KeptSerial, nextSerial());
    if (unicodeSkip != 1)
        format.setProperty(KeptUnicodeSkip, unicodeSkip);
    return format;
}

void Reader::insertAnchor(const QTextCharFormat &base, int chain, Kept kind, const QVariant &source,
                          int unicodeSkip)
{
    // The header's groups are no part of the text: hidden text around one
    // is still one run.
    if (kind != Kept::HeaderGroup)
        finishHidden();
    markShown(chain);
    ++m_output;
    placeAnchor(anchorFormat(base, kind, source, unicodeSkip));
}

void Reader::placeAnchor(const QTextCharFormat &format)
{
    // After a cell end that is not yet written, it waits for it.
    if (m_cellPending)
        m_afterCell.push_back(format);
    else
        m_cursor.insertText(QString(QChar(kAnchor)), format);
}

void Reader::insertText(const QString &text, const QTextCharFormat &format)
{
    finishHidden();
    m_cursor.insertText(text, format);
}

// Hidden text waits, so that more hidden text that looks the same joins
// it: the writer writes such runs as one.
void Reader::keepHidden(const QString &text, const QTextCharFormat &format, int chain)
{
    markShown(chain);
    if (m_hiddenPending && chain == m_hiddenChain && format == m_hiddenFormat) {
        m_hiddenText += text;
        return;
    }
    finishHidden();
    if (m_kept >= kMaxKept)
        return;
    ++m_kept;
    m_hiddenPending = true;
    m_hiddenText = text;
    m_hiddenFormat = format;
    m_hiddenChain = chain;
}

void Reader::finishHidden()
{
    if (!std::exchange(m_hiddenPending, false))
        return;
    placeAnchor(anchorFormat(m_hiddenFormat, Kept::HiddenText, std::exchange(m_hiddenText, QString()), 1));
}

void Reader::markShown(int chain)
{
    for (const int field : m_chains[size_t(chain)].fieldIndexes)
        m_fields[size_t(field)].shown = true;
}

// ---------------------------------------------------------------- fields

void Reader::beginField()
{
    State &s = state();
    // Its source begins with the group: text the group showed before the
    // word would be kept twice.
    if (m_keep == Keep::TextOnly || m_overflow > 0 || m_kept >= kMaxKept || m_output != s.outputAtStart
        || (s.field >= 0 && m_fields[size_t(s.field)].depth == int(m_stack.size())))
        return;
    ++m_kept;
    Field field;
    field.start = s.groupStart;
    field.depth = int(m_stack.size());
    field.serial = nextSerial();
    field.parentChain = s.chain;
    field.outputAtStart = m_output;
    s.field = int(m_fields.size());
    m_fields.push_back(field);
}

// The result's text shows; each of its characters carries the field's
// source up to the result, which the writer puts back around it.
void Reader::beginFieldResult()
{
    const size_t depth = m_stack.size();
    if (depth < 2 || m_stack[depth - 2].field < 0)
        return;
    const int index = m_stack[depth - 2].field;
    Field &field = m_fields[size_t(index)];
    if (field.depth != int(depth) - 1 || field.resultStarted)
        return;
    field.resultStarted = true;
    // Text of its own before the result shows; its source is not kept twice.
    if (m_output != field.outputAtStart)
        return;
    State &s = state();
    const QByteArray prefix(m_begin + field.start, s.groupStart - field.start);
    if (!isFieldStart(prefix))
        return;
    const Chain &parent = m_chains[size_t(field.parentChain)];
    Chain chain;
    chain.fields = parent.fields;
    chain.fields.append(QVariant(QVariantList{field.serial, prefix}));
    chain.fieldIndexes = parent.fieldIndexes;
    chain.fieldIndexes.push_back(index);
    chain.serial = field.serial;
    chain.href = hyperlinkTarget(field.instruction);
    if (chain.href.isEmpty())
        chain.href = parent.href;
    s.chain = int(m_chains.size());
    m_chains.push_back(std::move(chain));
    m_formatDirty = true;
}

void Reader::endField(int index)
{
    flushRun();
    const Field &field = m_fields[size_t(index)];
    if (field.shown || m_output != field.outputAtStart)
        return;
    // Nothing of it shows (no result, or an empty one): the whole field is
    // an anchor. (Text of its own outside the result shows, and is not
    // kept twice.)
    const QByteArray source = keptSource(field.start);
    if (isWholeGroup(source))
        emitAnchor(Kept::Group, source, state().unicodeSkip);
}

void Reader::instructionChar(char16_t ch)
{
    if (m_instruction.size() < kMaxInstructionLength)
        m_instruction.append(QChar(ch));
}

// ---------------------------------------------------------------- tables

// A row's definition: \trowd and the words after it that this reader does
// not know (cell boundaries, borders, paragraph words such as \intbl), up
// to the row's first text, group or cell end. The words it knows (fonts,
// sizes, colours) are read as ever and left out, since the writer writes
// its own.
void Reader::startRowWords()
{
    if (m_keep == Keep::TextOnly || m_overflow > 0)
        return;
    if (!m_rowWordsOpen) {
        // The anchor takes the format where the row's words begin.
        syncRun();
        m_rowWordsFormat = charFormat(m_runFormat);
        m_rowWordsChain = m_runFormat.chain;
        m_rowWordsOpen = true;
        m_rowWords.clear();
        ++m_output; // what follows in its group is no group to keep whole
    }
    addRowWord();
}

void Reader::addRowWord()
{
    if (m_rowWordsOpen)
        m_rowWords.append(m_tokenStart, m_p - m_tokenStart);
}

void Reader::finishRowWords()
{
    if (!m_rowWordsOpen)
        return;
    m_rowWordsOpen = false;
    QByteArray words = std::exchange(m_rowWords, QByteArray());
    while (words.endsWith(' '))
        words.chop(1);
    if (isRowWords(words) && m_kept < kMaxKept) {
        ++m_kept;
        flushRun();
        insertAnchor(m_rowWordsFormat, m_rowWordsChain, Kept::RowWords, words, 1);
    }
}

// A cell end shows as a tab once text follows it in the row (or another
// cell end does); at the row's end it is an anchor that shows nothing.
// Until it is known which, anchors that come after it wait for it.
void Reader::cellEnd(bool nested)
{
    finishRowWords();
    if (m_cellPending)
        beginText(true); // the one before shows as a tab
    if (m_keep != Keep::TextOnly) {
        syncRun();
        flushRun();
        finishHidden();
        m_pendingCellFormat = charFormat(m_runFormat);
        m_pendingCellChain = m_runFormat.chain;
    }
    m_cellPending = nested ? 2 : 1;
    ++m_output;
}

void Reader::writePendingCell(bool asTab)
{
    if (m_keep == Keep::TextOnly) {
        m_cellPending = 0;
        if (asTab)
            putChar('\t');
        return;
    }
    flushRun(); // hidden text after it waits for it too
    const bool nested = std::exchange(m_cellPending, 0) == 2;
    markShown(m_pendingCellChain);
    if (asTab) {
        QTextCharFormat format = m_pendingCellFormat;
        format.setProperty(TableMark, int(nested ? Table::NestedCellEnd : Table::CellEnd));
        m_cursor.insertText(QStringLiteral("\t"), format);
        m_atBlockStart = false;
    } else if (m_kept < kMaxKept) {
        ++m_kept;
        m_cursor.insertText(QString(QChar(kAnchor)),
                            anchorFormat(m_pendingCellFormat, nested ? Kept::NestedCellEnd : Kept::CellEnd,
                                         QVariant(), 1));
    }
    for (const QTextCharFormat &format : std::exchange(m_afterCell, {}))
        m_cursor.insertText(QString(QChar(kAnchor)), format);
}

void Reader::rowEnd(bool nested)
{
    finishRowWords();
    if (m_cellPending)
        writePendingCell(false);
    if (!beginText(true))
        return;
    flushRun();
    QTextCharFormat format = charFormat(m_runFormat);
    format.setProperty(TableMark, int(nested ? Table::NestedRowEnd : Table::RowEnd));
    insertText(QStringLiteral("\n"), format);
    markShown(m_runFormat.chain);
    m_atBlockStart = true;
    ++m_output;
}

} // namespace rtf::reading
