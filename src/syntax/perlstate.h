#pragma once

#include "syntax/tokens.h"

#include <QString>

#include <vector>

namespace syntax {

// Where a Perl line ends.
enum class PerlMode : quint8 {
    Code,
    Quote,   // inside a quote-like body that goes on on the next line
    Pod,     // from a line "=word" to the line "=cut"
    Data,    // after __END__ or __DATA__
    DataPod, // POD after __END__
    Format,  // a format's picture lines, up to the line "."
};

// The quote-likes, by how their body ends and what they are coloured.
enum class QuoteKind : quint8 {
    String,        // '' "" `` q qq qw qx: one body
    Match,         // // m qr: one body, then modifiers
    Substitute,    // s: two bodies, then modifiers
    Transliterate, // tr y: two bodies, then modifiers
};

struct HereDoc
{
    QString terminator;
    bool indented = false; // <<~: the terminator may be indented
    bool operator==(const HereDoc &o) const { return terminator == o.terminator && indented == o.indented; }
};

// Everything a Perl line can leave open for the next one.
struct PerlState
{
    PerlMode mode = PerlMode::Code;
    // In code: whether what comes next is a term (so "/" starts a pattern
    // and "<" a readline) rather than an operator.
    bool expectTerm = true;
    // In data: after __END__, where POD may still come, rather than __DATA__.
    bool endSection = false;
    // In a quote-like body.
    QuoteKind quote = QuoteKind::String;
    quint8 part = 0; // 0 first body, 1 between bracketed bodies, 2 second body
    char16_t open = 0;
    char16_t close = 0;
    int depth = 0; // nesting of bracket delimiters
    // Here-documents whose bodies start on the next line, in order.
    std::vector<HereDoc> hereDocs;

    static PerlState decode(State id);
    State encode() const;
};

// The closing delimiter for an opening one: brackets pair, anything else
// closes itself.
char16_t closingDelimiter(char16_t open);

} // namespace syntax
