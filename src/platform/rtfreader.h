#pragma once

#include <QByteArray>

class QTextCursor;

namespace rtf {

// True when the data is rich-text source: it begins with "{\rtf" (leading
// whitespace/BOM need not be accepted; exact begin is what callers test).
bool isRtf(const QByteArray &data);

// True when the data is a whole rich-text document: it begins with "{\rtf",
// its groups balance (escaped braces and \bin data don't count), and only
// white space follows the brace that closes the first group.
bool isCompleteDocument(const QByteArray &data);

// What the reader keeps of what it cannot show (see rtfkept.h).
enum class Keep {
    TextOnly,        // the text and its formatting, nothing else (a plain-text document)
    Groups,          // also anchors for groups, fields, tables and hidden text (pasted notes)
    GroupsAndHeader, // also the header's own groups (notes loaded from their file)
};

// Reads RTF source and inserts its text with its formatting at the cursor
// (replacing the cursor's selection), inside one edit block. Never throws,
// never crashes, never hangs, bounded memory for any input; malformed input
// gives best-effort text. Returns false only when the data isn't RTF at all.
bool insert(QTextCursor &cursor, const QByteArray &data, Keep keep = Keep::TextOnly);

} // namespace rtf
