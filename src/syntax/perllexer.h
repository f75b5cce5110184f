#pragma once

#include "syntax/lexer.h"
#include "syntax/perlstate.h"

namespace syntax {

class PerlLexer : public Lexer
{
public:
    State initialState() const override;
    State lexLine(QStringView line, State in, Tokens *out) const override;
};

// Lexes one line of Perl; the lexer's parts live in perllexer.cpp (code),
// perlquotes.cpp (quote-likes and here-documents), perlvariables.cpp
// (sigils) and perlwords.cpp (the words Perl knows).
class PerlLine
{
public:
    PerlLine(QStringView line, PerlState &state, Emitter &emitter)
        : m_line(line), m_n(int(line.size())), m_s(state), m_emit(emitter)
    {
    }
    void run();

private:
    // What the last token was, for the guesses that need it: whether "/"
    // divides or starts a pattern, whether "<<" shifts or starts a
    // here-document, whether "%" is a sigil or the remainder.
    enum class Prev : quint8 {
        Term,     // a term comes next: start, operator, open bracket, most keywords
        Operand,  // an operator comes next: variable, number, string, closing bracket
        Bareword, // a word Perl would have to know to tell
        Arrow,    // "->": a method name or a subscript comes next
        Sub,      // "sub": a name comes next
    };

    char16_t at(int i) const { return i < m_n ? m_line[i].unicode() : 0; }
    void code(int i);
    int word(int i);
    int number(int i);
    int punctuation(int i);
    bool termExpected() const { return m_prev == Prev::Term; }
    bool spaceBefore(int i) const;
    bool spaceAfter(int i) const;
    int skipSpace(int i) const;

    // perlquotes.cpp
    int startQuote(int from, int delimiter, QuoteKind kind);
    int continueQuote(int from, int i);
    int scanBody(int i);
    int hereDocStart(int i);
    void hereDocLine();
    int readline(int i);

    // perlvariables.cpp
    int variable(int i);
    bool sigilAllowed(int i) const;

    // perlwords.cpp
    static bool isKeyword(QStringView word);
    static bool isQuoteOperator(QStringView word, QuoteKind *kind);
    static bool takesNoArguments(QStringView word);

    QStringView m_line;
    int m_n;
    PerlState &m_s;
    Emitter &m_emit;
    Prev m_prev = Prev::Term;
    // The braces opened on this line: bit n set when the nth is a subscript.
    quint32 m_subscripts = 0;
    int m_braceDepth = 0;
};

bool isPerlIdentifierStartSlow(char16_t c);
bool isPerlIdentifierCharSlow(char16_t c);

inline bool isPerlIdentifierStart(char16_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
    return isPerlIdentifierStartSlow(c);
}

inline bool isPerlIdentifierChar(char16_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || (c >= u'0' && c <= u'9');
    return isPerlIdentifierCharSlow(c);
}

} // namespace syntax
