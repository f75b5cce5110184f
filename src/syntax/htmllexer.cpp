// The page lexer for live highlighting: tags, attributes (unquoted, single
// or double quoted, over lines), entities, comments over lines, and the
// scripts and style sheets inside, which end at "</script" and "</style"
// wherever those stand, as in a browser. Written by hand for the same
// reasons as the Perl lexer (perllexer.cpp).
#include "syntax/htmllexer.h"

#include "syntax/embedded.h"

namespace syntax {

namespace {

enum Mode : quint8 {
    Text,
    InTag,        // after "<name": attributes up to ">"
    InDouble,     // in a double-quoted attribute value
    InSingle,     // in a single-quoted attribute value
    AfterEquals,  // an attribute's "=" ended the line; its value comes
    InComment,    // <!-- ... -->
    InDeclaration,// <!DOCTYPE ...>, <?...?>
    InScript,
    InStyle,
};

enum TagKind : quint8 { OtherTag, ScriptTag, StyleTag };

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\f' || c == u'\n';
}

bool isLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAlnum(char16_t c)
{
    return isLetter(c) || (c >= u'0' && c <= u'9');
}

class HtmlLine
{
public:
    HtmlLine(QStringView line, State in, Emitter &emitter)
        : m_line(line), m_n(int(line.size())), m_emit(emitter), m_mode(Mode(in & 15)), m_tag(TagKind(in >> 4 & 3)),
          m_closing(in >> 6 & 1), m_script(quint8(in >> 8)), m_style(quint8(in >> 16))
    {
    }
    State run();

private:
    char16_t at(int i) const { return i < m_n ? m_line[i].unicode() : 0; }
    int text(int i);
    int tag(int i);
    int value(int i, QStringView attribute);
    int entity(int i) const;
    void withEntities(int from, int to, TokenClass cls);
    int until(int i, QStringView end, TokenClass cls, Mode after);
    int embedded(int i, QStringView closer);

    QStringView m_line;
    int m_n;
    Emitter &m_emit;
    Mode m_mode;
    TagKind m_tag;
    bool m_closing;
    quint8 m_script;
    quint8 m_style;
};

State HtmlLine::run()
{
    int i = 0;
    while (i < m_n) {
        switch (m_mode) {
        case Text: i = text(i); break;
        case InTag: i = tag(i); break;
        case AfterEquals: i = value(i, {}); break;
        case InDouble:
        case InSingle: {
            const qsizetype close = m_line.indexOf(QChar(m_mode == InDouble ? u'"' : u'\''), i);
            const int end = close < 0 ? m_n : int(close) + 1;
            withEntities(i, end, TokenClass::AttributeValue);
            if (close >= 0)
                m_mode = InTag;
            i = end;
            break;
        }
        case InComment: i = until(i, u"-->", TokenClass::HtmlComment, Text); break;
        case InDeclaration: i = until(i, u">", TokenClass::Tag, Text); break;
        case InScript: i = embedded(i, u"</script"); break;
        case InStyle: i = embedded(i, u"</style"); break;
        }
    }
    return State(m_mode) | State(m_tag) << 4 | State(m_closing) << 6 | State(m_script) << 8 | State(m_style) << 16;
}

// Plain text up to the next tag or entity.
int HtmlLine::text(int i)
{
    const char16_t c = m_line[i].unicode();
    if (c == u'&') {
        const int end = entity(i);
        m_emit.add(i, end, TokenClass::Entity);
        return qMax(end, i + 1);
    }
    if (c != u'<')
        return i + 1;
    if (m_line.mid(i).startsWith(u"<!--")) {
        m_mode = InComment;
        m_emit.add(i, i + 4, TokenClass::HtmlComment);
        return i + 4;
    }
    const char16_t d = at(i + 1);
    if (d == u'!' || d == u'?') {
        m_mode = InDeclaration;
        m_emit.add(i, i + 2, TokenClass::Tag);
        return i + 2;
    }
    const bool closing = d == u'/';
    const int nameStart = closing ? i + 2 : i + 1;
    if (!isLetter(at(nameStart)))
        return i + 1;
    int end = nameStart;
    while (end < m_n && !isSpace(m_line[end].unicode()) && m_line[end] != u'>' && m_line[end] != u'/')
        ++end;
    const QStringView name = m_line.mid(nameStart, end - nameStart);
    m_emit.add(i, end, TokenClass::Tag);
    m_mode = InTag;
    m_closing = closing;
    m_tag = closing ? OtherTag
            : name.compare(u"script", Qt::CaseInsensitive) == 0 ? ScriptTag
            : name.compare(u"style", Qt::CaseInsensitive) == 0  ? StyleTag
                                                                 : OtherTag;
    return end;
}

// Inside a tag: attributes, up to ">" or "/>".
int HtmlLine::tag(int i)
{
    const char16_t c = m_line[i].unicode();
    if (isSpace(c))
        return i + 1;
    if (c == u'>' || (c == u'/' && at(i + 1) == u'>')) {
        const int end = c == u'>' ? i + 1 : i + 2;
        m_emit.add(i, end, TokenClass::Tag);
        m_mode = c == u'/' || m_closing ? Text : m_tag == ScriptTag ? InScript : m_tag == StyleTag ? InStyle : Text;
        m_tag = OtherTag;
        m_closing = false;
        m_script = 0;
        m_style = 0;
        return end;
    }
    int end = i + 1;
    while (end < m_n && !isSpace(m_line[end].unicode()) && m_line[end] != u'=' && m_line[end] != u'>'
           && !(m_line[end] == u'/' && at(end + 1) == u'>'))
        ++end;
    m_emit.add(i, end, TokenClass::AttributeName);
    const QStringView attribute = m_line.mid(i, end - i);
    int k = end;
    while (k < m_n && isSpace(m_line[k].unicode()))
        ++k;
    if (at(k) != u'=')
        return end;
    for (++k; k < m_n && isSpace(m_line[k].unicode()); ++k) {
    }
    if (k >= m_n) {
        m_mode = AfterEquals;
        return k;
    }
    return value(k, attribute);
}

// An attribute's value at i; a quoted value of a style or on* attribute
// that ends on its line is lexed as CSS or JavaScript.
int HtmlLine::value(int i, QStringView attribute)
{
    const char16_t q = m_line[i].unicode();
    if (isSpace(q))
        return i + 1;
    m_mode = InTag;
    if (q == u'"' || q == u'\'') {
        const qsizetype close = m_line.indexOf(QChar(q), i + 1);
        if (close < 0) {
            m_mode = q == u'"' ? InDouble : InSingle;
            withEntities(i, m_n, TokenClass::AttributeValue);
            return m_n;
        }
        const int end = int(close);
        const bool style = attribute.compare(u"style", Qt::CaseInsensitive) == 0;
        const bool script = attribute.size() > 2 && attribute.startsWith(u"on", Qt::CaseInsensitive);
        if (style || script) {
            m_emit.add(i, i + 1, TokenClass::AttributeValue);
            quint8 inner = style ? kStyleDeclarations : 0;
            if (style)
                lexStyle(m_line, i + 1, end, inner, m_emit);
            else
                lexScript(m_line, i + 1, end, inner, m_emit);
            m_emit.add(end, end + 1, TokenClass::AttributeValue);
        } else {
            withEntities(i, end + 1, TokenClass::AttributeValue);
        }
        return end + 1;
    }
    int end = i;
    while (end < m_n && !isSpace(m_line[end].unicode()) && m_line[end] != u'>')
        ++end;
    withEntities(i, end, TokenClass::AttributeValue);
    return end;
}

// The end of an entity at i (&name; &#123; &#x1F;), or i when it is none.
int HtmlLine::entity(int i) const
{
    int k = i + 1;
    if (at(k) == u'#') {
        ++k;
        const bool hex = at(k) == u'x' || at(k) == u'X';
        if (hex)
            ++k;
        const int digits = k;
        while (hex ? isAlnum(at(k)) : (at(k) >= u'0' && at(k) <= u'9'))
            ++k;
        return k > digits && at(k) == u';' ? k + 1 : i;
    }
    if (!isLetter(at(k)))
        return i;
    while (isAlnum(at(k)))
        ++k;
    return at(k) == u';' ? k + 1 : i;
}

void HtmlLine::withEntities(int from, int to, TokenClass cls)
{
    int run = from;
    for (int i = from; i < to; ++i) {
        if (m_line[i] != u'&')
            continue;
        const int end = entity(i);
        if (end > i && end <= to) {
            m_emit.add(run, i, cls);
            m_emit.add(i, end, TokenClass::Entity);
            run = end;
            i = end - 1;
        }
    }
    m_emit.add(run, to, cls);
}

// A run of one class up to and with `end`, then mode `after`.
int HtmlLine::until(int i, QStringView end, TokenClass cls, Mode after)
{
    const qsizetype found = m_line.indexOf(end, i);
    const int stop = found < 0 ? m_n : int(found + end.size());
    m_emit.add(i, stop, cls);
    if (found >= 0)
        m_mode = after;
    return stop;
}

// Script or style up to its closing tag, which ends it wherever it stands.
int HtmlLine::embedded(int i, QStringView closer)
{
    const qsizetype found = m_line.indexOf(closer, i, Qt::CaseInsensitive);
    const int end = found < 0 ? m_n : int(found);
    if (m_mode == InScript)
        lexScript(m_line, i, end, m_script, m_emit);
    else
        lexStyle(m_line, i, end, m_style, m_emit);
    if (found < 0)
        return m_n;
    const int nameEnd = end + int(closer.size());
    m_emit.add(end, nameEnd, TokenClass::Tag);
    m_mode = InTag;
    m_closing = true;
    m_tag = OtherTag;
    m_script = 0;
    m_style = 0;
    return nameEnd;
}

} // namespace

State HtmlLexer::lexLine(QStringView line, State in, Tokens *out) const
{
    Emitter emitter(out);
    return HtmlLine(line, in, emitter).run();
}

} // namespace syntax
