#include "platform/rtfreader.h"

#include "platform/rtfcodepages.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QSet>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>

#include <algorithm>
#include <array>
#include <climits>
#include <iterator>
#include <string_view>
#include <vector>

namespace rtf {

bool isRtf(const QByteArray &data)
{
    return data.startsWith("{\\rtf");
}

bool isCompleteDocument(const QByteArray &data)
{
    if (!isRtf(data))
        return false;
    const char *p = data.constData();
    const char *const end = p + data.size();
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    qint64 depth = 0;
    while (p < end) {
        const char c = *p++;
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth == 0)
                break;
        } else if (c == '\\' && p < end) {
            if (!letter(*p)) {
                ++p; // a control symbol, such as an escaped brace
                continue;
            }
            const char *name = p;
            while (p < end && letter(*p))
                ++p;
            const bool binary = std::string_view(name, size_t(p - name)) == "bin";
            const bool negative = p < end && *p == '-';
            if (negative)
                ++p;
            qint64 count = 0;
            while (p < end && digit(*p)) {
                count = std::min<qint64>(count * 10 + (*p - '0'), qint64(data.size()) + 1);
                ++p;
            }
            if (p < end && *p == ' ')
                ++p;
            if (binary && !negative) {
                if (count > end - p)
                    return false;
                p += count; // raw bytes, braces included
            }
        }
    }
    if (depth != 0)
        return false;
    for (; p < end; ++p) {
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n' && *p != '\f' && *p != '\v')
            return false;
    }
    return true;
}

namespace {

// Groups nested deeper than this are only counted and share the innermost
// saved state, so hostile nesting costs neither stack nor memory.
constexpr int kMaxDepth = 1024;
constexpr int kMaxParamDigits = 10;
constexpr int kMaxFonts = 8192;
constexpr int kMaxColours = 8192;
constexpr int kMaxFontNameLength = 256;
// Qt's format collection does not hash font family lists, so formats that
// differ only in family are told apart by comparing them one by one; past
// this many families, text keeps the document's font rather than letting a
// hostile file make every insertion slow.
constexpr int kMaxFamiliesUsed = 64;
constexpr int kDefaultHalfPoints = 24;
constexpr int kMinHalfPoints = 2;
constexpr int kMaxHalfPoints = 3276;
constexpr char16_t kReplacement = 0xFFFD;

enum class Dest : quint8 {
    Body,        // visible text
    FontTable,
    ColourTable,
    Upr,         // the ANSI twin of a \ud group, which we read instead
    Skip,        // nothing in it matters but braces and \bin data
};

enum class Word : quint8 {
    Unknown,
    SkipDest, FontTable, ColourTable, Upr, Ud,
    Par, SoftBreak, Tab, Cell, Row, Char,
    Plain, Bold, Italic, Underline, UnderlineNone, Strike, Hidden,
    Font, FontSize, Foreground, Background,
    DefaultFont, AnsiCodePage, Mac, Pc, Pca, Charset, FontCodePage,
    Red, Green, Blue,
    UnicodeSkip, Unicode, Binary,
};

struct WordEntry
{
    std::string_view name;
    Word word;
    char16_t ch; // for Word::Char
};

const WordEntry kWords[] = {
    // Destinations whose content is never text we show.
    {"aftncn", Word::SkipDest, 0}, {"aftnsep", Word::SkipDest, 0}, {"aftnsepc", Word::SkipDest, 0},
    {"annotation", Word::SkipDest, 0}, {"atnauthor", Word::SkipDest, 0}, {"atndate", Word::SkipDest, 0},
    {"atnicn", Word::SkipDest, 0}, {"atnid", Word::SkipDest, 0}, {"atnparent", Word::SkipDest, 0},
    {"atnref", Word::SkipDest, 0}, {"atntime", Word::SkipDest, 0}, {"atrfend", Word::SkipDest, 0},
    {"atrfstart", Word::SkipDest, 0}, {"author", Word::SkipDest, 0}, {"background", Word::SkipDest, 0},
    {"bkmkend", Word::SkipDest, 0}, {"bkmkstart", Word::SkipDest, 0}, {"blipuid", Word::SkipDest, 0},
    {"buptim", Word::SkipDest, 0}, {"category", Word::SkipDest, 0},
    {"colorschememapping", Word::SkipDest, 0}, {"comment", Word::SkipDest, 0},
    {"company", Word::SkipDest, 0}, {"creatim", Word::SkipDest, 0}, {"datafield", Word::SkipDest, 0},
    {"datastore", Word::SkipDest, 0}, {"do", Word::SkipDest, 0}, {"doccomm", Word::SkipDest, 0},
    {"docvar", Word::SkipDest, 0}, {"dptxbxtext", Word::SkipDest, 0},
    {"expandedcolortbl", Word::SkipDest, 0}, {"falt", Word::SkipDest, 0}, {"fchars", Word::SkipDest, 0},
    {"ffdeftext", Word::SkipDest, 0}, {"ffentrymcr", Word::SkipDest, 0}, {"ffexitmcr", Word::SkipDest, 0},
    {"ffformat", Word::SkipDest, 0}, {"ffhelptext", Word::SkipDest, 0}, {"ffl", Word::SkipDest, 0},
    {"ffname", Word::SkipDest, 0}, {"ffstattext", Word::SkipDest, 0}, {"filetbl", Word::SkipDest, 0},
    {"fldinst", Word::SkipDest, 0}, {"fontemb", Word::SkipDest, 0}, {"fontfile", Word::SkipDest, 0},
    {"footer", Word::SkipDest, 0}, {"footerf", Word::SkipDest, 0}, {"footerl", Word::SkipDest, 0},
    {"footerr", Word::SkipDest, 0}, {"footnote", Word::SkipDest, 0}, {"formfield", Word::SkipDest, 0},
    {"ftncn", Word::SkipDest, 0}, {"ftnsep", Word::SkipDest, 0}, {"ftnsepc", Word::SkipDest, 0},
    {"generator", Word::SkipDest, 0}, {"header", Word::SkipDest, 0}, {"headerf", Word::SkipDest, 0},
    {"headerl", Word::SkipDest, 0}, {"headerr", Word::SkipDest, 0}, {"hlinkbase", Word::SkipDest, 0},
    {"info", Word::SkipDest, 0}, {"keywords", Word::SkipDest, 0}, {"latentstyles", Word::SkipDest, 0},
    {"lchars", Word::SkipDest, 0}, {"levelnumbers", Word::SkipDest, 0}, {"leveltext", Word::SkipDest, 0},
    {"linkval", Word::SkipDest, 0}, {"listoverridetable", Word::SkipDest, 0},
    {"listpicture", Word::SkipDest, 0}, {"listtable", Word::SkipDest, 0}, {"manager", Word::SkipDest, 0},
    {"mmath", Word::SkipDest, 0}, {"mmathPr", Word::SkipDest, 0}, {"nonshppict", Word::SkipDest, 0},
    {"object", Word::SkipDest, 0}, {"objalias", Word::SkipDest, 0}, {"objclass", Word::SkipDest, 0},
    {"objdata", Word::SkipDest, 0}, {"objname", Word::SkipDest, 0}, {"objsect", Word::SkipDest, 0},
    {"objtime", Word::SkipDest, 0}, {"operator", Word::SkipDest, 0}, {"panose", Word::SkipDest, 0},
    {"passwordhash", Word::SkipDest, 0}, {"pgdsctbl", Word::SkipDest, 0}, {"pgptbl", Word::SkipDest, 0},
    {"picprop", Word::SkipDest, 0}, {"pict", Word::SkipDest, 0}, {"pn", Word::SkipDest, 0},
    {"pnseclvl", Word::SkipDest, 0}, {"pntxta", Word::SkipDest, 0}, {"pntxtb", Word::SkipDest, 0},
    {"printim", Word::SkipDest, 0}, {"private", Word::SkipDest, 0}, {"propname", Word::SkipDest, 0},
    {"protusertbl", Word::SkipDest, 0}, {"revtbl", Word::SkipDest, 0}, {"revtim", Word::SkipDest, 0},
    {"rsidtbl", Word::SkipDest, 0}, {"rxe", Word::SkipDest, 0}, {"shpinst", Word::SkipDest, 0},
    {"shppict", Word::SkipDest, 0}, {"sn", Word::SkipDest, 0}, {"sp", Word::SkipDest, 0},
    {"stylesheet", Word::SkipDest, 0}, {"subject", Word::SkipDest, 0}, {"sv", Word::SkipDest, 0},
    {"tc", Word::SkipDest, 0}, {"template", Word::SkipDest, 0}, {"themedata", Word::SkipDest, 0},
    {"title", Word::SkipDest, 0}, {"txe", Word::SkipDest, 0}, {"userprops", Word::SkipDest, 0},
    {"wgrffmtfilter", Word::SkipDest, 0}, {"xe", Word::SkipDest, 0}, {"xform", Word::SkipDest, 0},
    {"xmlattrname", Word::SkipDest, 0}, {"xmlattrvalue", Word::SkipDest, 0},
    {"xmlclose", Word::SkipDest, 0}, {"xmlname", Word::SkipDest, 0}, {"xmlnstbl", Word::SkipDest, 0},
    {"xmlopen", Word::SkipDest, 0},
    {"fonttbl", Word::FontTable, 0}, {"colortbl", Word::ColourTable, 0},
    {"upr", Word::Upr, 0}, {"ud", Word::Ud, 0},

    // Text.
    {"par", Word::Par, 0}, {"line", Word::Par, 0}, {"row", Word::Row, 0}, {"nestrow", Word::Row, 0},
    {"page", Word::SoftBreak, 0}, {"sect", Word::SoftBreak, 0}, {"column", Word::SoftBreak, 0},
    {"tab", Word::Tab, 0}, {"cell", Word::Cell, 0}, {"nestcell", Word::Cell, 0},
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

const WordEntry *lookupWord(std::string_view name)
{
    static const WordTable table;
    return table.find(name);
}

enum Flag : quint8 { Bold = 1, Italic = 2, Underline = 4, Strike = 8, Hidden = 16 };

struct State
{
    int font = -1; // -1: the document's default font (\deffN), resolved late
    int halfPoints = kDefaultHalfPoints;
    int foreground = -1; // colour table index; -1 is the automatic colour
    int background = 0;  // colour table index; 0 is none
    int unicodeSkip = 1;
    quint8 flags = 0;
    Dest dest = Dest::Body;
    bool starred = false; // after \*: an unknown next word makes the group skipped
};

struct RunFormat
{
    int font = INT_MIN; // matches no state, so the first text always sets it
    int halfPoints = 0;
    int foreground = -1;
    int background = 0;
    int codePage = 0;
    quint8 flags = 0;

    bool operator==(const RunFormat &o) const
    {
        return font == o.font && halfPoints == o.halfPoints && foreground == o.foreground
            && background == o.background && codePage == o.codePage && flags == o.flags;
    }
};

size_t qHash(const RunFormat &f, size_t seed = 0)
{
    return qHashMulti(seed, f.font, f.halfPoints, f.foreground, f.background, f.codePage, f.flags);
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// UTF-8 (code page 65001) is decoded here; every other page by the
// code-page decoder.
constexpr int kUtf8 = 65001;

bool knownCodePage(int codePage)
{
    return codePage == kUtf8 || CodePageDecoder::isSupported(codePage);
}

// Pages whose characters may take more than one byte: their bytes are
// gathered and decoded together.
bool multiByte(int codePage)
{
    return codePage == kUtf8 || CodePageDecoder::isDoubleByte(codePage);
}

class Reader
{
public:
    Reader(QTextCursor &cursor, const QByteArray &data)
        : m_cursor(cursor), m_p(data.constData()), m_end(data.constData() + data.size())
    {
    }

    void run();

private:
    struct FontEntry
    {
        QString name;
        int codePage = 0; // 0: the document's
    };
    struct Colour
    {
        QRgb rgb = 0;
        bool isAuto = true;
    };

    State &state() { return m_stack.back(); }

    void openGroup();
    void closeGroup();
    void plainText();
    void controlSequence();
    void controlSymbol(char c);
    void controlWord(const WordEntry *entry, bool hasParam, int param);
    int readHex();
    void skipBinary(int count);

    void textByte(uchar byte);
    void specialChar(char16_t ch);
    void unicodeChar(int value);
    void paragraphBreak();

    bool beginText(bool resolveSurrogate);
    void appendByte(uchar byte);
    void decode(int codePage, const char *bytes, qsizetype size, QString &out);
    void putChar(char16_t ch);
    void flushBytes();
    void flushRun();
    QTextCharFormat charFormat(const RunFormat &run);
    int codePageOfFont(int font) const;

    void beginFontEntry(int number);
    void fontNameByte(uchar byte);
    void fontNameChar(char16_t ch);
    void flushFontNameBytes();
    void endFontName();
    void finishColour();

    QTextCursor &m_cursor;
    const char *m_p;
    const char *const m_end;
    bool m_done = false;

    std::vector<State> m_stack;
    qsizetype m_overflow = 0; // groups opened beyond kMaxDepth
    int m_skip = 0;           // fallback characters still to drop after \uN

    int m_docCodePage = 1252;
    int m_defaultFont = 0;
    QHash<int, FontEntry> m_fonts;
    std::vector<Colour> m_colours;

    // Font table entry being read.
    int m_fontNumber = -1;
    qsizetype m_fontDepth = 0;
    bool m_fontNameOpen = false;
    QString m_fontName;
    QByteArray m_fontNameBytes;

    // Colour table entry being read.
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colourSet = false;

    // Text waiting to be inserted, all in m_runFormat. Bytes of a double-byte
    // page wait in m_bytes until something else comes, so a lead byte meets
    // its trail byte whichever way each was written.
    CodePageDecoder m_decoder;
    RunFormat m_runFormat;
    bool m_formatDirty = true;
    bool m_runDoubleByte = false;
    const char16_t *m_runUpperHalf = CodePageDecoder::upperHalf(1252);
    QString m_text;
    QByteArray m_bytes;
    QString m_scratch;
    char16_t m_highSurrogate = 0;
    bool m_cellPending = false; // a \cell separator, written only if more text follows in the row
    bool m_atBlockStart = true;
    QHash<RunFormat, QTextCharFormat> m_formats;
    QSet<QString> m_familiesUsed;
};

void Reader::run()
{
    while (m_p < m_end && !m_done) {
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

    if (m_fontNameOpen)
        endFontName();
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        putChar(kReplacement);
    }
    flushRun();
}

void Reader::openGroup()
{
    m_skip = 0;
    if (m_stack.size() >= size_t(kMaxDepth)) {
        ++m_overflow;
        return;
    }
    if (m_stack.empty()) {
        m_stack.emplace_back();
        return;
    }
    State child = m_stack.back();
    child.starred = false;
    m_stack.push_back(child);
}

void Reader::closeGroup()
{
    m_skip = 0;
    if (m_overflow > 0) {
        --m_overflow;
        return;
    }
    if (m_stack.empty()) {
        m_done = true;
        return;
    }
    const Dest closing = m_stack.back().dest;
    m_stack.pop_back();
    if (m_fontNameOpen && qsizetype(m_stack.size()) < m_fontDepth)
        endFontName();
    if (closing == Dest::ColourTable && m_colourSet
        && (m_stack.empty() || m_stack.back().dest != Dest::ColourTable)) {
        finishColour(); // the last entry lacked its ';'
    }
    m_formatDirty = true;
    if (m_stack.empty())
        m_done = true; // whatever follows the document's closing brace is not part of it
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
        const int v = hexValue(*m_p);
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

void Reader::controlWord(const WordEntry *entry, bool hasParam, int param)
{
    State &s = state();
    const Word word = entry ? entry->word : Word::Unknown;
    if (s.starred) {
        s.starred = false;
        if (word != Word::Ud && m_stack.size() > 1) {
            s.dest = Dest::Skip;
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

    switch (word) {
    case Word::Unknown:
        break;
    case Word::SkipDest:
        if (canChangeDest)
            s.dest = Dest::Skip;
        break;
    case Word::FontTable:
        if (canChangeDest)
            s.dest = Dest::FontTable;
        break;
    case Word::ColourTable:
        if (canChangeDest) {
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

    case Word::Par:
        m_cellPending = false; // a separator at the end of a line separates nothing
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
        if (s.dest == Dest::Body && !(s.flags & Hidden)) {
            if (m_cellPending)
                beginText(true);
            m_cellPending = true;
        }
        break;
    case Word::Row:
        m_cellPending = false;
        paragraphBreak();
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
        m_defaultFont = std::max(param, 0);
        m_formatDirty = true;
        break;
    case Word::AnsiCodePage:
        if (knownCodePage(param)) {
            m_docCodePage = param;
            m_formatDirty = true;
        }
        break;
    case Word::Mac:
        m_docCodePage = 10000;
        m_formatDirty = true;
        break;
    case Word::Pc:
        m_docCodePage = 437;
        m_formatDirty = true;
        break;
    case Word::Pca:
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
        if (s.dest == Dest::FontTable && m_fontNumber >= 0 && knownCodePage(param)) {
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

void Reader::textByte(uchar byte)
{
    switch (state().dest) {
    case Dest::Body:
        if (beginText(true))
            appendByte(byte);
        break;
    case Dest::FontTable:
        fontNameByte(byte);
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
    if (dest != Dest::Body)
        return;
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
    if (state().dest == Dest::Body && beginText(true))
        putChar('\n');
}

// Gets the body ready for more text: hidden text is dropped, a format change
// sends the text so far to the document, and anything still owed before the
// new text (a lone high surrogate, a cell separator) is written first.
bool Reader::beginText(bool resolveSurrogate)
{
    const State &s = m_stack.back();
    if (s.flags & Hidden)
        return false;
    if (m_formatDirty) {
        m_formatDirty = false;
        RunFormat run;
        run.font = s.font < 0 ? m_defaultFont : s.font;
        run.halfPoints = s.halfPoints;
        run.foreground = s.foreground;
        run.background = s.background;
        run.flags = s.flags;
        run.codePage = codePageOfFont(run.font);
        if (!(run == m_runFormat)) {
            flushRun();
            m_runFormat = run;
            m_runDoubleByte = multiByte(run.codePage);
            m_runUpperHalf = CodePageDecoder::upperHalf(run.codePage);
        }
    }
    if (resolveSurrogate && m_highSurrogate) {
        m_highSurrogate = 0;
        putChar(kReplacement);
    }
    if (m_cellPending) {
        m_cellPending = false;
        putChar('\t');
    }
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
    m_cursor.insertText(m_text, charFormat(m_runFormat));
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

} // namespace

bool insert(QTextCursor &cursor, const QByteArray &data)
{
    if (!isRtf(data))
        return false;
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    Reader(cursor, data).run();
    cursor.endEditBlock();
    return true;
}

} // namespace rtf
