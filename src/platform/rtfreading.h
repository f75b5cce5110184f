#pragma once

// The rich-text reader's insides, shared by its files: rtfreader.cpp reads
// the source (tokens, groups, destinations), rtfreaderwords.cpp does what
// each control word says, rtfreadertext.cpp makes text of it (runs,
// formats, code pages, the font and colour tables), rtfreaderkept.cpp keeps
// what the control can't show (see rtfkept.h).

#include "platform/rtfcodepages.h"
#include "platform/rtfkept.h"
#include "platform/rtfreader.h"
#include "platform/rtfwords.h"

#include <QByteArray>
#include <QHash>
#include <QRgb>
#include <QSet>
#include <QString>
#include <QTextCharFormat>
#include <QVariant>

#include <climits>
#include <vector>

class QTextCursor;

namespace rtf::reading {

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
// Anchors and fields kept by one reading. Each is a character format of
// its own; past this many, groups are skipped and fields read as their
// text, as when nothing is kept.
constexpr int kMaxKept = 65536;
constexpr int kMaxInstructionLength = 2048;
// UTF-8 (code page 65001) is decoded by the reader; every other page by the
// code-page decoder.
constexpr int kUtf8 = 65001;

enum class Dest : quint8 {
    Body,        // visible text
    FontTable,
    ColourTable,
    Upr,         // the ANSI twin of a \ud group, which we read instead
    Instruction, // a field's instruction: its text is read for a link's target
    Skip,        // nothing in it matters but braces and \bin data
};

// What becomes of a group that stopped being body text, once it ends.
enum class KeepAs : quint8 {
    Nothing,
    Anchor,    // an anchor where it was
    Header,    // an anchor the writer puts in the header
    FieldPart, // part of its field's source, kept with the field
};

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
    KeepAs keep = KeepAs::Nothing; // for the group whose word made it a destination
    qsizetype groupStart = 0;      // where the group's '{' is in the source
    qint64 outputAtStart = 0; // what had been written when the group began (m_output)
    int field = -1; // the field whose group this is or lies in (index into m_fields)
    int chain = 0;  // the fields whose result the text here is (index into m_chains)
};

struct RunFormat
{
    int font = INT_MIN; // matches no state, so the first text always sets it
    int halfPoints = 0;
    int foreground = -1;
    int background = 0;
    int codePage = 0;
    int chain = 0;
    quint8 flags = 0;

    bool operator==(const RunFormat &o) const
    {
        return font == o.font && halfPoints == o.halfPoints && foreground == o.foreground
            && background == o.background && codePage == o.codePage && chain == o.chain && flags == o.flags;
    }
};

inline size_t qHash(const RunFormat &f, size_t seed = 0)
{
    return qHashMulti(seed, f.font, f.halfPoints, f.foreground, f.background, f.codePage, f.chain, f.flags);
}

inline bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// How the groups of a piece of source nest, read as the reader reads them
// (escaped braces and \bin data don't count).
struct Nesting
{
    qsizetype firstClose = -1; // where the depth first went back to 0
    qint64 depth = 0;          // at the end
    bool braces = false;       // any group at all
    bool binaryOverrun = false; // \bin data past the end
};
Nesting scanNesting(const char *p, const char *end);

// A serial number for what is kept, unique within the process.
int nextSerial();

class Reader
{
public:
    Reader(QTextCursor &cursor, const QByteArray &data, Keep keep)
        : m_cursor(cursor), m_begin(data.constData()), m_p(data.constData()),
          m_end(data.constData() + data.size()), m_keep(keep)
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
    struct Field
    {
        qsizetype start = 0; // the field group's '{'
        int depth = 0;       // the field group's depth
        int serial = 0;
        int parentChain = 0;
        qint64 outputAtStart = 0;
        bool resultStarted = false;
        bool shown = false; // something of its result is in the document
        QString instruction;
    };
    struct Chain
    {
        QVariantList fields; // as FieldChain holds them
        std::vector<int> fieldIndexes;
        int serial = 0;
        QString href;
    };

    State &state() { return m_stack.back(); }
    qsizetype offset(const char *p) const { return p - m_begin; }

    // Source.
    void openGroup();
    void closeGroup();
    void plainText();
    void controlSequence();
    void controlSymbol(char c);
    void controlWord(const WordEntry *entry, bool hasParam, int param);
    int readHex();
    void skipBinary(int count);
    void beginDestination(Word word);

    // Text.
    void textByte(uchar byte);
    void specialChar(char16_t ch);
    void unicodeChar(int value);
    void paragraphBreak();
    void syncRun();
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

    // What is kept.
    void keepGroup(const State &closed);
    bool emitAnchor(Kept kind, const QVariant &source, int unicodeSkip);
    QTextCharFormat anchorFormat(const QTextCharFormat &base, Kept kind, const QVariant &source,
                                 int unicodeSkip) const;
    void insertAnchor(const QTextCharFormat &base, int chain, Kept kind, const QVariant &source, int unicodeSkip);
    void placeAnchor(const QTextCharFormat &format);
    void insertText(const QString &text, const QTextCharFormat &format);
    void keepHidden(const QString &text, const QTextCharFormat &format, int chain);
    void finishHidden();
    QByteArray keptSource(qsizetype start) const;
    void markShown(int chain);
    void beginField();
    void beginFieldResult();
    void endField(int index);
    void instructionChar(char16_t ch);
    void startRowWords();
    void addRowWord();
    void finishRowWords();
    void cellEnd(bool nested);
    void writePendingCell(bool asTab);
    void rowEnd(bool nested);

    QTextCursor &m_cursor;
    const char *const m_begin;
    const char *m_p;
    const char *const m_end;
    const char *m_tokenStart = nullptr; // where the token being read began
    const Keep m_keep;
    bool m_done = false;

    std::vector<State> m_stack;
    qsizetype m_overflow = 0; // groups opened beyond kMaxDepth
    int m_skip = 0;           // fallback characters still to drop after \uN
    int m_endBraces = 0;      // groups closed for a source that ended inside them

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
    // A \cell (1) or \nestcell (2) end, written as a tab only if more text
    // follows in the row.
    quint8 m_cellPending = 0;
    QTextCharFormat m_pendingCellFormat;
    int m_pendingCellChain = 0;
    std::vector<QTextCharFormat> m_afterCell; // anchors waiting for it
    bool m_atBlockStart = true;
    QHash<RunFormat, QTextCharFormat> m_formats;
    QSet<QString> m_familiesUsed;

    // What is kept.
    int m_kept = 0;
    qint64 m_output = 0; // text written so far, counted in pieces
    std::vector<Field> m_fields;
    std::vector<Chain> m_chains{Chain()}; // 0: text in no field
    QString m_instruction;
    bool m_rowWordsOpen = false;
    QByteArray m_rowWords;
    QTextCharFormat m_rowWordsFormat;
    int m_rowWordsChain = 0;
    bool m_hiddenPending = false; // hidden text that waits for more
    QString m_hiddenText;
    QTextCharFormat m_hiddenFormat;
    int m_hiddenChain = 0;
};

} // namespace rtf::reading
