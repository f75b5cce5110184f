#pragma once

#include <QByteArray>
#include <QTextFormat>

// What the rich-text reader keeps of a source for the writer to put back,
// though the control shows none of it: pictures, objects, bookmarks and
// other groups it cannot show, the document's header groups, hidden text,
// the words that define table rows and the cell and row ends between them,
// and the instructions of fields (a link's target) whose result text it
// shows.
//
// All of it lives in character formats, so that it moves with the text,
// comes back with undo and goes wherever the text is copied: a group is an
// anchor, an object replacement character whose format carries the group's
// source; a field's result characters carry the fields they belong to; a
// tab that ends a table cell and a paragraph break that ends a row carry a
// mark. Deleting an anchor deletes what it holds; text edited around it
// leaves it in place.
namespace rtf {

constexpr char16_t kAnchor = 0xFFFC;

// Anchors are objects of this type: a layout without a handler for it gives
// them no room (the notes pane draws pictures and objects as boxes).
constexpr int kAnchorObject = QTextFormat::UserObject + 0x52;

enum KeptProperty : int {
    KeptKind = QTextFormat::UserProperty + 0x5201, // int (Kept), on an anchor
    KeptSource,     // QByteArray: source put back as it was; QString: hidden text
    KeptSerial,     // int: tells anchors apart (format lookups hash on it)
    KeptUnicodeSkip, // int: the \ucN the group was read under, when not 1
    FieldChain,     // QVariantList of QVariantList{int serial, QByteArray prefix}, outermost field first
    FieldSerial,    // int: the innermost field's serial (format lookups hash on it)
    TableMark,      // int (Table), on a tab or a paragraph break
};

enum class Kept : int {
    Group = 1,   // a whole group, "{...}"
    HeaderGroup, // a group of the document's header
    HiddenText,  // text formatted \v
    RowWords,    // \trowd and the row's definition words
    CellEnd,     // \cell where no tab shows it
    NestedCellEnd,
};

enum class Table : int { CellEnd = 1, NestedCellEnd, RowEnd, NestedRowEnd };

// Whether a character with this format is an anchor (when it is kAnchor).
inline bool isAnchor(const QTextFormat &format)
{
    return format.hasProperty(KeptKind);
}

// The format without anything kept: for text typed or pasted next to an
// anchor or a table mark, which must not become one.
inline void clearKept(QTextFormat &format)
{
    if (format.intProperty(QTextFormat::ObjectType) == kAnchorObject)
        format.clearProperty(QTextFormat::ObjectType);
    for (const int property : {KeptKind, KeptSource, KeptSerial, KeptUnicodeSkip, TableMark})
        format.clearProperty(property);
}

// Whether kept source can be written as it is without taking in what
// follows it: one whole group; a field up to its result (its group left
// open); the words of a row's definition (no group, no binary data).
bool isWholeGroup(const QByteArray &source);
bool isFieldStart(const QByteArray &source);
bool isRowWords(const QByteArray &source);

} // namespace rtf
