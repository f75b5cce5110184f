// The rich-text reader's text: characters in their code pages, runs of one
// format sent to the document, and the font and colour tables that formats
// name.

#include "platform/rtfreading.h"

#include <QColor>
#include <QFont>
#include <QTextCursor>

#include <algorithm>
#include <utility>

namespace rtf::reading {

namespace {

// Pages whose characters may take more than one byte: their bytes are
// gathered and decoded together.
bool multiByte(int codePage)
{
    return codePage == kUtf8 || CodePageDecoder::isDoubleByte(codePage);
}

} // namespace

void Reader::textByte(uchar byte)
{
    switch (state().dest) {
    case Dest::Body:
        if (byte == '\n')
            paragraphBreak(); // \'0a is a line break like any other
        else if (beginText(true))
            appendByte(byte);
        break;
    case Dest::FontTable:
        fontNameByte(byte);
        break;
    case Dest::Instruction:
        instructionChar(byte < 0x80 ? char16_t(byte) : CodePageDecoder::upperHalf(m_docCodePage)[byte - 0x80]);
        break;
    default:
        break;
    }
}

void Reader::specialChar(char16_t ch)
{
    switch (state().dest) {
    case Dest::Body:
        if (beginText(true))
            putChar(ch);
        break;
    case Dest::FontTable:
        fontNameChar(ch);
        break;
    case Dest::Instruction:
        instructionChar(ch);
        break;
    default:
        break;
    }
}

void Reader::unicodeChar(int value)
{
    const char16_t ch = value >= 0 && value <= 0xFFFF ? char16_t(value) : kReplacement;
    const Dest dest = state().dest;
    if (dest == Dest::FontTable) {
        fontNameChar(ch); // surrogates are paired up when the name ends
        return;
    }
    if (dest == Dest::Instruction) {
        instructionChar(ch);
        return;
    }
    if (dest != Dest::Body)
        return;
    if (ch == '\n' || ch == 0x2029) {
        paragraphBreak();
        return;
    }
    if (QChar::isHighSurrogate(ch)) {
        if (!beginText(true))
            return;
        flushBytes();
        m_highSurrogate = ch;
        return;
    }
    if (QChar::isLowSurrogate(ch)) {
        if (!beginText(false))
            return;
        if (!m_highSurrogate) {
            putChar(kReplacement);
            return;
        }
        flushBytes();
        m_text.append(QChar(m_highSurrogate));
        m_text.append(QChar(ch));
        m_highSurrogate = 0;
        m_atBlockStart = false;
        return;
    }
    if (beginText(true))
        putChar(ch);
}

void Reader::paragraphBreak()
{
    if (state().dest != Dest::Body)
        return;
    // A cell end just before a line end shows nothing.
    if (m_cellPending)
        writePendingCell(false);
    if (beginText(true))
        putChar('\n');
}

// The format of the text to come: a change sends the text so far to the
// document.
void Reader::syncRun()
{
    if (!m_formatDirty)
        return;
    m_formatDirty = false;
    const State &s = m_stack.back();
    RunFormat run;
    run.font = s.font < 0 ? m_defaultFont : s.font;
    run.halfPoints = s.halfPoints;
    run.foreground = s.foreground;
    run.background = s.background;
    run.flags = s.flags;
    run.codePage = codePageOfFont(run.font);
    run.chain = s.chain;
    if (!(run == m_runFormat)) {
        flushRun();
        m_runFormat = run;
        m_runDoubleByte = multiByte(run.codePage);
        m_runUpperHalf = CodePageDecoder::upperHalf(run.codePage);
    }
}

// Gets the body ready for more text: hidden text is dropped unless it is
// kept, the format is brought up to date, and anything still owed before
// the new text (the row's definition, a lone high surrogate, a cell
// separator) is written first. Hidden text gathers in a run of its own.
bool Reader::beginText(bool resolveSurrogate)
{
    const bool hidden = m_stack.back().flags & Hidden;
    if (hidden && m_keep == Keep::TextOnly)
        return false;
    finishRowWords();
    syncRun();
    ++m_output;
    if (hidden)
        return true;
    if (resolveSurrogate && m_highSurrogate) {
        m_highSurrogate = 0;
        putChar(kReplacement);
    }
    if (m_cellPending)
        writePendingCell(true);
    return true;
}

void Reader::appendByte(uchar byte)
{
    if (m_runDoubleByte) {
        m_bytes.append(char(byte));
        m_atBlockStart = false;
    } else {
        putChar(byte < 0x80 ? char16_t(byte) : m_runUpperHalf[byte - 0x80]);
    }
}

// Every character reaches the document through here, so characters that
// QTextDocument treats as structure never come from the file's text.
void Reader::putChar(char16_t ch)
{
    if (!m_bytes.isEmpty())
        flushBytes();
    switch (ch) {
    case '\n':
    case 0x2029: // paragraph separator
        m_text.append(QChar('\n'));
        m_atBlockStart = true;
        return;
    case '\r':
    case 0xFDD0: // frame start
    case 0xFDD1: // frame end
    case 0xFFFC: // object replacement
        return;
    default:
        m_text.append(QChar(ch));
        m_atBlockStart = false;
    }
}

void Reader::decode(int codePage, const char *bytes, qsizetype size, QString &out)
{
    if (codePage == kUtf8)
        out += QString::fromUtf8(bytes, size); // a malformed sequence gives U+FFFD
    else
        m_decoder.decode(codePage, bytes, size, out);
}

void Reader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    m_scratch.resize(0);
    decode(m_runFormat.codePage, m_bytes.constData(), m_bytes.size(), m_scratch);
    m_bytes.resize(0);
    for (const QChar ch : std::as_const(m_scratch))
        putChar(ch.unicode());
}

void Reader::flushRun()
{
    flushBytes();
    if (m_text.isEmpty())
        return;
    if (m_runFormat.flags & Hidden) {
        keepHidden(m_text, charFormat(m_runFormat), m_runFormat.chain); // it shows nothing
    } else {
        insertText(m_text, charFormat(m_runFormat));
        markShown(m_runFormat.chain);
    }
    m_text.resize(0); // unlike clear(), keeps the buffer for the next run
}

QTextCharFormat Reader::charFormat(const RunFormat &run)
{
    const auto cached = m_formats.constFind(run);
    if (cached != m_formats.constEnd())
        return cached.value();

    QTextCharFormat format;
    const auto font = m_fonts.constFind(run.font);
    if (font != m_fonts.constEnd() && !font->name.isEmpty()
        && (m_familiesUsed.contains(font->name) || m_familiesUsed.size() < kMaxFamiliesUsed)) {
        m_familiesUsed.insert(font->name);
        format.setFontFamilies({font->name});
    }
    format.setFontPointSize(run.halfPoints / 2.0);
    format.setFontWeight(run.flags & Bold ? QFont::Bold : QFont::Normal);
    if (run.flags & Italic)
        format.setFontItalic(true);
    if (run.flags & Underline)
        format.setFontUnderline(true);
    if (run.flags & Strike)
        format.setFontStrikeOut(true);
    if (run.foreground >= 0 && size_t(run.foreground) < m_colours.size()
        && !m_colours[size_t(run.foreground)].isAuto) {
        format.setForeground(QColor(m_colours[size_t(run.foreground)].rgb));
    }
    if (run.background > 0 && size_t(run.background) < m_colours.size()
        && !m_colours[size_t(run.background)].isAuto) {
        format.setBackground(QColor(m_colours[size_t(run.background)].rgb));
    }
    if (run.chain > 0) {
        const Chain &chain = m_chains[size_t(run.chain)];
        format.setProperty(FieldChain, chain.fields);
        format.setProperty(FieldSerial, chain.serial);
        if (!chain.href.isEmpty()) {
            format.setAnchor(true);
            format.setAnchorHref(chain.href);
        }
    }
    if (m_formats.size() < 1024)
        m_formats.insert(run, format);
    return format;
}

int Reader::codePageOfFont(int font) const
{
    const auto it = m_fonts.constFind(font);
    return it != m_fonts.constEnd() && it->codePage > 0 ? it->codePage : m_docCodePage;
}

void Reader::beginFontEntry(int number)
{
    if (m_fontNameOpen)
        endFontName();
    m_fontNumber = -1;
    if (m_fonts.size() >= kMaxFonts && !m_fonts.contains(number))
        return;
    m_fontNumber = number;
    m_fonts[number] = FontEntry(); // a repeated number: the later entry wins
    m_fontDepth = qsizetype(m_stack.size());
    m_fontNameOpen = true;
    m_fontName.clear();
    m_fontNameBytes.clear();
    m_formatDirty = true;
}

void Reader::fontNameByte(uchar byte)
{
    if (m_fontNameOpen && m_fontName.size() + m_fontNameBytes.size() < kMaxFontNameLength)
        m_fontNameBytes.append(char(byte));
}

void Reader::fontNameChar(char16_t ch)
{
    if (!m_fontNameOpen || m_fontName.size() + m_fontNameBytes.size() >= kMaxFontNameLength)
        return;
    flushFontNameBytes();
    m_fontName.append(QChar(ch));
}

void Reader::flushFontNameBytes()
{
    if (m_fontNameBytes.isEmpty())
        return;
    const int codePage = codePageOfFont(m_fontNumber);
    decode(codePage, m_fontNameBytes.constData(), m_fontNameBytes.size(), m_fontName);
    m_fontNameBytes.clear();
}

void Reader::endFontName()
{
    if (!m_fontNameOpen)
        return;
    m_fontNameOpen = false;
    flushFontNameBytes();
    // Names become font families: no control characters, no broken pairs.
    QString name;
    name.reserve(m_fontName.size());
    const qsizetype size = m_fontName.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar ch = m_fontName.at(i);
        if (ch.isHighSurrogate() && i + 1 < size && m_fontName.at(i + 1).isLowSurrogate()) {
            name.append(ch);
            name.append(m_fontName.at(++i));
        } else if (ch.isSurrogate()) {
            name.append(QChar(kReplacement));
        } else if (ch.unicode() >= 0x20 && !ch.isNonCharacter() && ch.unicode() != 0xFFFC
                   && ch.unicode() != 0x2028 && ch.unicode() != 0x2029) {
            name.append(ch);
        }
    }
    m_fonts[m_fontNumber].name = name.trimmed();
    m_fontName.clear();
    m_formats.clear();
    m_formatDirty = true;
}

void Reader::finishColour()
{
    if (m_colours.size() < size_t(kMaxColours))
        m_colours.push_back({qRgb(m_red, m_green, m_blue), !m_colourSet});
    m_red = m_green = m_blue = 0;
    m_colourSet = false;
    m_formats.clear();
    m_formatDirty = true;
}

} // namespace rtf::reading
