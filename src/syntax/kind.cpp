#include "syntax/kind.h"

namespace syntax {

namespace {

QStringView extensionOf(QStringView fileName)
{
    const qsizetype slash = fileName.lastIndexOf(u'/');
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot <= slash + 1) // none, or a hidden file's leading dot
        return {};
    return fileName.mid(dot + 1);
}

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v';
}

} // namespace

Kind kindOf(QStringView fileName, QStringView start)
{
    const QStringView ext = extensionOf(fileName);
    for (QStringView perl : {u"pl", u"pm", u"cgi", u"t", u"pod"})
        if (ext.compare(perl, Qt::CaseInsensitive) == 0)
            return Kind::Perl;
    for (QStringView html : {u"html", u"htm", u"shtml", u"xhtml"})
        if (ext.compare(html, Qt::CaseInsensitive) == 0)
            return Kind::Html;

    if (start.startsWith(QChar(0xFEFF)))
        start = start.mid(1);
    if (start.startsWith(u"#!")) {
        qsizetype end = start.indexOf(u'\n');
        if (end < 0)
            end = start.size();
        return start.left(end).contains(u"perl") ? Kind::Perl : Kind::None;
    }
    qsizetype i = 0;
    while (i < start.size() && isSpace(start[i]))
        ++i;
    return i < start.size() && start[i] == u'<' ? Kind::Html : Kind::None;
}

} // namespace syntax
