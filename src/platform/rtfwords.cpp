#include "platform/rtfwords.h"

#include <array>
#include <iterator>

namespace rtf {

namespace {

const WordEntry kWords[] = {
    // Destinations whose content is never text we show; the header's own
    // (HeaderDest) belong in the header of what the writer writes.
    {"aftncn", Word::HeaderDest, 0}, {"aftnsep", Word::HeaderDest, 0}, {"aftnsepc", Word::HeaderDest, 0},
    {"annotation", Word::SkipDest, 0}, {"atnauthor", Word::SkipDest, 0}, {"atndate", Word::SkipDest, 0},
    {"atnicn", Word::SkipDest, 0}, {"atnid", Word::SkipDest, 0}, {"atnparent", Word::SkipDest, 0},
    {"atnref", Word::SkipDest, 0}, {"atntime", Word::SkipDest, 0}, {"atrfend", Word::SkipDest, 0},
    {"atrfstart", Word::SkipDest, 0}, {"author", Word::SkipDest, 0}, {"background", Word::HeaderDest, 0},
    {"bkmkend", Word::SkipDest, 0}, {"bkmkstart", Word::SkipDest, 0}, {"blipuid", Word::SkipDest, 0},
    {"buptim", Word::SkipDest, 0}, {"category", Word::SkipDest, 0},
    {"colorschememapping", Word::HeaderDest, 0}, {"comment", Word::SkipDest, 0},
    {"company", Word::SkipDest, 0}, {"creatim", Word::SkipDest, 0}, {"datafield", Word::SkipDest, 0},
    {"datastore", Word::HeaderDest, 0}, {"do", Word::SkipDest, 0}, {"doccomm", Word::SkipDest, 0},
    {"docvar", Word::HeaderDest, 0}, {"dptxbxtext", Word::SkipDest, 0},
    {"expandedcolortbl", Word::HeaderDest, 0}, {"falt", Word::SkipDest, 0}, {"fchars", Word::HeaderDest, 0},
    {"ffdeftext", Word::SkipDest, 0}, {"ffentrymcr", Word::SkipDest, 0}, {"ffexitmcr", Word::SkipDest, 0},
    {"ffformat", Word::SkipDest, 0}, {"ffhelptext", Word::SkipDest, 0}, {"ffl", Word::SkipDest, 0},
    {"ffname", Word::SkipDest, 0}, {"ffstattext", Word::SkipDest, 0}, {"filetbl", Word::HeaderDest, 0},
    {"fldinst", Word::FieldInstruction, 0}, {"fontemb", Word::SkipDest, 0}, {"fontfile", Word::SkipDest, 0},
    {"footer", Word::SkipDest, 0}, {"footerf", Word::SkipDest, 0}, {"footerl", Word::SkipDest, 0},
    {"footerr", Word::SkipDest, 0}, {"footnote", Word::SkipDest, 0}, {"formfield", Word::SkipDest, 0},
    {"ftncn", Word::HeaderDest, 0}, {"ftnsep", Word::HeaderDest, 0}, {"ftnsepc", Word::HeaderDest, 0},
    {"generator", Word::Generator, 0}, {"header", Word::SkipDest, 0}, {"headerf", Word::SkipDest, 0},
    {"headerl", Word::SkipDest, 0}, {"headerr", Word::SkipDest, 0}, {"hlinkbase", Word::SkipDest, 0},
    {"info", Word::HeaderDest, 0}, {"keywords", Word::SkipDest, 0}, {"latentstyles", Word::HeaderDest, 0},
    {"lchars", Word::HeaderDest, 0}, {"levelnumbers", Word::SkipDest, 0}, {"leveltext", Word::SkipDest, 0},
    {"linkval", Word::SkipDest, 0}, {"listoverridetable", Word::HeaderDest, 0},
    {"listpicture", Word::HeaderDest, 0}, {"listtable", Word::HeaderDest, 0}, {"manager", Word::SkipDest, 0},
    {"mmath", Word::SkipDest, 0}, {"mmathPr", Word::HeaderDest, 0}, {"nonshppict", Word::SkipDest, 0},
    {"object", Word::SkipDest, 0}, {"objalias", Word::SkipDest, 0}, {"objclass", Word::SkipDest, 0},
    {"objdata", Word::SkipDest, 0}, {"objname", Word::SkipDest, 0}, {"objsect", Word::SkipDest, 0},
    {"objtime", Word::SkipDest, 0}, {"operator", Word::SkipDest, 0}, {"panose", Word::SkipDest, 0},
    {"passwordhash", Word::HeaderDest, 0}, {"pgdsctbl", Word::HeaderDest, 0}, {"pgptbl", Word::HeaderDest, 0},
    {"picprop", Word::SkipDest, 0}, {"pict", Word::SkipDest, 0}, {"pn", Word::SkipDest, 0},
    {"pnseclvl", Word::SkipDest, 0}, {"pntxta", Word::SkipDest, 0}, {"pntxtb", Word::SkipDest, 0},
    {"printim", Word::SkipDest, 0}, {"private", Word::SkipDest, 0}, {"propname", Word::SkipDest, 0},
    {"protusertbl", Word::HeaderDest, 0}, {"revtbl", Word::HeaderDest, 0}, {"revtim", Word::SkipDest, 0},
    {"rsidtbl", Word::HeaderDest, 0}, {"rxe", Word::SkipDest, 0}, {"shpinst", Word::SkipDest, 0},
    {"shppict", Word::SkipDest, 0}, {"sn", Word::SkipDest, 0}, {"sp", Word::SkipDest, 0},
    {"stylesheet", Word::HeaderDest, 0}, {"subject", Word::SkipDest, 0}, {"sv", Word::SkipDest, 0},
    {"tc", Word::SkipDest, 0}, {"template", Word::HeaderDest, 0}, {"themedata", Word::HeaderDest, 0},
    {"title", Word::SkipDest, 0}, {"txe", Word::SkipDest, 0}, {"userprops", Word::HeaderDest, 0},
    {"wgrffmtfilter", Word::HeaderDest, 0}, {"xe", Word::SkipDest, 0}, {"xform", Word::SkipDest, 0},
    {"xmlattrname", Word::SkipDest, 0}, {"xmlattrvalue", Word::SkipDest, 0},
    {"xmlclose", Word::SkipDest, 0}, {"xmlname", Word::SkipDest, 0}, {"xmlnstbl", Word::HeaderDest, 0},
    {"xmlopen", Word::SkipDest, 0},
    {"defchp", Word::HeaderDest, 0}, {"defpap", Word::HeaderDest, 0},
    {"fonttbl", Word::FontTable, 0}, {"colortbl", Word::ColourTable, 0},
    {"upr", Word::Upr, 0}, {"ud", Word::Ud, 0},

    // Fields and table rows.
    {"field", Word::Field, 0}, {"fldrslt", Word::FieldResult, 0}, {"trowd", Word::RowDefaults, 0},

    // Text.
    {"par", Word::Par, 0}, {"line", Word::Par, 0}, {"row", Word::Row, 0}, {"nestrow", Word::NestedRow, 0},
    {"page", Word::SoftBreak, 0}, {"sect", Word::SoftBreak, 0}, {"column", Word::SoftBreak, 0},
    {"tab", Word::Tab, 0}, {"cell", Word::Cell, 0}, {"nestcell", Word::NestedCell, 0},
    {"bullet", Word::Char, 0x2022}, {"emdash", Word::Char, 0x2014}, {"endash", Word::Char, 0x2013},
    {"emspace", Word::Char, 0x2003}, {"enspace", Word::Char, 0x2002}, {"qmspace", Word::Char, 0x2005},
    {"lquote", Word::Char, 0x2018}, {"rquote", Word::Char, 0x2019},
    {"ldblquote", Word::Char, 0x201C}, {"rdblquote", Word::Char, 0x201D},
    {"zwj", Word::Char, 0x200D}, {"zwnj", Word::Char, 0x200C}, {"zwbo", Word::Char, 0x200B},
    {"zwnbo", Word::Char, 0xFEFF}, {"ltrmark", Word::Char, 0x200E}, {"rtlmark", Word::Char, 0x200F},

    // Character formatting.
    {"plain", Word::Plain, 0}, {"b", Word::Bold, 0}, {"i", Word::Italic, 0},
    {"ul", Word::Underline, 0}, {"uld", Word::Underline, 0}, {"uldash", Word::Underline, 0},
    {"uldashd", Word::Underline, 0}, {"uldashdd", Word::Underline, 0}, {"uldb", Word::Underline, 0},
    {"ulhwave", Word::Underline, 0}, {"ulldash", Word::Underline, 0}, {"ulth", Word::Underline, 0},
    {"ulthd", Word::Underline, 0}, {"ulthdash", Word::Underline, 0}, {"ulthdashd", Word::Underline, 0},
    {"ulthdashdd", Word::Underline, 0}, {"ulthldash", Word::Underline, 0},
    {"ululdbwave", Word::Underline, 0}, {"ulw", Word::Underline, 0}, {"ulwave", Word::Underline, 0},
    {"ulnone", Word::UnderlineNone, 0}, {"strike", Word::Strike, 0}, {"striked", Word::Strike, 0},
    {"v", Word::Hidden, 0}, {"f", Word::Font, 0}, {"fs", Word::FontSize, 0},
    {"cf", Word::Foreground, 0}, {"highlight", Word::Background, 0}, {"cb", Word::Background, 0},

    // Document, font and colour tables, Unicode.
    {"deff", Word::DefaultFont, 0}, {"ansicpg", Word::AnsiCodePage, 0}, {"mac", Word::Mac, 0},
    {"pc", Word::Pc, 0}, {"pca", Word::Pca, 0}, {"fcharset", Word::Charset, 0},
    {"cpg", Word::FontCodePage, 0}, {"red", Word::Red, 0}, {"green", Word::Green, 0},
    {"blue", Word::Blue, 0}, {"uc", Word::UnicodeSkip, 0}, {"u", Word::Unicode, 0},
    {"bin", Word::Binary, 0},
};

// Open addressing on an FNV hash: one string comparison for most words,
// which matters since control words are most of what a file holds.
class WordTable
{
public:
    WordTable()
    {
        for (const WordEntry &entry : kWords) {
            size_t slot = hash(entry.name) & kMask;
            while (m_slots[slot])
                slot = (slot + 1) & kMask;
            m_slots[slot] = &entry;
        }
    }

    const WordEntry *find(std::string_view name) const
    {
        size_t slot = hash(name) & kMask;
        while (const WordEntry *entry = m_slots[slot]) {
            if (entry->name == name)
                return entry;
            slot = (slot + 1) & kMask;
        }
        return nullptr;
    }

private:
    static constexpr size_t kSlots = 1024; // a power of two, well over twice the words
    static constexpr size_t kMask = kSlots - 1;
    static_assert(std::size(kWords) * 2 < kSlots);

    static size_t hash(std::string_view name)
    {
        quint32 h = 2166136261u;
        for (const char c : name)
            h = (h ^ uchar(c)) * 16777619u;
        return h;
    }

    std::array<const WordEntry *, kSlots> m_slots{};
};

} // namespace

const WordEntry *lookupWord(std::string_view name)
{
    static const WordTable table;
    return table.find(name);
}

} // namespace rtf
