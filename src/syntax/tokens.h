#pragma once

#include <QtGlobal>

#include <vector>

namespace syntax {

// What a run of characters is, for colouring. Plain text is never emitted:
// a line's tokens are the runs that are something else.
enum class TokenClass : quint8 {
    Plain,
    Keyword,   // Perl keywords and builtins; the script and style languages' keywords
    Variable,  // $x, @list, %hash, $#array, $_, ...
    String,    // quotes, q qq qw qx, here-document bodies, readline <FH>
    Regex,     // m// qr// s/// tr/// y/// and bare /.../
    Number,
    Comment,
    Pod,
    Data,      // whatever follows __END__ or __DATA__
    Tag,       // <name, </name, >, />, <!DOCTYPE ...>
    AttributeName,
    AttributeValue,
    Entity,    // &amp; &#160; &#x263A;
    HtmlComment,
    Count
};

// One run: line-relative start and length, in UTF-16 units.
struct Token
{
    int start;
    int length;
    TokenClass cls;
    bool operator==(const Token &o) const { return start == o.start && length == o.length && cls == o.cls; }
};
using Tokens = std::vector<Token>;

// What a line ends in: an id that stands for the lexer's whole state at the
// end of a line. Equal states have equal ids, so comparing two ids tells
// whether the lines after them lex alike.
using State = quint32;

// Collects a line's runs, joining neighbours of one class; without a list
// (a pass that only wants the line's end state) it does nothing.
class Emitter
{
public:
    explicit Emitter(Tokens *out) : m_out(out) {}
    bool wanted() const { return m_out != nullptr; }
    void add(int start, int end, TokenClass cls)
    {
        if (!m_out || end <= start || cls == TokenClass::Plain)
            return;
        if (!m_out->empty()) {
            Token &last = m_out->back();
            if (last.cls == cls && last.start + last.length == start) {
                last.length = end - last.start;
                return;
            }
        }
        m_out->push_back({start, end - start, cls});
    }

private:
    Tokens *m_out;
};

} // namespace syntax
