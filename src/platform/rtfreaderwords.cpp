// What each control word does to the rich-text reader's state.

#include "platform/rtfreading.h"

#include <algorithm>

namespace rtf::reading {

void Reader::controlWord(const WordEntry *entry, bool hasParam, int param)
{
    State &s = state();
    Word word = entry ? entry->word : Word::Unknown;
    if (s.starred) {
        s.starred = false;
        if (word != Word::Ud && m_stack.size() > 1) {
            const bool destination = word == Word::SkipDest || word == Word::HeaderDest
                || word == Word::Generator || word == Word::FieldInstruction;
            beginDestination(destination ? word : Word::Unknown);
            return;
        }
    }
    if (s.dest == Dest::Skip) {
        if (word == Word::Binary)
            skipBinary(param);
        return;
    }
    if (m_skip > 0 && word != Word::Unicode) {
        --m_skip;
        if (word == Word::Binary)
            skipBinary(param);
        return;
    }

    // A destination word at the top level would swallow the whole document;
    // only a group of its own can become one.
    const bool canChangeDest = m_stack.size() > 1;
    // Kept source is read again wherever it is written back: there, tables
    // and document settings of an embedded document must change nothing.
    const bool embeddedTable = m_keep != Keep::TextOnly && m_stack.size() > 2;
    const bool embedded = m_keep != Keep::TextOnly && m_stack.size() > 1;
    const bool body = s.dest == Dest::Body;
    const bool shown = body && !(s.flags & Hidden);

    switch (word) {
    case Word::Unknown:
        addRowWord();
        break;
    case Word::SkipDest:
    case Word::HeaderDest:
    case Word::Generator:
    case Word::FieldInstruction:
        if (canChangeDest)
            beginDestination(word);
        break;
    case Word::FontTable:
        if (embeddedTable)
            beginDestination(Word::SkipDest);
        else if (canChangeDest)
            s.dest = Dest::FontTable;
        break;
    case Word::ColourTable:
        if (embeddedTable) {
            beginDestination(Word::SkipDest);
        } else if (canChangeDest) {
            s.dest = Dest::ColourTable;
            m_red = m_green = m_blue = 0;
            m_colourSet = false;
        }
        break;
    case Word::Upr:
        if (canChangeDest)
            s.dest = Dest::Upr;
        break;
    case Word::Ud:
        if (s.dest == Dest::Upr)
            s.dest = Dest::Body;
        break;

    case Word::Field:
        if (body && canChangeDest)
            beginField();
        break;
    case Word::FieldResult:
        if (body)
            beginFieldResult();
        break;
    case Word::RowDefaults:
        if (shown)
            startRowWords();
        break;

    case Word::Par:
        paragraphBreak();
        break;
    case Word::SoftBreak:
        // Page and section ends usually follow a \par already.
        if (!m_atBlockStart)
            paragraphBreak();
        break;
    case Word::Tab:
        specialChar('\t');
        break;
    case Word::Cell:
    case Word::NestedCell:
        if (shown)
            cellEnd(word == Word::NestedCell);
        break;
    case Word::Row:
    case Word::NestedRow:
        if (m_keep != Keep::TextOnly && shown) {
            rowEnd(word == Word::NestedRow);
        } else {
            paragraphBreak();
        }
        break;
    case Word::Char:
        specialChar(entry->ch);
        break;

    case Word::Plain:
        s.font = -1;
        s.halfPoints = kDefaultHalfPoints;
        s.foreground = -1;
        s.background = 0;
        s.flags = 0;
        m_formatDirty = true;
        break;
    case Word::Bold:
    case Word::Italic:
    case Word::Underline:
    case Word::Strike:
    case Word::Hidden: {
        const quint8 flag = word == Word::Bold ? Bold
                          : word == Word::Italic ? Italic
                          : word == Word::Underline ? Underline
                          : word == Word::Strike ? Strike
                                                 : Hidden;
        if (hasParam && param == 0)
            s.flags &= quint8(~flag);
        else
            s.flags |= flag;
        m_formatDirty = true;
        break;
    }
    case Word::UnderlineNone:
        s.flags &= quint8(~Underline);
        m_formatDirty = true;
        break;
    case Word::Font:
        if (s.dest == Dest::FontTable) {
            beginFontEntry(std::max(param, 0));
        } else {
            s.font = std::max(param, 0);
            m_formatDirty = true;
        }
        break;
    case Word::FontSize:
        s.halfPoints = param > 0 ? std::clamp(param, kMinHalfPoints, kMaxHalfPoints)
                                 : kDefaultHalfPoints;
        m_formatDirty = true;
        break;
    case Word::Foreground:
        s.foreground = param >= 0 ? param : -1;
        m_formatDirty = true;
        break;
    case Word::Background:
        s.background = std::max(param, 0);
        m_formatDirty = true;
        break;

    case Word::DefaultFont:
        if (embedded)
            break;
        m_defaultFont = std::max(param, 0);
        m_formatDirty = true;
        break;
    case Word::AnsiCodePage:
        if (embedded)
            break;
        if (param == kUtf8 || CodePageDecoder::isSupported(param)) {
            m_docCodePage = param;
            m_formatDirty = true;
        }
        break;
    case Word::Mac:
        if (embedded)
            break;
        m_docCodePage = 10000;
        m_formatDirty = true;
        break;
    case Word::Pc:
        if (embedded)
            break;
        m_docCodePage = 437;
        m_formatDirty = true;
        break;
    case Word::Pca:
        if (embedded)
            break;
        m_docCodePage = 850;
        m_formatDirty = true;
        break;
    case Word::Charset:
        if (s.dest == Dest::FontTable && m_fontNumber >= 0) {
            m_fonts[m_fontNumber].codePage = CodePageDecoder::codePageForCharset(param);
            m_formatDirty = true;
        }
        break;
    case Word::FontCodePage:
        if (s.dest == Dest::FontTable && m_fontNumber >= 0
            && (param == kUtf8 || CodePageDecoder::isSupported(param))) {
            m_fonts[m_fontNumber].codePage = param;
            m_formatDirty = true;
        }
        break;
    case Word::Red:
    case Word::Green:
    case Word::Blue:
        if (s.dest == Dest::ColourTable) {
            const int v = std::clamp(param, 0, 255);
            (word == Word::Red ? m_red : word == Word::Green ? m_green : m_blue) = v;
            m_colourSet = true;
        }
        break;

    case Word::UnicodeSkip:
        s.unicodeSkip = hasParam ? std::clamp(param, 0, 0xFFFF) : 1;
        break;
    case Word::Unicode:
        m_skip = 0;
        if (hasParam) {
            unicodeChar(param < 0 ? param + 0x10000 : param);
            m_skip = s.unicodeSkip;
        }
        break;
    case Word::Binary:
        skipBinary(param); // binary data is never text
        break;
    }
}

} // namespace rtf::reading
