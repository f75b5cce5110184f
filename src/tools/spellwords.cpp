#include "tools/spellwords.h"

#include <QFileInfo>
#include <QSet>
#include <QStringView>

#include <algorithm>

namespace tools {

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool isIdentStart(QChar c)
{
    return isAsciiLetter(c) || c == u'_';
}
bool isIdentChar(QChar c)
{
    return isIdentStart(c) || (c >= u'0' && c <= u'9');
}
bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}
bool isLetter(QChar c)
{
    return c.isLetter() || c.isMark();
}
bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c == u'_';
}
bool isBreak(QChar c)
{
    return c == u'\n' || c == u'\r';
}
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}
bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || isBreak(c) || (c.unicode() > 127 && c.isSpace());
}
bool isApostrophe(QChar c)
{
    return c == u'\'' || c == QChar(0x2019);
}

// A run of prose. A word touching a glued end is joined to something that
// is not prose (a variable, an entity standing for a letter) and so can't
// be checked on its own.
struct Segment
{
    int start;
    int end;
    bool gluedStart;
    bool gluedEnd;
};

class Collector
{
public:
    std::vector<Segment> segments;

    void add(int from, int to)
    {
        if (from >= to)
            return;
        if (!segments.empty() && segments.back().end == from) {
            segments.back().end = to;
            return;
        }
        segments.push_back(Segment{from, to, m_glueAt == from, false});
    }

    // [from, to) is not prose; glued: it is part of the words around it.
    void gap(int from, int to, bool glued)
    {
        if (!glued)
            return;
        if (!segments.empty() && segments.back().end == from)
            segments.back().gluedEnd = true;
        m_glueAt = to;
    }

    struct Mark
    {
        size_t size;
        Segment last;
    };
    Mark mark() const
    {
        return Mark{segments.size(), segments.empty() ? Segment{-1, -1, false, false} : segments.back()};
    }
    void rollback(const Mark &m)
    {
        segments.resize(m.size);
        if (!segments.empty())
            segments.back() = m.last;
    }

private:
    int m_glueAt = -1;
};

// What a stretch of text may hold besides prose.
enum TextFlag : unsigned {
    Tags = 1,           // HTML tags and comments
    Escapes = 2,        // Perl's backslash escapes of interpolating strings
    QuoteEscapes = 4,   // only \\ and \' (single-quoted strings)
    Variables = 8,      // interpolated Perl variables
    Formats = 16,       // printf specifiers
};
const unsigned kHtml = Tags;
const unsigned kPerlString = Tags | Escapes | Variables | Formats;
const unsigned kPerlLiteral = Tags | QuoteEscapes | Formats;
const unsigned kPerlHeredocLiteral = Tags | Formats;

bool equalsAny(QStringView word, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        if (word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Elements whose content is never prose.
bool isCodeElement(QStringView name)
{
    return equalsAny(name, {"script", "style", "code", "kbd", "samp"});
}

bool isProseAttribute(QStringView name)
{
    return equalsAny(name, {"alt", "title", "placeholder"});
}

// Named entities that stand for letters (&eacute;, &szlig;, &thorn;).
bool isLetterEntity(QStringView name)
{
    for (const char *suffix : {"acute", "grave", "circ", "uml", "tilde", "cedil", "ring", "slash", "lig"}) {
        if (name.size() > qsizetype(qstrlen(suffix)) && name.endsWith(QLatin1String(suffix)))
            return true;
    }
    return equalsAny(name, {"eth", "thorn"});
}

class Scanner
{
public:
    Scanner(const QString &text, Collector &out)
        : t(text.constData()), n(int(text.size())), out(out)
    {
    }

    void plain() { out.add(0, n); }

    void html() { markup(0, n, kHtml); }

    void perl()
    {
        int i = 0;
        if (startsWith(0, "#!"))
            i = lineEnd(0);
        bool termNext = true; // a term may follow: '/' starts a pattern
        bool lineStart = i == 0;
        std::vector<Heredoc> pending;
        while (i < n) {
            const QChar c = t[i];
            if (isBreak(c)) {
                i = afterBreak(i);
                if (!pending.empty()) {
                    i = heredocBodies(i, pending);
                    pending.clear();
                }
                lineStart = true;
                continue;
            }
            if (lineStart) {
                lineStart = false;
                if (c == u'=' && i + 1 < n && isAsciiLetter(t[i + 1])) {
                    i = pod(i);
                    lineStart = true;
                    continue;
                }
                if (c == u'_' && (isWordAt(i, "__END__") || isWordAt(i, "__DATA__"))) {
                    afterEnd(lineEnd(i));
                    return;
                }
            }
            if (isBlank(c) || isSpace(c)) {
                ++i;
                continue;
            }
            switch (c.unicode()) {
            case u'#': {
                const int e = lineEnd(i);
                out.add(i + 1, e);
                i = e;
                continue;
            }
            case u'"':
            case u'\'': {
                const int close = delimitedEnd(i + 1, c);
                perlString(i + 1, close, c == u'"' ? kPerlString : kPerlLiteral);
                i = std::min(n, close + 1);
                termNext = false;
                continue;
            }
            case u'`':
                i = std::min(n, delimitedEnd(i + 1, c) + 1);
                termNext = false;
                continue;
            case u'/':
                if (termNext) {
                    i = modifiersEnd(delimitedEnd(i + 1, c) + 1);
                    termNext = false;
                } else {
                    ++i;
                    termNext = true;
                }
                continue;
            case u'<': {
                Heredoc h;
                const int e = heredocMarker(i, &h);
                if (e > i) {
                    pending.push_back(h);
                    i = e;
                    termNext = false;
                } else {
                    ++i;
                    termNext = true;
                }
                continue;
            }
            case u'$':
                i = codeVariable(i);
                termNext = false;
                continue;
            case u'@':
            case u'%':
            case u'&':
                if (i + 1 < n && (c == u'@' || termNext)
                    && (isIdentStart(t[i + 1]) || t[i + 1] == u'{' || t[i + 1] == u'$'
                        || t[i + 1] == u':')) {
                    i = codeVariable(i);
                    termNext = false;
                } else {
                    ++i;
                    termNext = true;
                }
                continue;
            case u')':
            case u']':
            case u'}':
                ++i;
                termNext = false;
                continue;
            default:
                break;
            }
            if (isIdentStart(c)) {
                i = word(i, &termNext);
                continue;
            }
            if (isDigit(c)) {
                while (i < n && (isIdentChar(t[i]) || (t[i] == u'.' && i + 1 < n && isDigit(t[i + 1]))))
                    ++i;
                termNext = false;
                continue;
            }
            ++i;
            termNext = true;
        }
    }

private:
    // A here-document's terminator is a short word; anything longer is
    // not one (and is not searched for further).
    static const int kLongestTag = 256;

    struct Heredoc
    {
        int tagStart = 0;
        int tagLength = 0;
        bool indented = false;
        bool interpolates = true;
    };

    bool startsWith(int i, const char *s) const
    {
        for (int k = 0; s[k]; ++k) {
            if (i + k >= n || t[i + k] != QLatin1Char(s[k]))
                return false;
        }
        return true;
    }
    bool isWordAt(int i, const char *s) const
    {
        const int len = int(qstrlen(s));
        return startsWith(i, s) && (i + len >= n || !isIdentChar(t[i + len]));
    }
    int lineEnd(int i) const
    {
        while (i < n && !isBreak(t[i]))
            ++i;
        return i;
    }
    int afterBreak(int i) const
    {
        if (i < n && t[i] == u'\r')
            ++i;
        else if (i < n && t[i] == u'\n')
            return i + 1;
        if (i < n && t[i] == u'\n')
            ++i;
        return i;
    }
    QStringView view(int from, int to) const { return QStringView(t + from, to - from); }
    bool letterAt(int i, int from, int to) const { return i >= from && i < to && isLetter(t[i]); }

    // The position of the delimiter that closes a quote or pattern opened
    // just before p (n when it is never closed). Brackets nest.
    int delimitedEnd(int p, QChar open) const
    {
        QChar close = open;
        switch (open.unicode()) {
        case u'(': close = u')'; break;
        case u'[': close = u']'; break;
        case u'{': close = u'}'; break;
        case u'<': close = u'>'; break;
        default: break;
        }
        int depth = 0;
        while (p < n) {
            const QChar c = t[p];
            if (c == u'\\') {
                p += 2;
                continue;
            }
            if (c == close) {
                if (depth == 0)
                    return p;
                --depth;
            } else if (c == open && open != close) {
                ++depth;
            }
            ++p;
        }
        return n;
    }
    int modifiersEnd(int p) const
    {
        p = std::min(p, n);
        while (p < n && isAsciiLetter(t[p]))
            ++p;
        return p;
    }
    int balancedEnd(int p, int to) const
    {
        // p is at an opening bracket
        const QChar open = t[p];
        const QChar close = open == u'[' ? u']' : u'}';
        int depth = 0;
        for (; p < to; ++p) {
            if (t[p] == open)
                ++depth;
            else if (t[p] == close && --depth == 0)
                return p + 1;
        }
        return to;
    }

    // ------------------------------------------------------------ Perl code

    // A variable in code: $name, $#name, ${...}, $::name, $Pkg::name, and
    // the punctuation variables ($/, $', $", $#, ...), which must not start
    // a pattern, string or comment.
    int codeVariable(int i) const
    {
        int p = i + 1;
        if (p >= n)
            return p;
        if (t[i] == u'$' && t[p] == u'#') {
            ++p;
            if (p >= n || !(t[p] == u'{' || t[p] == u'$' || isIdentStart(t[p])))
                return p;
        }
        while (p < n && t[p] == u'$')
            ++p;
        if (p >= n)
            return p;
        const QChar d = t[p];
        if (d == u'{')
            return p; // the braces are read as code
        if (isIdentStart(d) || d == u':') {
            while (p < n && (isIdentChar(t[p]) || (t[p] == u':' && p + 1 < n && t[p + 1] == u':'))) {
                p += t[p] == u':' ? 2 : 1;
            }
            return p;
        }
        if (isDigit(d)) {
            while (p < n && isDigit(t[p]))
                ++p;
            return p;
        }
        if (t[i] == u'$' && p == i + 1 && !isSpace(d)) {
            if (d == u'^' && p + 1 < n && isAsciiLetter(t[p + 1]))
                return p + 2;
            return p + 1;
        }
        return p;
    }

    // A bareword: a quote-like operator (q qq qw qr m s tr y) takes its
    // delimited parts; any other word is code.
    int word(int i, bool *termNext)
    {
        int p = i;
        while (p < n && (isIdentChar(t[p]) || (t[p] == u':' && p + 1 < n && t[p + 1] == u':')))
            p += t[p] == u':' ? 2 : 1;
        const QStringView w = view(i, p);
        static const char *const quoteOps[] = {"q", "qq", "qw", "qr", "m", "s", "tr", "y"};
        bool quoteOp = false;
        for (const char *op : quoteOps)
            quoteOp = quoteOp || w == QLatin1String(op);
        const QChar before = i > 0 ? t[i - 1] : QChar(u' ');
        if (quoteOp && before != u'-' && before != u'$' && before != u'@' && before != u'%'
            && before != u'&' && before != u'*' && !(i > 1 && t[i - 2] == u'-' && before == u'>')) {
            int d = p;
            while (d < n && isBlank(t[d]))
                ++d;
            const QChar delim = d < n ? t[d] : QChar();
            const bool valid = d < n && !isWordChar(delim) && !isSpace(delim)
                && !QStringView(u"=,;)}]>:.-").contains(delim) && !(delim == u'#' && d > p);
            if (valid) {
                *termNext = false;
                return quoteLike(w, d);
            }
        }
        static const char *const operators[] = {"split", "grep", "map", "join", "if", "elsif", "unless",
                                                "and", "or", "not", "xor", "return", "while", "until",
                                                "when", "push", "unshift", "lt", "gt", "le", "ge", "eq",
                                                "ne", "cmp", "x"};
        bool op = false;
        for (const char *o : operators)
            op = op || w == QLatin1String(o);
        *termNext = op;
        return p;
    }

    int quoteLike(QStringView op, int d)
    {
        const QChar open = t[d];
        const int close = delimitedEnd(d + 1, open);
        if (op == u"q" || op == u"qq") {
            perlString(d + 1, close, op == u"q" ? kPerlLiteral : kPerlString);
            return std::min(n, close + 1);
        }
        if (op == u"qw" || op == u"qr" || op == u"m")
            return modifiersEnd(close + 1);
        // s, tr, y: a second part, with its own delimiters after brackets
        int p = close + 1;
        if (p >= n)
            return n;
        if (open == u'(' || open == u'[' || open == u'{' || open == u'<') {
            while (p < n && isSpace(t[p]))
                ++p;
            if (p >= n)
                return n;
            p = delimitedEnd(p + 1, t[p]) + 1;
        } else {
            p = delimitedEnd(p, open) + 1;
        }
        return modifiersEnd(p);
    }

    // A string literal's content is prose when it holds markup or at
    // least two words: a single word is a key, a name or a mode.
    void perlString(int from, int to, unsigned flags)
    {
        to = std::min(to, n);
        const Collector::Mark m = out.mark();
        const bool tags = markup(from, to, flags);
        if (!tags && wordsIn(from, to, flags & Escapes) < 2)
            out.rollback(m);
    }

    int wordsIn(int from, int to, bool escapes) const
    {
        int words = 0;
        bool inWord = false, letters = false;
        for (int i = from; i < to && words < 2; ++i) {
            QChar c = t[i];
            if (escapes && c == u'\\' && i + 1 < to) {
                const QChar e = t[i + 1];
                if (e == u'n' || e == u't' || e == u'r') {
                    c = u' ';
                    ++i;
                }
            }
            if (isSpace(c)) {
                if (inWord && letters)
                    ++words;
                inWord = letters = false;
            } else {
                inWord = true;
                letters = letters || isLetter(c);
            }
        }
        if (inWord && letters)
            ++words;
        return words;
    }

    // <<"TAG", <<'TAG', <<TAG, <<~TAG, <<\TAG: the end of the marker, or i.
    int heredocMarker(int i, Heredoc *h) const
    {
        if (i + 2 >= n || t[i + 1] != u'<')
            return i;
        int p = i + 2;
        if (t[p] == u'~') {
            h->indented = true;
            ++p;
        }
        int q = p;
        while (q < n && isBlank(t[q]))
            ++q;
        if (q < n && (t[q] == u'"' || t[q] == u'\'')) {
            const QChar quote = t[q];
            int e = q + 1;
            while (e < n && e - q < kLongestTag && t[e] != quote && !isBreak(t[e]))
                ++e;
            if (e >= n || t[e] != quote)
                return i;
            h->tagStart = q + 1;
            h->tagLength = e - q - 1;
            h->interpolates = quote == u'"';
            return e + 1;
        }
        if (p + 1 < n && t[p] == u'\\' && isIdentStart(t[p + 1])) {
            h->interpolates = false;
            ++p;
        } else if (p >= n || !isIdentStart(t[p])) {
            return i;
        }
        int e = p;
        while (e < n && isIdentChar(t[e]))
            ++e;
        h->tagStart = p;
        h->tagLength = e - p;
        return e;
    }

    // The bodies of the here-documents announced on the line just ended;
    // returns where code goes on.
    int heredocBodies(int p, const std::vector<Heredoc> &docs)
    {
        for (const Heredoc &h : docs) {
            const QStringView tag = view(h.tagStart, h.tagStart + h.tagLength);
            const int bodyStart = p;
            int bodyEnd = n;
            while (p < n) {
                const int ls = p;
                const int le = lineEnd(p);
                int content = ls;
                if (h.indented) {
                    while (content < le && isBlank(t[content]))
                        ++content;
                }
                p = afterBreak(le);
                if (view(content, le) == tag) {
                    bodyEnd = ls;
                    break;
                }
            }
            // Code kept in a here-document is not prose.
            if (!equalsAny(tag, {"JS", "JAVASCRIPT", "SCRIPT", "CSS", "STYLE", "SQL", "CODE", "PERL"}))
                markup(bodyStart, bodyEnd, h.interpolates ? kPerlString : kPerlHeredocLiteral);
        }
        return p;
    }

    // After __END__ or __DATA__ only POD is read.
    void afterEnd(int p)
    {
        while (p < n) {
            p = afterBreak(p);
            if (p < n && t[p] == u'=' && p + 1 < n && isAsciiLetter(t[p + 1]))
                p = pod(p);
            else
                p = lineEnd(p);
        }
    }

    // ------------------------------------------------------------ POD

    // A POD block from its first command to the line after =cut.
    int pod(int p)
    {
        bool inBegin = false, skipParagraph = false;
        while (p < n) {
            const int ls = p;
            const int le = lineEnd(p);
            p = afterBreak(le);
            if (ls == le) {
                skipParagraph = false;
                continue;
            }
            if (t[ls] == u'=' && ls + 1 < le && isAsciiLetter(t[ls + 1])) {
                int ce = ls + 1;
                while (ce < le && isIdentChar(t[ce]))
                    ++ce;
                const QStringView command = view(ls + 1, ce);
                if (command == u"cut")
                    return p;
                if (command == u"begin")
                    inBegin = true;
                else if (command == u"end")
                    inBegin = false;
                else if (command == u"for")
                    skipParagraph = true;
                else if (!inBegin && (command.startsWith(u"head") || command == u"item")) {
                    int rest = ce;
                    while (rest < le && isBlank(t[rest]))
                        ++rest;
                    if (command == u"item") {
                        while (rest < le && (t[rest] == u'*' || isDigit(t[rest]) || t[rest] == u'.'))
                            ++rest;
                    }
                    podText(rest, le);
                }
                continue;
            }
            if (inBegin || skipParagraph || isBlank(t[ls]))
                continue; // verbatim paragraphs are code
            podText(ls, le);
        }
        return n;
    }

    // POD text: C<>, F<>, L<>, E<>, X<>, Z<> are not prose; I<>, B<>, S<>
    // hold prose.
    void podText(int from, int to)
    {
        std::vector<int> open; // the closing '>' count of each open code
        int run = from;
        int i = from;
        while (i < to) {
            const QChar c = t[i];
            if (c >= u'A' && c <= u'Z' && i + 1 < to && t[i + 1] == u'<'
                && (i == from || !isWordChar(t[i - 1]))) {
                int k = i + 1;
                int angles = 0;
                while (k < to && t[k] == u'<') {
                    ++angles;
                    ++k;
                }
                if (!(angles >= 2 && k < to && isSpace(t[k]))) {
                    angles = 1;
                    k = i + 2;
                }
                out.add(run, i);
                if (QStringView(u"CFLEXZ").contains(c)) {
                    const int end = podCodeEnd(k, to, angles);
                    out.gap(i, end, letterAt(i - 1, from, to) || letterAt(end, from, to));
                    i = end;
                } else {
                    open.push_back(angles);
                    i = k;
                }
                run = i;
                continue;
            }
            if (c == u'>' && !open.empty()) {
                const int angles = open.back();
                bool closes = angles == 1;
                if (!closes && i > from && isSpace(t[i - 1]) && i + angles <= to) {
                    int k = 0;
                    while (k < angles && t[i + k] == u'>')
                        ++k;
                    closes = k == angles;
                }
                if (closes) {
                    out.add(run, i);
                    open.pop_back();
                    i += angles;
                    run = i;
                    continue;
                }
            }
            ++i;
        }
        out.add(run, to);
    }

    int podCodeEnd(int p, int to, int angles) const
    {
        if (angles > 1) {
            for (; p < to; ++p) {
                if (isSpace(t[p]) && p + angles < to) {
                    int k = 1;
                    while (k <= angles && t[p + k] == u'>')
                        ++k;
                    if (k > angles)
                        return p + 1 + angles;
                }
            }
            return to;
        }
        int depth = 1;
        for (; p < to; ++p) {
            if (t[p] >= u'A' && t[p] <= u'Z' && p + 1 < to && t[p + 1] == u'<') {
                ++depth;
                ++p;
            } else if (t[p] == u'>' && --depth == 0) {
                return p + 1;
            }
        }
        return to;
    }

    // ------------------------------------------------------------ markup

    // Prose with markup in [from, to): tags, entities and, in Perl
    // strings, escapes, variables and format specifiers are left out.
    // Returns whether there was a tag.
    bool markup(int from, int to, unsigned flags)
    {
        bool sawTag = false;
        bool inComment = false;
        int run = from;
        int i = from;
        while (i < to) {
            const QChar c = t[i];
            int end = i;
            bool glued = false;
            switch (c.unicode()) {
            case u'<':
                if (!(flags & Tags))
                    break;
                if (startsWith(i, "<!--") && i + 4 <= to) {
                    end = i + 4;
                    inComment = true;
                } else {
                    out.add(run, i);
                    run = i;
                    end = tag(i, to, flags);
                    glued = end > i && letterAt(i - 1, from, to) && letterAt(end, from, to);
                }
                sawTag = sawTag || end > i;
                break;
            case u'-':
                if (inComment && startsWith(i, "-->") && i + 3 <= to) {
                    end = i + 3;
                    inComment = false;
                }
                break;
            case u'&': {
                bool letter = false;
                end = entityEnd(i, to, &letter);
                glued = letter && (letterAt(i - 1, from, to) || letterAt(end, from, to));
                // A tag written out as text: &lt;blockquote&gt;
                if (end == i + 4 && startsWith(i, "&lt;")) {
                    int p = end < to && t[end] == u'/' ? end + 1 : end;
                    if (p < to && isAsciiLetter(t[p])) {
                        while (p < to && isIdentChar(t[p]))
                            ++p;
                        end = p;
                    }
                }
                break;
            }
            case u'\\':
                if (flags & Escapes) {
                    bool character = false;
                    end = escapeEnd(i, to, &character);
                    glued = character && (letterAt(i - 1, from, to) || letterAt(end, from, to));
                    // can\'t
                    glued = glued || (end == i + 2 && t[i + 1] == u'\'' && letterAt(i - 1, from, to)
                                      && letterAt(end, from, to));
                } else if ((flags & QuoteEscapes) && i + 1 < to && (t[i + 1] == u'\\' || t[i + 1] == u'\'')) {
                    end = i + 2;
                    glued = letterAt(i - 1, from, to) && letterAt(end, from, to);
                }
                break;
            case u'$':
            case u'@':
                if (flags & Variables) {
                    end = variableEnd(i, from, to);
                    glued = end > i && (letterAt(i - 1, from, to) || letterAt(end, from, to));
                }
                break;
            case u'%':
                if (flags & Formats)
                    end = formatEnd(i, to);
                break;
            default:
                break;
            }
            if (end > i) {
                out.add(run, i);
                out.gap(i, end, glued);
                i = end;
                run = i;
            } else {
                ++i;
            }
        }
        out.add(run, to);
        return sawTag;
    }

    // A tag at i: its end (with the content of script, style and code
    // elements), or i when '<' doesn't start one. Prose attribute values
    // are collected on the way.
    int tag(int i, int to, unsigned flags)
    {
        if (i + 1 >= to)
            return i;
        const QChar c = t[i + 1];
        if (c == u'!' || c == u'?' || c == u'%') {
            const char *close = c == u'?' ? "?>" : c == u'%' ? "%>" : startsWith(i, "<![CDATA[") ? "]]>" : ">";
            const int closeLength = int(qstrlen(close));
            const int at = int(view(i + 2, to).indexOf(QLatin1String(close)));
            return at < 0 ? to : i + 2 + at + closeLength;
        }
        const bool closing = c == u'/';
        int p = i + 1 + (closing ? 1 : 0);
        if (p >= to || !isAsciiLetter(t[p]))
            return i;
        const int nameStart = p;
        while (p < to && (isIdentChar(t[p]) || t[p] == u'-' || t[p] == u':'))
            ++p;
        const QStringView name = view(nameStart, p);
        bool selfClosing = false;
        while (p < to) {
            const QChar d = t[p];
            if (d == u'>') {
                ++p;
                break;
            }
            if (isSpace(d) || d == u'/' || d == u'\\' || d == u'"' || d == u'\'') {
                selfClosing = d == u'/';
                ++p;
                continue;
            }
            selfClosing = false;
            const int an = p;
            while (p < to && !isSpace(t[p]) && t[p] != u'=' && t[p] != u'>' && t[p] != u'/')
                ++p;
            const QStringView attribute = view(an, p);
            int q = p;
            while (q < to && isSpace(t[q]))
                ++q;
            if (q >= to || t[q] != u'=' || p == an) {
                p = std::max(q, an + 1);
                continue;
            }
            ++q;
            while (q < to && isSpace(t[q]))
                ++q;
            // A value: quoted, quoted with escaped quotes inside a Perl
            // string (\"...\"), or bare.
            const bool escaped = (flags & (Escapes | QuoteEscapes)) && q + 1 < to && t[q] == u'\\'
                && (t[q + 1] == u'"' || t[q + 1] == u'\'');
            const QChar quote = escaped ? t[q + 1] : (q < to ? t[q] : QChar());
            int vs, ve;
            if (quote == u'"' || quote == u'\'') {
                vs = q + (escaped ? 2 : 1);
                ve = vs;
                if (escaped) {
                    while (ve + 1 < to && !(t[ve] == u'\\' && t[ve + 1] == quote))
                        ++ve;
                    if (ve + 1 >= to)
                        ve = to;
                    p = std::min(to, ve + 2);
                } else {
                    while (ve < to && t[ve] != quote)
                        ++ve;
                    p = std::min(to, ve + 1);
                }
            } else {
                vs = ve = q;
                while (ve < to && !isSpace(t[ve]) && t[ve] != u'>')
                    ++ve;
                p = ve;
            }
            if (isProseAttribute(attribute))
                markup(vs, ve, flags & ~unsigned(Tags));
        }
        if (!closing && !selfClosing && isCodeElement(name))
            p = closingTag(p, to, name);
        return p;
    }

    // The start of "</name" at or after p, or to.
    int closingTag(int p, int to, QStringView name) const
    {
        const QStringView rest = view(p, to);
        qsizetype at = 0;
        while ((at = rest.indexOf(u"</", at)) >= 0) {
            const qsizetype e = at + 2 + name.size();
            if (e <= rest.size() && rest.mid(at + 2, name.size()).compare(name, Qt::CaseInsensitive) == 0
                && (e == rest.size() || !isIdentChar(rest.at(e))))
                return p + int(at);
            at += 2;
        }
        return to;
    }

    // &name; &#123; &#x1F; : the end, or i.
    int entityEnd(int i, int to, bool *letter) const
    {
        int p = i + 1;
        if (p >= to)
            return i;
        if (t[p] == u'#') {
            ++p;
            const bool hex = p < to && (t[p] == u'x' || t[p] == u'X');
            if (hex)
                ++p;
            const int ds = p;
            char32_t code = 0;
            while (p < to && p - ds < 8) {
                const QChar d = t[p];
                int v = -1;
                if (isDigit(d))
                    v = d.unicode() - u'0';
                else if (hex && d.toLower() >= u'a' && d.toLower() <= u'f')
                    v = d.toLower().unicode() - u'a' + 10;
                if (v < 0)
                    break;
                code = code * (hex ? 16 : 10) + char32_t(v);
                ++p;
            }
            if (p == ds || p >= to || t[p] != u';')
                return i;
            *letter = code <= 0x10FFFF && QChar::isLetter(code);
            return p + 1;
        }
        const int ns = p;
        while (p < to && p - ns < 32 && isIdentChar(t[p]))
            ++p;
        if (p == ns || !isAsciiLetter(t[ns]) || p >= to || t[p] != u';')
            return i;
        *letter = isLetterEntity(view(ns, p));
        return p + 1;
    }

    // A backslash escape of an interpolating string; *character when it
    // stands for a character that may be a letter (\x{e9}, \351).
    int escapeEnd(int i, int to, bool *character) const
    {
        int p = i + 1;
        if (p >= to)
            return to;
        const QChar c = t[p];
        ++p;
        if (c == u'x' || c == u'N' || c == u'o') {
            *character = true;
            if (p < to && t[p] == u'{') {
                while (p < to && t[p] != u'}')
                    ++p;
                return std::min(to, p + 1);
            }
            if (c == u'x') {
                for (int k = 0; k < 2 && p < to && (isDigit(t[p]) || (t[p].toLower() >= u'a' && t[p].toLower() <= u'f')); ++k)
                    ++p;
            }
            return p;
        }
        if (c == u'c')
            return std::min(to, p + 1);
        if (c >= u'0' && c <= u'7') {
            *character = true;
            for (int k = 0; k < 2 && p < to && t[p] >= u'0' && t[p] <= u'7'; ++k)
                ++p;
        }
        return p;
    }

    // An interpolated variable at i with its subscripts, or i.
    int variableEnd(int i, int from, int to) const
    {
        const bool array = t[i] == u'@';
        int p = i + 1;
        if (p >= to)
            return i;
        if (array) {
            const QChar d = t[p];
            if (!(isIdentStart(d) || d == u'{' || d == u'$' || d == u':'))
                return i;
            if (i > from && isWordChar(t[i - 1]))
                return i; // a mail address
        } else if (t[p] == u'#') {
            ++p;
        }
        while (p < to && t[p] == u'$')
            ++p;
        if (p >= to)
            return p > i + 1 ? p : i;
        const QChar d = t[p];
        if (d == u'{') {
            p = balancedEnd(p, to);
        } else if (isIdentStart(d) || (d == u':' && p + 1 < to && t[p + 1] == u':')) {
            while (p < to && (isIdentChar(t[p]) || (t[p] == u':' && p + 1 < to && t[p + 1] == u':')))
                p += t[p] == u':' ? 2 : 1;
        } else if (isDigit(d)) {
            while (p < to && isDigit(t[p]))
                ++p;
        } else if (!array && p == i + 1 && QStringView(u"&`'+!@/\\,;.0_").contains(d)) {
            return p + 1;
        } else {
            return p > i + 1 ? p : i;
        }
        // subscripts: [..], {..}, ->[..], ->{..}
        while (p < to) {
            if (t[p] == u'[' || t[p] == u'{') {
                p = balancedEnd(p, to);
            } else if (t[p] == u'-' && p + 2 < to && t[p + 1] == u'>' && (t[p + 2] == u'[' || t[p + 2] == u'{')) {
                p += 2;
            } else {
                break;
            }
        }
        return p;
    }

    // %s, %-10.2f, %%: the end, or i.
    int formatEnd(int i, int to) const
    {
        int p = i + 1;
        if (p < to && t[p] == u'%')
            return p + 1;
        while (p < to && QStringView(u"-+0#").contains(t[p]))
            ++p;
        if (p < to && t[p] == u'*')
            ++p;
        else
            while (p < to && isDigit(t[p]))
                ++p;
        if (p < to && t[p] == u'.') {
            ++p;
            if (p < to && t[p] == u'*')
                ++p;
            else
                while (p < to && isDigit(t[p]))
                    ++p;
        }
        if (p < to && QStringView(u"csduoxXeEfgGbBi").contains(t[p]) && (p + 1 >= to || !isLetter(t[p + 1])))
            return p + 1;
        return i;
    }

    const QChar *t;
    int n;
    Collector &out;
};

// ------------------------------------------------------------ words

// The names the text uses in code: $name @name %name &name ->name
// name => and, in Perl, sub name.
QSet<QStringView> identifiers(const QString &text, DocumentKind kind)
{
    QSet<QStringView> names;
    const QChar *t = text.constData();
    const int n = int(text.size());
    const auto addName = [&](int p) {
        // every part of Pkg::name
        while (p < n && isIdentStart(t[p])) {
            const int s = p;
            while (p < n && isIdentChar(t[p]))
                ++p;
            names.insert(QStringView(t + s, p - s));
            if (p + 2 < n && t[p] == u':' && t[p + 1] == u':')
                p += 2;
            else
                break;
        }
    };
    for (int i = 0; i + 1 < n; ++i) {
        const QChar c = t[i];
        switch (c.unicode()) {
        case u'$':
        case u'@':
        case u'%':
        case u'&': {
            if (c != u'$' && i > 0 && isWordChar(t[i - 1]))
                break; // a mail address, 50%off, AT&T
            int p = i + 1;
            if (c == u'$' && t[p] == u'#')
                ++p;
            if (p < n && t[p] == u'{')
                ++p;
            if (c == u'&') {
                int e = p;
                while (e < n && isIdentChar(t[e]))
                    ++e;
                if (e < n && t[e] == u';')
                    break; // an entity
            }
            addName(p);
            break;
        }
        case u'-':
            if (t[i + 1] == u'>' && i + 2 < n)
                addName(i + 2);
            break;
        case u'=':
            if (t[i + 1] == u'>') {
                int e = i;
                while (e > 0 && isBlank(t[e - 1]))
                    --e;
                int s = e;
                while (s > 0 && isIdentChar(t[s - 1]))
                    --s;
                if (s < e && isIdentStart(t[s]))
                    names.insert(QStringView(t + s, e - s));
            }
            break;
        case u's':
            if (kind == DocumentKind::Perl && i + 3 < n && t[i + 1] == u'u' && t[i + 2] == u'b'
                && isBlank(t[i + 3]) && (i == 0 || !isIdentChar(t[i - 1]))) {
                int p = i + 3;
                while (p < n && isBlank(t[p]))
                    ++p;
                addName(p);
            }
            break;
        default:
            break;
        }
    }
    return names;
}

// A run of non-blank characters that is code, an address, a path or a
// file name rather than words.
bool isCodeLike(const QChar *t, int from, int to)
{
    for (int k = from; k < to; ++k) {
        switch (t[k].unicode()) {
        case u'/': case u'\\': case u'@': case u'=': case u'{': case u'}':
        case u'[': case u']': case u'|': case u'$': case u'%': case u'^': case u'~': case u'*':
        case u'#': case u'&': case u'+': case u'_':
            return true;
        case u':':
            if (k + 1 < to && t[k + 1] == u':')
                return true;
            break;
        case u'.':
            if (k > from && k + 1 < to && isWordChar(t[k - 1]) && isWordChar(t[k + 1]))
                return true;
            break;
        case u'(':
            if (k > from && isWordChar(t[k - 1]))
                return true;
            break;
        default:
            break;
        }
    }
    return false;
}

// Longer runs of letters are data (encoded images, keys), not words.
const int kLongestWord = 45;

// Mixed case inside (fooBar, iPhone) and all capitals up to six letters
// (STDIN, HTML) are names, not words.
bool hasWordCase(const QChar *t, int from, int to)
{
    bool lower = false, upperInside = false, upper = false;
    int letters = 0;
    for (int k = from; k < to; ++k) {
        const QChar c = t[k];
        if (!c.isLetter())
            continue;
        ++letters;
        if (c.isUpper()) {
            upper = true;
            upperInside = upperInside || k > from;
        } else if (c.isLower()) {
            lower = true;
        }
    }
    if (upper && !lower)
        return letters > 6;
    return !upperInside;
}

} // namespace

DocumentKind documentKind(const QString &fileName, const QString &text)
{
    if (!fileName.isEmpty()) {
        const QString suffix = QFileInfo(fileName).suffix().toLower();
        if (suffix == u"pl" || suffix == u"cgi" || suffix == u"pm" || suffix == u"t")
            return DocumentKind::Perl;
        if (suffix == u"htm" || suffix == u"html" || suffix == u"shtml" || suffix == u"php")
            return DocumentKind::Html;
        if (!suffix.isEmpty())
            return DocumentKind::Plain;
    }
    int i = 0;
    if (text.startsWith(QChar(0xFEFF)))
        i = 1;
    if (QStringView(text).mid(i).startsWith(u"#!")) {
        qsizetype e = i;
        while (e < text.size() && !isBreak(text.at(e)))
            ++e;
        if (QStringView(text).mid(i, e - i).contains(u"perl"))
            return DocumentKind::Perl;
    }
    while (i < text.size() && isSpace(text.at(i)))
        ++i;
    if (i < text.size() && text.at(i) == u'<')
        return DocumentKind::Html;
    return DocumentKind::Plain;
}

std::vector<ProseWord> proseWords(const QString &text, DocumentKind kind)
{
    Collector prose;
    Scanner scanner(text, prose);
    switch (kind) {
    case DocumentKind::Plain: scanner.plain(); break;
    case DocumentKind::Html: scanner.html(); break;
    case DocumentKind::Perl: scanner.perl(); break;
    }
    const QSet<QStringView> names = identifiers(text, kind);

    std::vector<ProseWord> words;
    const QChar *t = text.constData();
    for (const Segment &seg : prose.segments) {
        int i = seg.start;
        while (i < seg.end) {
            while (i < seg.end && isSpace(t[i]))
                ++i;
            const int cs = i;
            while (i < seg.end && !isSpace(t[i]))
                ++i;
            const int ce = i;
            if (cs == ce || isCodeLike(t, cs, ce))
                continue;
            int j = cs;
            while (j < ce) {
                if (!isWordChar(t[j])) {
                    ++j;
                    continue;
                }
                const int ws = j;
                bool code = false;
                while (j < ce) {
                    const QChar c = t[j];
                    if (isWordChar(c)) {
                        code = code || c.isNumber() || c == u'_';
                        ++j;
                    } else if (isApostrophe(c) && j + 1 < ce && isLetter(t[j + 1])) {
                        j += 2;
                    } else {
                        break;
                    }
                }
                const int we = j;
                if (code || we - ws > kLongestWord || (ws == seg.start && seg.gluedStart) || (we == seg.end && seg.gluedEnd)
                    || !hasWordCase(t, ws, we) || names.contains(QStringView(t + ws, we - ws)))
                    continue;
                words.push_back(ProseWord{ws, we - ws});
            }
        }
    }
    return words;
}

} // namespace tools
