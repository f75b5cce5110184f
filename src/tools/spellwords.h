#pragma once

#include <QString>

#include <vector>

namespace tools {

// What a document is, which decides what in it is prose.
enum class DocumentKind { Plain, Perl, Html };

// By the file's extension (.pl .cgi .pm .t: Perl; .htm .html .shtml .php:
// HTML; any other: plain text); a document without a file, or a file
// without an extension, by its content: a first line "#!...perl" is Perl,
// a first non-blank "<" is HTML, anything else plain text.
DocumentKind documentKind(const QString &fileName, const QString &text);

struct ProseWord
{
    int start;
    int length;
};

// The words worth a spelling question, in order, each found once in one
// forward pass over the text.
//
// HTML: text between tags and the values of alt, title and placeholder;
// never tags, other attribute values, entities, scripts and styles.
// Perl: comments (not the #! line), POD, and the human text of string
// literals and here-documents (not their tags, variables, escapes and
// format specifiers); never code, regular expressions, qw lists or what
// follows __END__ and __DATA__ (but POD).
// Everywhere: never addresses, paths, file names, words with digits or
// underscores, words in mixed case, all-capital words of up to six letters,
// and words the document uses as names ($name, @name, %name, &name,
// sub name, ->name, name =>).
std::vector<ProseWord> proseWords(const QString &text, DocumentKind kind);

} // namespace tools
