// JavaScript inside a page, line by line: strings, template literals over
// lines, comments, patterns told from division by what precedes them,
// numbers and keywords. Written by hand for the same reasons as the Perl
// lexer (perllexer.cpp).
#include "syntax/embedded.h"

#include "syntax/wordset.h"

namespace syntax {

namespace {

constexpr quint8 kModeMask = 7;
constexpr quint8 kDivides = 8;

bool isIdentStart(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$'
           || (c >= 0x80 && QChar(c).isLetter());
}

bool isIdentChar(char16_t c)
{
    return isIdentStart(c) || (c >= u'0' && c <= u'9') || (c >= 0x80 && QChar(c).isLetterOrNumber());
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

const WordSet &keywords()
{
    static const WordSet set = {
        u"async", u"await", u"break", u"case", u"catch", u"class", u"const", u"continue", u"debugger",
        u"default", u"delete", u"do", u"else", u"export", u"extends", u"false", u"finally", u"for",
        u"function", u"if", u"import", u"in", u"instanceof", u"let", u"new", u"null", u"of", u"return",
        u"static", u"super", u"switch", u"this", u"throw", u"true", u"try", u"typeof", u"undefined",
        u"var", u"void", u"while", u"with", u"yield",
    };
    return set;
}

// Keywords after which an operand follows, so that "/" starts a pattern.
bool keywordBeforeOperand(QStringView w)
{
    return w == u"return" || w == u"typeof" || w == u"case" || w == u"do" || w == u"else" || w == u"in"
           || w == u"of" || w == u"new" || w == u"delete" || w == u"void" || w == u"throw" || w == u"instanceof"
           || w == u"yield" || w == u"await";
}

// The end of a quoted run from i (just past its opening quote), past the
// closing quote; -1 when the range ends first.
int quoted(QStringView line, int i, int to, char16_t quote)
{
    for (; i < to; ++i) {
        const char16_t c = line[i].unicode();
        if (c == u'\\')
            ++i;
        else if (c == quote)
            return i + 1;
    }
    return -1;
}

// A pattern literal from i (its opening "/"), with its flags; -1 when no
// closing "/" is on the line, which makes the "/" a division after all.
int pattern(QStringView line, int i, int to)
{
    bool inClass = false;
    for (++i; i < to; ++i) {
        const char16_t c = line[i].unicode();
        if (c == u'\\')
            ++i;
        else if (c == u'[')
            inClass = true;
        else if (c == u']')
            inClass = false;
        else if (c == u'/' && !inClass) {
            for (++i; i < to && isIdentChar(line[i].unicode()); ++i) {
            }
            return i;
        }
    }
    return -1;
}

} // namespace

void lexScript(QStringView line, int i, int to, quint8 &state, Emitter &emitter)
{
    quint8 mode = state & kModeMask;
    bool divides = state & kDivides;
    const auto at = [&](int k) -> char16_t { return k < to ? line[k].unicode() : 0; };

    while (i < to) {
        if (mode == ScriptBlockComment) {
            const qsizetype end = line.mid(0, to).indexOf(u"*/", i);
            const int stop = end < 0 ? to : int(end) + 2;
            emitter.add(i, stop, TokenClass::Comment);
            i = stop;
            if (end >= 0)
                mode = ScriptCode;
            continue;
        }
        if (mode == ScriptTemplate || mode == ScriptDouble || mode == ScriptSingle) {
            const char16_t quote = mode == ScriptTemplate ? u'`' : mode == ScriptDouble ? u'"' : u'\'';
            const int end = quoted(line, i, to, quote);
            emitter.add(i, end < 0 ? to : end, TokenClass::String);
            if (end >= 0) {
                mode = ScriptCode;
                divides = true;
                i = end;
            } else {
                // A string goes on over a line only after a backslash.
                if (mode != ScriptTemplate && (to == 0 || line[to - 1] != u'\\'))
                    mode = ScriptCode;
                i = to;
            }
            continue;
        }
        const char16_t c = line[i].unicode();
        const char16_t d = at(i + 1);
        if (c == u' ' || c == u'\t' || c == u'\r') {
            ++i;
        } else if ((c == u'/' && d == u'/') || (c == u'<' && d == u'!' && at(i + 2) == u'-' && at(i + 3) == u'-')
                   || (c == u'-' && d == u'-' && at(i + 2) == u'>' && line.left(i).trimmed().isEmpty())) {
            emitter.add(i, to, TokenClass::Comment); // "<!--" and a leading "-->" hide scripts from old browsers
            i = to;
        } else if (c == u'/' && d == u'*') {
            mode = ScriptBlockComment;
            emitter.add(i, i + 2, TokenClass::Comment);
            i += 2;
        } else if (c == u'"' || c == u'\'' || c == u'`') {
            mode = c == u'`' ? ScriptTemplate : c == u'"' ? ScriptDouble : ScriptSingle;
            emitter.add(i, i + 1, TokenClass::String);
            ++i;
        } else if (c == u'/' && !divides && pattern(line, i, to) > 0) {
            const int end = pattern(line, i, to);
            emitter.add(i, end, TokenClass::Regex);
            i = end;
            divides = true;
        } else if (isDigit(c) || (c == u'.' && isDigit(d))) {
            const int start = i;
            while (i < to && (isIdentChar(line[i].unicode()) || line[i] == u'.'
                              || ((line[i] == u'+' || line[i] == u'-') && (line[i - 1] == u'e' || line[i - 1] == u'E'))))
                ++i;
            emitter.add(start, i, TokenClass::Number);
            divides = true;
        } else if (isIdentStart(c)) {
            const int start = i;
            while (i < to && isIdentChar(line[i].unicode()))
                ++i;
            const QStringView w = line.mid(start, i - start);
            const bool keyword = keywords().contains(w);
            if (keyword)
                emitter.add(start, i, TokenClass::Keyword);
            divides = !(keyword && keywordBeforeOperand(w));
        } else {
            divides = c == u')' || c == u']' || c == u'}';
            ++i;
        }
    }
    state = quint8(mode | (divides ? kDivides : 0));
}

} // namespace syntax
