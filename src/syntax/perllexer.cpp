// The Perl lexer for live highlighting, written by hand: no Qt 6 build of
// a maintained highlighting engine is packaged in Debian 12 (its
// KSyntaxHighlighting is the KF5 one, on Qt 5), and this editor needs a
// lexer that keeps each line's end state in 4 bytes, so that a keystroke
// re-lexes only the lines whose state it changes, and that is right where
// generic highlighters are wrong: here-documents several to a line, quote-
// likes with any delimiter, "/" that divides or matches by what precedes
// it, "$h{q}" and "q => 1" where q is a word, "$#array". bench_highlight
// measures it against PPI, Perl's own document parser, character by
// character.
#include "syntax/perllexer.h"

#include <cstring>

namespace syntax {

namespace {

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool isHexDigit(char16_t c)
{
    return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\f' || c == u'\v';
}

bool isAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// A line that starts POD where a statement may start: "=" and a letter.
bool isPodStart(QStringView line)
{
    return line.size() >= 2 && line[0] == u'=' && isAsciiLetter(line[1].unicode());
}

bool isCut(QStringView line)
{
    return line.startsWith(u"=cut") && (line.size() == 4 || !isPerlIdentifierChar(line[4].unicode()));
}

// "format NAME =" alone on its line: picture lines follow up to a ".".
bool isFormatStart(QStringView rest)
{
    int i = 0;
    const int n = int(rest.size());
    while (i < n && isSpace(rest[i].unicode()))
        ++i;
    while (i < n && (isPerlIdentifierChar(rest[i].unicode()) || rest[i] == u':'))
        ++i;
    while (i < n && isSpace(rest[i].unicode()))
        ++i;
    if (i >= n || rest[i] != u'=')
        return false;
    for (++i; i < n; ++i)
        if (!isSpace(rest[i].unicode()))
            return false;
    return true;
}

} // namespace

bool isPerlIdentifierStartSlow(char16_t c)
{
    return QChar(c).isLetter();
}

bool isPerlIdentifierCharSlow(char16_t c)
{
    return QChar(c).isLetterOrNumber();
}

State PerlLexer::initialState() const
{
    return PerlState().encode();
}

State PerlLexer::lexLine(QStringView line, State in, Tokens *out) const
{
    PerlState state = PerlState::decode(in);
    Emitter emitter(out);
    PerlLine(line, state, emitter).run();
    return state.encode();
}

void PerlLine::run()
{
    if (!m_s.hereDocs.empty()) {
        hereDocLine();
        return;
    }
    switch (m_s.mode) {
    case PerlMode::Pod:
        m_emit.add(0, m_n, TokenClass::Pod);
        if (isCut(m_line))
            m_s.mode = PerlMode::Code;
        return;
    case PerlMode::DataPod:
        m_emit.add(0, m_n, TokenClass::Pod);
        if (isCut(m_line))
            m_s.mode = PerlMode::Data;
        return;
    case PerlMode::Data:
        if (m_s.endSection && isPodStart(m_line)) {
            m_emit.add(0, m_n, TokenClass::Pod);
            m_s.mode = PerlMode::DataPod;
        } else {
            m_emit.add(0, m_n, TokenClass::Data);
        }
        return;
    case PerlMode::Format:
        if (m_line.trimmed() == u".")
            m_s.mode = PerlMode::Code;
        return;
    case PerlMode::Quote:
        code(continueQuote(0, 0));
        break;
    case PerlMode::Code:
        // Any "=word" starts POD, "=cut" too (as in perl, that one then
        // lasts to the next "=cut").
        if (isPodStart(m_line)) {
            m_emit.add(0, m_n, TokenClass::Pod);
            m_s.mode = PerlMode::Pod;
            return;
        }
        m_prev = m_s.expectTerm ? Prev::Term : Prev::Operand;
        code(0);
        break;
    }
    if (m_s.mode == PerlMode::Code)
        m_s.expectTerm = m_prev == Prev::Term;
}

bool PerlLine::spaceBefore(int i) const
{
    return i == 0 || isSpace(m_line[i - 1].unicode());
}

bool PerlLine::spaceAfter(int i) const
{
    return i + 1 >= m_n || isSpace(m_line[i + 1].unicode());
}

int PerlLine::skipSpace(int i) const
{
    while (i < m_n && isSpace(m_line[i].unicode()))
        ++i;
    return i;
}

void PerlLine::code(int i)
{
    while (i < m_n && m_s.mode == PerlMode::Code) {
        const char16_t c = m_line[i].unicode();
        if (isSpace(c)) {
            ++i;
        } else if (c == u'#') {
            m_emit.add(i, m_n, TokenClass::Comment);
            return;
        } else if (isPerlIdentifierStart(c) || (c == u':' && at(i + 1) == u':' && isPerlIdentifierStart(at(i + 2)))) {
            i = word(i);
        } else if (isDigit(c) || (c == u'.' && termExpected() && isDigit(at(i + 1)))) {
            i = number(i);
        } else {
            i = punctuation(i);
        }
    }
}

int PerlLine::word(int i)
{
    const int start = i;
    for (;;) {
        while (i < m_n && isPerlIdentifierChar(m_line[i].unicode()))
            ++i;
        if (at(i) == u':' && at(i + 1) == u':') {
            i += 2;
            continue;
        }
        // The old package separator: "Foo'Bar" is one name.
        if (at(i) == u'\'' && isPerlIdentifierStart(at(i + 1)) && i > start
            && !isQuoteOperator(m_line.mid(start, i - start), nullptr)) {
            ++i;
            continue;
        }
        break;
    }
    const QStringView w = m_line.mid(start, i - start);
    const Prev before = m_prev;
    const int next = skipSpace(i);

    // A method name, a sub's name, a hash key before "=>".
    if (before == Prev::Arrow || before == Prev::Sub) {
        m_prev = Prev::Operand;
        return i;
    }
    if (at(next) == u'=' && at(next + 1) == u'>') {
        m_prev = Prev::Operand;
        return i;
    }

    QuoteKind kind;
    if (isQuoteOperator(w, &kind)) {
        // "-s $file" is a file test, not a substitution.
        const bool fileTest = w.size() == 1 && start > 0 && m_line[start - 1] == u'-'
                              && (start < 2 || !isPerlIdentifierChar(m_line[start - 2].unicode()));
        // A closing bracket never opens a body: "$h{q}", "(s)" are words.
        const char16_t d = at(next);
        const bool delimiterOk = d != 0 && d != u')' && d != u']' && d != u'}' && d != u'>'
                                 && !(next > i && (d == u'#' || d == u'=' || d == u',' || d == u';'))
                                 && !(next > i && isPerlIdentifierChar(d));
        if (!fileTest && delimiterOk)
            return startQuote(start, next, kind);
        m_prev = Prev::Operand;
        return i;
    }

    if (w[0] == u'_' && (w == u"__END__" || w == u"__DATA__")) {
        // Perl reads no further; a comment may close the line.
        m_emit.add(start, i, TokenClass::Keyword);
        const int rest = skipSpace(i);
        m_emit.add(rest, m_n, at(rest) == u'#' ? TokenClass::Comment : TokenClass::Data);
        m_s.mode = PerlMode::Data;
        m_s.endSection = w == u"__END__";
        return m_n;
    }
    // "x" after an operand repeats.
    if (before == Prev::Operand && (w == u"x" || (w.size() > 1 && w[0] == u'x' && isDigit(w[1].unicode())))) {
        m_prev = Prev::Term;
        return i;
    }
    if (isKeyword(w)) {
        m_emit.add(start, i, TokenClass::Keyword);
        if (w == u"sub")
            m_prev = Prev::Sub;
        else if (w == u"format" && before == Prev::Term && isFormatStart(m_line.mid(i))) {
            m_s.mode = PerlMode::Format;
            return m_n;
        } else
            m_prev = takesNoArguments(w) ? Prev::Operand : Prev::Term;
        return i;
    }
    if (w.size() > 1 && w[0] == u'v' && isDigit(w[1].unicode())) { // a version string, v5.36.0
        while (at(i) == u'.' && isDigit(at(i + 1)))
            for (++i; isDigit(at(i)); ++i) {
            }
        m_emit.add(start, i, TokenClass::Number);
        m_prev = Prev::Operand;
        return i;
    }
    m_prev = Prev::Bareword;
    return i;
}

int PerlLine::number(int i)
{
    const int start = i;
    if (at(i) == u'0' && (at(i + 1) == u'x' || at(i + 1) == u'X')) {
        for (i += 2; isHexDigit(at(i)) || at(i) == u'_'; ++i) {
        }
    } else if (at(i) == u'0' && (at(i + 1) == u'b' || at(i + 1) == u'B')) {
        for (i += 2; at(i) == u'0' || at(i) == u'1' || at(i) == u'_'; ++i) {
        }
    } else {
        while (isDigit(at(i)) || at(i) == u'_')
            ++i;
        if (at(i) == u'.' && at(i + 1) != u'.') {
            for (++i; isDigit(at(i)) || at(i) == u'_'; ++i) {
            }
        }
        const char16_t e = at(i);
        if ((e == u'e' || e == u'E')
            && (isDigit(at(i + 1)) || ((at(i + 1) == u'+' || at(i + 1) == u'-') && isDigit(at(i + 2))))) {
            for (i += 2; isDigit(at(i)) || at(i) == u'_'; ++i) {
            }
        }
    }
    m_emit.add(start, i, TokenClass::Number);
    m_prev = Prev::Operand;
    return i;
}

int PerlLine::punctuation(int i)
{
    const char16_t c = m_line[i].unicode();
    const char16_t d = at(i + 1);
    // Whether a term is likely here: a term is expected, or a bareword
    // precedes and the character hugs what follows it ("print STDERR /x/",
    // "func %args") as an operator seldom does.
    const bool term = termExpected() || (m_prev == Prev::Bareword && spaceBefore(i) && !spaceAfter(i));
    switch (c) {
    case u'$':
    case u'@':
        return variable(i);
    case u'%':
    case u'&':
    case u'*':
        if (term && sigilAllowed(i))
            return variable(i);
        break;
    case u'"':
    case u'\'':
    case u'`':
        return startQuote(i, i, QuoteKind::String);
    case u'/':
        if (term)
            return startQuote(i, i, QuoteKind::Match);
        break;
    case u'<':
        if (d == u'<') {
            const int end = hereDocStart(i);
            if (end > i)
                return end;
        } else if (termExpected()) {
            const int end = readline(i);
            if (end > i)
                return end;
        }
        break;
    case u'-':
        if (d == u'>') {
            m_prev = Prev::Arrow;
            return i + 2;
        }
        // A file test: -e -d -f ... followed by a non-word character.
        if (termExpected() && d < 128 && d != 0 && std::strchr("rwxoRWXOezsfdlpSbcugktTBAMC", char(d))
            && !isPerlIdentifierChar(at(i + 2)) && at(i + 2) != u'>') {
            m_prev = Prev::Term;
            return i + 2;
        }
        break;
    case u'{': {
        // A subscript hugs what it subscripts ($h{k}, $r->{k}, @{$r});
        // after a block's "}" a statement starts.
        const bool subscript = m_prev == Prev::Arrow || (m_prev == Prev::Operand && !spaceBefore(i));
        if (m_braceDepth < 32)
            m_subscripts = subscript ? m_subscripts | 1u << m_braceDepth : m_subscripts & ~(1u << m_braceDepth);
        ++m_braceDepth;
        m_prev = Prev::Term;
        return i + 1;
    }
    case u'}':
        if (m_braceDepth > 0) {
            --m_braceDepth;
            m_prev = m_braceDepth < 32 && !(m_subscripts >> m_braceDepth & 1) ? Prev::Term : Prev::Operand;
        } else {
            m_prev = Prev::Term;
        }
        return i + 1;
    case u'(':
    case u'[':
        m_prev = Prev::Term;
        return i + 1;
    case u')':
    case u']':
        m_prev = Prev::Operand;
        return i + 1;
    default:
        break;
    }
    // Any other operator: what follows it is a term. An operator's own
    // characters are passed over with it ("//" divides as a whole, "=~"
    // stays apart from the "/" after it).
    int end = i + 1;
    const auto among = [](char16_t ch, const char *set) { return ch != 0 && ch < 128 && std::strchr(set, char(ch)); };
    while (end < m_n && end < i + 3 && (m_line[end] == c || among(m_line[end].unicode(), "=~>|"))
           && among(m_line[end].unicode(), "=<>!~*&|/.+-^%"))
        ++end;
    m_prev = Prev::Term;
    return end;
}

} // namespace syntax
