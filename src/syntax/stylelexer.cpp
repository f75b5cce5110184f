// CSS inside a page, line by line: comments over lines, strings, at-rules,
// property names, numbers and colours in values. Written by hand for the
// same reasons as the Perl lexer (perllexer.cpp).
#include "syntax/embedded.h"

namespace syntax {

namespace {

constexpr quint8 kComment = 1;
constexpr quint8 kValue = 16;

bool isNameChar(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-'
           || c == u'_' || c >= 0x80;
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

void lexStyle(QStringView line, int i, int to, quint8 &state, Emitter &emitter)
{
    bool comment = state & kComment;
    int depth = state >> 1 & 7;
    bool value = state & kValue;
    const auto at = [&](int k) -> char16_t { return k < to ? line[k].unicode() : 0; };

    while (i < to) {
        if (comment) {
            const qsizetype end = line.mid(0, to).indexOf(u"*/", i);
            const int stop = end < 0 ? to : int(end) + 2;
            emitter.add(i, stop, TokenClass::Comment);
            comment = end < 0;
            i = stop;
            continue;
        }
        const char16_t c = line[i].unicode();
        const int start = i;
        if (c == u'/' && at(i + 1) == u'*') {
            comment = true;
            emitter.add(i, i + 2, TokenClass::Comment);
            i += 2;
        } else if (c == u'"' || c == u'\'') {
            for (++i; i < to && line[i] != c; ++i)
                if (line[i] == u'\\')
                    ++i;
            i = qMin(i + 1, to);
            emitter.add(start, i, TokenClass::String);
        } else if (c == u'{') {
            depth = qMin(depth + 1, 7);
            value = false;
            ++i;
        } else if (c == u'}') {
            depth = qMax(depth - 1, 0);
            value = false;
            ++i;
        } else if (c == u';') {
            value = false;
            ++i;
        } else if (c == u':' && depth > 0) {
            value = true;
            ++i;
        } else if ((c == u'@' || c == u'!') && isNameChar(at(i + 1))) {
            for (++i; i < to && isNameChar(line[i].unicode()); ++i) {
            }
            emitter.add(start, i, TokenClass::Keyword);
        } else if (value && (isDigit(c) || (c == u'#' && isNameChar(at(i + 1)))
                             || ((c == u'.' || c == u'-' || c == u'+') && isDigit(at(i + 1))))) {
            for (++i; i < to && (isNameChar(line[i].unicode()) || line[i] == u'.' || line[i] == u'%'); ++i) {
            }
            emitter.add(start, i, TokenClass::Number);
        } else if (isNameChar(c)) {
            while (i < to && isNameChar(line[i].unicode()))
                ++i;
            if (value && at(i) == u'(' && line.mid(start, i - start).compare(u"url", Qt::CaseInsensitive) == 0
                && at(i + 1) != u'"' && at(i + 1) != u'\'') {
                const qsizetype close = line.mid(0, to).indexOf(u')', i);
                const int end = close < 0 ? to : int(close);
                emitter.add(i + 1, end, TokenClass::String);
                i = end;
            } else if (depth > 0 && !value) {
                // A property is a name and ":"; in a nested rule, "a:hover {"
                // is a selector.
                int k = i;
                while (k < to && (line[k] == u' ' || line[k] == u'\t'))
                    ++k;
                if (at(k) == u':') {
                    int end = k;
                    while (end < to && line[end] != u';' && line[end] != u'{' && line[end] != u'}')
                        ++end;
                    if (at(end) != u'{')
                        emitter.add(start, i, TokenClass::Keyword);
                }
            }
        } else {
            ++i;
        }
    }
    state = quint8((comment ? kComment : 0) | depth << 1 | (value ? kValue : 0));
}

} // namespace syntax
