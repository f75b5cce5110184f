#pragma once

#include <QtGlobal>

#include <string_view>

// The control words the rich-text reader knows, looked up by name.
namespace rtf {

enum class Word : quint8 {
    Unknown,
    // Destinations: groups whose content is not body text.
    SkipDest,         // never text we show; kept whole for writing back
    HeaderDest,       // the same, and part of the document's header wherever it is
    Generator,        // the program that wrote the file: the writer names itself instead
    FieldInstruction, // \fldinst: what a field computes; kept with the field's result
    FontTable, ColourTable, Upr, Ud,
    // Fields and table rows.
    Field, FieldResult, RowDefaults,
    // Text.
    Par, SoftBreak, Tab, Cell, NestedCell, Row, NestedRow, Char,
    // Character formatting.
    Plain, Bold, Italic, Underline, UnderlineNone, Strike, Hidden,
    Font, FontSize, Foreground, Background,
    // Document, font and colour tables, Unicode.
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

// The entry of a control word, or null for a word we don't know.
const WordEntry *lookupWord(std::string_view name);

} // namespace rtf
