// The rich-text reader: the source's tokens, groups and destinations.
// Written by hand: Qt reads no RTF, and the notes need a reader that keeps
// what it can't show (rtfkept.h).

#include "platform/rtfreader.h"

#include "platform/rtfreading.h"

#include <QTextCursor>

#include <algorithm>
#include <atomic>
#include <string_view>

namespace rtf {

namespace reading {

Nesting scanNesting(const char *p, const char *const end)
{
    Nesting n;
    const char *const begin = p;
    while (p < end) {
        const char c = *p++;
        if (c == '{') {
            ++n.depth;
            n.braces = true;
        } else if (c == '}') {
            n.braces = true;
            if (--n.depth == 0 && n.firstClose < 0)
                n.firstClose = p - 1 - begin;
        } else if (c == '\\' && p < end) {
            if (!isLetter(*p)) {
                ++p; // a control symbol, such as an escaped brace
                continue;
            }
            const char *name = p;
            while (p < end && isLetter(*p))
                ++p;
            const bool binary = std::string_view(name, size_t(p - name)) == "bin";
            const bool negative = p < end && *p == '-';
            if (negative)
                ++p;
            qint64 count = 0;
            while (p < end && isDigit(*p)) {
                count = std::min<qint64>(count * 10 + (*p - '0'), qint64(end - begin) + 1);
                ++p;
            }
            if (p < end && *p == ' ')
                ++p;
            if (binary && !negative) {
                if (count > end - p) {
                    n.binaryOverrun = true;
                    return n;
                }
                p += count; // raw bytes, braces included
            }
        }
    }
    return n;
}

int nextSerial()
{
    static std::atomic<int> serial{0};
    return ++serial;
}

namespace {

const char *skipGroup(const char *p, const char *end)
{
    const Nesting n = scanNesting(p, end);
    return n.firstClose < 0 || n.binaryOverrun ? nullptr : p + n.firstClose + 1;
}

} // namespace

void Reader::run()
{
    while (m_p < m_end && !m_done) {
        m_tokenStart = m_p;
        const char c = *m_p;
        if (c == '{') {
            ++m_p;
            openGroup();
        } else if (c == '}') {
            ++m_p;
            closeGroup();
        } else if (c == '\\') {
            ++m_p;
            controlSequence();
        } else if (c == '\r' || c == '\n') {
            ++m_p; // line ends in the source are not text
        } else if (state().dest == Dest::Skip) {
            while (m_p < m_end && *m_p != '{' && *m_p != '}' && *m_p != '\\')
                ++m_p;
        } else {
            plainText();
        }
    }

    // A source that ends inside groups: they end here, and what is kept
    // of them gets the braces it lacks.
    m_tokenStart = m_p = m_end;
    while (!m_done && (m_overflow > 0 || !m_stack.empty())) {
        ++m_endBraces;
        closeGroup();
    }
    finishRowWords();
    if (m_fontNameOpen)
        endFontName();
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        putChar(kReplacement);
    }
    if (m_cellPending)
        writePendingCell(false);
    flushRun();
    finishHidden();
}

void Reader::openGroup()
{
    m_skip = 0;
    finishRowWords();
    if (m_stack.size() >= size_t(kMaxDepth)) {
        ++m_overflow;
        return;
    }
    State child = m_stack.empty() ? State() : m_stack.back();
    child.starred = false;
    child.keep = KeepAs::Nothing;
    child.groupStart = offset(m_tokenStart);
    child.outputAtStart = m_output;
    m_stack.push_back(child);
}

void Reader::closeGroup()
{
    m_skip = 0;
    finishRowWords();
    if (m_overflow > 0) {
        --m_overflow;
        return;
    }
    if (m_stack.empty()) {
        m_done = true;
        return;
    }
    const State closed = m_stack.back();
    m_stack.pop_back();
    if (m_fontNameOpen && qsizetype(m_stack.size()) < m_fontDepth)
        endFontName();
    if (closed.dest == Dest::ColourTable && m_colourSet
        && (m_stack.empty() || m_stack.back().dest != Dest::ColourTable)) {
        finishColour(); // the last entry lacked its ';'
    }
    m_formatDirty = true;
    if (m_stack.empty()) {
        m_done = true; // whatever follows the document's closing brace is not part of it
        return;
    }
    if (closed.keep != KeepAs::Nothing)
        keepGroup(closed);
    if (closed.field >= 0 && m_fields[size_t(closed.field)].depth == int(m_stack.size()) + 1)
        endField(closed.field);
}

void Reader::plainText()
{
    const uchar byte = uchar(*m_p);
    const Dest dest = state().dest;
    if (dest == Dest::Body && m_skip == 0 && byte >= 0x20 && byte < 0x7F) {
        // Plain ASCII is most of any file: take the whole stretch at once.
        const char *q = m_p;
        while (q < m_end) {
            const uchar c = uchar(*q);
            if (c < 0x20 || c >= 0x7F || c == '{' || c == '}' || c == '\\')
                break;
            ++q;
        }
        const char *start = m_p;
        m_p = q;
        if (!beginText(true))
            return;
        if (m_runDoubleByte) {
            m_bytes.append(start, q - start);
        } else {
            m_text.append(QLatin1String(start, q - start));
        }
        m_atBlockStart = false;
        return;
    }
    ++m_p;
    if (byte < 0x20 && byte != '\t')
        return; // stray control bytes (NUL and the like) are not text either
    if (m_skip > 0) {
        --m_skip;
        return;
    }
    if (byte == ';' && dest == Dest::FontTable) {
        endFontName();
        return;
    }
    if (byte == ';' && dest == Dest::ColourTable) {
        finishColour();
        return;
    }
    textByte(byte);
}

void Reader::controlSequence()
{
    if (m_p >= m_end)
        return;
    const char c = *m_p;
    if (!isLetter(c)) {
        ++m_p;
        controlSymbol(c);
        return;
    }
    const char *start = m_p;
    while (m_p < m_end && isLetter(*m_p))
        ++m_p;
    const std::string_view name(start, size_t(m_p - start));

    bool negative = false;
    if (m_p + 1 < m_end && *m_p == '-' && isDigit(m_p[1])) {
        negative = true;
        ++m_p;
    }
    bool hasParam = false;
    qint64 value = 0;
    int digits = 0;
    while (m_p < m_end && isDigit(*m_p)) {
        if (digits < kMaxParamDigits)
            value = value * 10 + (*m_p - '0');
        ++digits;
        ++m_p;
        hasParam = true;
    }
    value = std::min<qint64>(value, INT_MAX);
    const int param = int(negative ? -value : value);
    if (m_p < m_end && *m_p == ' ')
        ++m_p; // the delimiting space belongs to the word

    controlWord(lookupWord(name), hasParam, param);
}

int Reader::readHex()
{
    int value = 0;
    int digits = 0;
    while (digits < 2 && m_p < m_end) {
        const char c = *m_p;
        const int v = c >= '0' && c <= '9' ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (v < 0)
            break;
        value = value * 16 + v;
        ++digits;
        ++m_p;
    }
    return digits ? value : -1;
}

void Reader::skipBinary(int count)
{
    if (count > 0)
        m_p += std::min<qsizetype>(count, m_end - m_p);
}

void Reader::controlSymbol(char c)
{
    const int hex = c == '\'' ? readHex() : -1;
    State &s = state();
    if (c == '*') {
        s.starred = true;
        return;
    }
    if (s.dest == Dest::Skip)
        return;
    if (m_skip > 0) {
        --m_skip;
        return;
    }
    switch (c) {
    case '\\':
    case '{':
    case '}':
        textByte(uchar(c));
        break;
    case '\'':
        if (hex >= 0)
            textByte(uchar(hex));
        break;
    case '~':
        specialChar(0x00A0);
        break;
    case '_':
        specialChar(0x2011);
        break;
    case ' ':
        specialChar(' ');
        break;
    case '\t':
        specialChar('\t');
        break;
    case '\r':
    case '\n':
        paragraphBreak(); // a backslash ending a source line is \par
        break;
    default:
        break; // \- (optional hyphen), \| \: (index marks) and unknown symbols
    }
}

// A group that stops being body text: what it holds is skipped, and kept
// (rtfkept.h) unless it is the writer's to write or lies where nothing is
// kept.
void Reader::beginDestination(Word word)
{
    State &s = state();
    // Only text becomes something kept: a table that a stray word ends is
    // just skipped from there on.
    const bool wasText = s.dest == Dest::Body || s.dest == Dest::Instruction;
    s.dest = Dest::Skip;
    s.keep = KeepAs::Nothing;
    if (m_keep == Keep::TextOnly || m_overflow > 0 || m_stack.size() < 2 || !wasText)
        return;
    const State &parent = m_stack[m_stack.size() - 2];
    // Text shown before the word made the group a destination would be
    // both shown and kept.
    if (parent.dest != Dest::Body || word == Word::Generator || m_output != s.outputAtStart)
        return;
    if (parent.field >= 0) {
        const Field &field = m_fields[size_t(parent.field)];
        if (field.depth == int(m_stack.size()) - 1 && !field.resultStarted) {
            s.keep = KeepAs::FieldPart;
            if (word == Word::FieldInstruction) {
                s.dest = Dest::Instruction;
                m_instruction.clear();
            }
            return;
        }
    }
    // The header's own groups belong there wherever they are found; pasted
    // text brings none.
    if (word == Word::HeaderDest) {
        if (m_keep == Keep::GroupsAndHeader)
            s.keep = KeepAs::Header;
        return;
    }
    s.keep = KeepAs::Anchor;
}

} // namespace reading

bool isWholeGroup(const QByteArray &source)
{
    const reading::Nesting n = reading::scanNesting(source.constData(), source.constData() + source.size());
    return source.startsWith('{') && !n.binaryOverrun && n.firstClose == source.size() - 1;
}

bool isFieldStart(const QByteArray &source)
{
    const reading::Nesting n = reading::scanNesting(source.constData(), source.constData() + source.size());
    return source.startsWith('{') && !n.binaryOverrun && n.firstClose < 0 && n.depth == 1
        && !source.endsWith('\\');
}

bool isRowWords(const QByteArray &source)
{
    const reading::Nesting n = reading::scanNesting(source.constData(), source.constData() + source.size());
    return source.startsWith('\\') && !n.braces && !source.endsWith('\\') && !source.contains("\\bin");
}

bool isRtf(const QByteArray &data)
{
    return data.startsWith("{\\rtf");
}

bool isCompleteDocument(const QByteArray &data)
{
    if (!isRtf(data))
        return false;
    const char *const end = data.constData() + data.size();
    const char *p = reading::skipGroup(data.constData(), end);
    if (!p)
        return false;
    for (; p < end; ++p) {
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n' && *p != '\f' && *p != '\v')
            return false;
    }
    return true;
}

bool insert(QTextCursor &cursor, const QByteArray &data, Keep keep)
{
    if (!isRtf(data))
        return false;
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    reading::Reader(cursor, data, keep).run();
    cursor.endEditBlock();
    return true;
}

} // namespace rtf
