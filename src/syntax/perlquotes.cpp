// Perl's quote-likes: '' "" `` q qq qw qx m qr s tr y and bare /.../, with
// any delimiter, nesting brackets, bodies over several lines and two
// bodies for s and tr; here-documents; readline <FH>.
#include "syntax/perllexer.h"

namespace syntax {

namespace {

TokenClass classOf(QuoteKind kind)
{
    return kind == QuoteKind::String ? TokenClass::String : TokenClass::Regex;
}

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\f' || c == u'\v';
}

bool isModifier(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

} // namespace

int PerlLine::startQuote(int from, int delimiter, QuoteKind kind)
{
    m_s.mode = PerlMode::Quote;
    m_s.quote = kind;
    m_s.part = 0;
    m_s.depth = 0;
    m_s.open = m_line[delimiter].unicode();
    m_s.close = closingDelimiter(m_s.open);
    return continueQuote(from, delimiter + 1);
}

// Goes on with the quote-like in m_s from i; `from` is where its colour
// starts on this line. Returns where code goes on, or the line's end while
// the quote-like stays open.
int PerlLine::continueQuote(int from, int i)
{
    const TokenClass cls = classOf(m_s.quote);
    for (;;) {
        if (m_s.part == 1) { // between s{...} and {...}: white space, then the second opener
            i = skipSpace(i);
            if (i >= m_n)
                break;
            m_s.open = m_line[i].unicode();
            m_s.close = closingDelimiter(m_s.open);
            m_s.part = 2;
            m_s.depth = 0;
            ++i;
            continue;
        }
        const int end = scanBody(i);
        if (end < 0)
            break;
        i = end;
        if (m_s.part == 0 && (m_s.quote == QuoteKind::Substitute || m_s.quote == QuoteKind::Transliterate)) {
            m_s.part = m_s.open == m_s.close ? 2 : 1;
            m_s.depth = 0;
            continue;
        }
        if (m_s.quote != QuoteKind::String)
            while (isModifier(at(i)))
                ++i;
        m_emit.add(from, i, cls);
        m_s.mode = PerlMode::Code;
        m_s.quote = QuoteKind::String;
        m_s.part = 0;
        m_s.open = m_s.close = 0;
        m_s.depth = 0;
        m_prev = Prev::Operand;
        return i;
    }
    m_emit.add(from, m_n, cls);
    return m_n;
}

// The end of a body from i, just past its closing delimiter, or -1 when the
// line ends first (m_s.depth then holds the open brackets).
int PerlLine::scanBody(int i)
{
    const char16_t open = m_s.open;
    const char16_t close = m_s.close;
    const bool escapes = open != u'\\';
    const QChar *p = m_line.data();
    for (; i < m_n; ++i) {
        const char16_t c = p[i].unicode();
        if (c == u'\\' && escapes) {
            ++i;
        } else if (c == close) {
            if (m_s.depth == 0)
                return i + 1;
            --m_s.depth;
        } else if (c == open) {
            ++m_s.depth;
        }
    }
    return -1;
}

// "<<" at i: a here-document's introducer (<<"END", <<'END', <<`END`,
// <<END, <<\END, and each of them with "~") whose body starts on the next
// line; or, returning i, a shift.
int PerlLine::hereDocStart(int i)
{
    // Where a term is expected "<<" starts one. After a bareword or a
    // variable ("print STDERR <<END", "print $fh <<'END'") it does when
    // white space stands before it and its terminator hugs it; "1<<$n" and
    // "$x << 2" shift.
    if (m_prev == Prev::Arrow || (m_prev == Prev::Operand && !spaceBefore(i)))
        return i;
    int j = i + 2;
    HereDoc doc;
    if (at(j) == u'~') {
        doc.indented = true;
        ++j;
    }
    // "<< 'END'" with white space is one too, but not after a variable.
    int k = skipSpace(j);
    if (k != j && (m_prev == Prev::Operand || (at(k) != u'"' && at(k) != u'\'' && at(k) != u'`')))
        return i;
    const char16_t q = at(k);
    int end;
    if (q == u'"' || q == u'\'' || q == u'`') {
        const int close = int(m_line.indexOf(QChar(q), k + 1));
        if (close < 0)
            return i;
        doc.terminator = m_line.mid(k + 1, close - k - 1).toString();
        end = close + 1;
    } else {
        int s = q == u'\\' ? k + 1 : k;
        if (!isPerlIdentifierStart(at(s)))
            return i;
        end = s;
        while (isPerlIdentifierChar(at(end)))
            ++end;
        doc.terminator = m_line.mid(s, end - s).toString();
    }
    m_emit.add(i, end, TokenClass::String);
    m_s.hereDocs.push_back(std::move(doc));
    m_prev = Prev::Operand;
    return end;
}

// A line of the first pending here-document's body, or its terminator.
void PerlLine::hereDocLine()
{
    m_emit.add(0, m_n, TokenClass::String);
    const HereDoc &doc = m_s.hereDocs.front();
    QStringView line = m_line;
    if (line.endsWith(u'\r'))
        line.chop(1);
    if (doc.indented) {
        int i = 0;
        while (i < line.size() && (line[i] == u' ' || line[i] == u'\t'))
            ++i;
        line = line.mid(i);
    }
    if (line == doc.terminator)
        m_s.hereDocs.erase(m_s.hereDocs.begin());
}

// "<" where a term is expected: <FH>, <$fh>, <>, <<>>, <*.c>.
int PerlLine::readline(int i)
{
    int end = i + 1;
    while (end < m_n && m_line[end] != u'>' && m_line[end] != u'<' && m_line[end] != u';'
           && m_line[end] != u'=' && !isSpace(m_line[end].unicode()))
        ++end;
    if (end >= m_n || m_line[end] != u'>')
        return i;
    m_emit.add(i, end + 1, TokenClass::String);
    m_prev = Prev::Operand;
    return end + 1;
}

} // namespace syntax
