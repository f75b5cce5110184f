// Perl's sigils: $x @x %x &x *x, $#array and $#{...}, $$ and $$ref,
// ${name} and ${^NAME}, and the punctuation variables ($_ $/ $! ...).
#include "syntax/perllexer.h"

#include <cstring>

namespace syntax {

namespace {

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

// Whether "%", "&" or "*" at i, where a term may come, is a sigil rather
// than the operator.
bool PerlLine::sigilAllowed(int i) const
{
    const char16_t c = m_line[i].unicode();
    const char16_t d = at(i + 1);
    if (d == c)
        return false; // && **
    if (isPerlIdentifierStart(d) || d == u'$' || d == u'{' || (d == u':' && at(i + 2) == u':'))
        return true;
    return c == u'%' && (d == u'^' || d == u'+' || d == u'-' || d == u'!');
}

int PerlLine::variable(int i)
{
    const char16_t sigil = m_line[i].unicode();
    const int start = i;
    int j = i + 1;
    m_prev = Prev::Operand;
    const auto name = [this](int k) {
        for (;;) {
            while (isPerlIdentifierChar(at(k)))
                ++k;
            if (at(k) == u':' && at(k + 1) == u':') {
                k += 2;
                continue;
            }
            return k;
        }
    };

    if (sigil == u'$' && at(j) == u'#') { // $#array, $#{expr}, $#$ref; "$#" alone
        const char16_t d = at(j + 1);
        j = isPerlIdentifierStart(d) || (d == u':' && at(j + 2) == u':') ? name(j + 1) : j + 1;
        m_emit.add(start, j, TokenClass::Variable);
        return j;
    }
    // Dereferences: $$ref @$ref %$ref &$code $$$ref
    while (at(j) == u'$' && (isPerlIdentifierStart(at(j + 1)) || at(j + 1) == u'$' || at(j + 1) == u'{'
                             || (at(j + 1) == u':' && at(j + 2) == u':')))
        ++j;
    const char16_t c = at(j);
    if (isPerlIdentifierStart(c) || (c == u':' && at(j + 1) == u':')) {
        j = name(j);
    } else if (isDigit(c) && sigil == u'$') {
        while (isDigit(at(j)))
            ++j;
    } else if (c == u'{') {
        // ${name} and ${^NAME} are one variable; otherwise the sigil casts
        // the block that follows.
        int k = j + 1;
        while (at(k) == u' ')
            ++k;
        if (at(k) == u'^')
            ++k;
        const int nameStart = k;
        k = name(k);
        while (at(k) == u' ')
            ++k;
        if (k > nameStart && at(k) == u'}')
            j = k + 1;
    } else if (c == u'^' && (sigil == u'$' || sigil == u'%') && at(j + 1) >= u'A' && at(j + 1) <= u'_') {
        j += 2; // $^W, $^O, %^H
    } else if (sigil == u'$' && c != 0 && c < 128 && std::strchr("&`'+!@/\\,;.<>()[]|?\"-=%~:$0*", char(c))) {
        ++j;
    } else if ((sigil == u'@' || sigil == u'%') && (c == u'-' || c == u'+' || (sigil == u'%' && c == u'!'))) {
        ++j;
    }
    m_emit.add(start, j, TokenClass::Variable);
    return j;
}

} // namespace syntax
