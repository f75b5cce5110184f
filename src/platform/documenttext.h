#pragma once

#include "platform/textfile.h"

#include <QString>
#include <QTextFormat>

#include <vector>

class QTextCharFormat;
class QTextCursor;
class QTextDocument;

namespace platform {

class WrapCounter;

// The form text takes in the control's document.
//
// A line break is a paragraph separator, or, to keep large documents lean,
// U+2028 inside a "page" of several lines: a document of many lines holds
// them a few hundred characters to a paragraph, since every paragraph
// costs memory and time of its own. A very long line is split into
// paragraphs at display-line boundaries by "soft" separators, which are no
// part of the text, so that an edit lays out a piece of it, not all of it.
// The characters the document would take for structure (U+2028, U+2029,
// U+FDD0, U+FDD1) are held by a stand-in that carries the original in its
// format. In a file that mixes line-break styles, each break whose style
// differs from the file's usual one carries its style in its format. Being
// formats, all of these move with the text and come back with undo.
namespace docform {
constexpr char16_t kStandIn = 0xF8F0;
constexpr char16_t kPackedBreak = 0x2028;
constexpr char16_t kSeparator = 0x2029;
enum Property : int {
    StandsFor = QTextFormat::UserProperty + 0x5101,
    SoftBreak,
    BreakStyle,
};

// The characters that need a stand-in.
inline bool needsStandIn(char16_t c)
{
    return c == 0x2028 || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1;
}

// Lines longer than this are split by soft separators into pieces of
// about kPieceChars.
constexpr int kLongLine = 4096;
constexpr int kPieceChars = 2048;
// Texts of more lines than this are packed into pages of about kPageChars.
// An edit lays out and repaints its whole paragraph, so a page is made
// into a paragraph per line when an editing key is first pressed in it.
constexpr size_t kPackLines = 2000;
constexpr int kPageChars = 512;
constexpr int kPageLines = 64;
} // namespace docform

struct DocumentForm
{
    QString text;
    struct Special
    {
        int position;
        char16_t original;
    };
    std::vector<Special> specials;
    struct StyledBreak
    {
        int position;
        quint8 style;
    };
    std::vector<StyledBreak> styles; // breaks whose style isn't the usual one
    std::vector<int> hard;           // every line break
};

struct FormOptions
{
    bool pack = false; // may pack (a text of more than kPackLines lines)
    // Files: find the usual break style and record the others (in
    // format). Other text: -1, or the style every break takes.
    int breakStyle = -1;
    TextFileFormat *format = nullptr;
};

// Text whose line breaks are CR LF, LF or CR, in the document's form.
DocumentForm toDocumentForm(QStringView text, const FormOptions &options);

// The form's text as Text (breaks as CR LF), to have it at hand before the
// form is in a document.
QString crlfText(const DocumentForm &form);

// Inserts a form at the cursor, over its selection. The text takes the
// cursor's format, without the properties above unless it needs them.
// Returns where it starts.
int insertDocumentForm(QTextCursor &cursor, const DocumentForm &form);
int insertDocumentForm(QTextCursor &cursor, const DocumentForm &form, const QTextCharFormat &base);

// Splits the paragraphs in the document range [from, to) that are longer
// than kLongLine by soft separators, at the display lines `wrap` finds, or
// without it near spaces. Returns the separators' positions, in order.
std::vector<int> splitLongParagraphs(QTextDocument *document, int from, int to, const WrapCounter *wrap);

// Makes a copy of part of the document (starting at document position
// `from`) hold each line of the text as one paragraph: the soft
// separators (document positions) join their pieces again, and, with
// `pages`, the breaks inside pages become paragraph breaks.
void joinPiecesAndPages(QTextDocument *copy, int from, const std::vector<int> &soft, bool pages);

// The character format of the character at a document position.
QTextCharFormat formatAt(const QTextDocument *document, int pos);
// The format the control's own properties removed from.
QTextCharFormat withoutOwnProperties(QTextCharFormat format);
// The format text inserted at the cursor takes: that of the character
// before it, as ever, but past the anchors of kept rich text, which show
// nothing; without the control's own properties.
QTextCharFormat insertionFormat(const QTextCursor &cursor);

} // namespace platform
