// The page lexer: tags, attributes, entities, comments, and the scripts and
// style sheets inside. Each text stands over its classes: t tag, a
// attribute name, q attribute value, e entity, h HTML comment, and for the
// embedded languages k keyword, s string, c comment, r regex, n number.
#include "masks.h"
#include "syntax/kind.h"

#include <QtTest>

using syntax::Kind;

#define CHECK_HTML(text, expected) QCOMPARE(masks::classes(Kind::Html, QStringLiteral(text)), QStringLiteral(expected))

class TestHtmlLexer : public QObject
{
    Q_OBJECT

private slots:
    void tagsAttributesAndEntities()
    {
        CHECK_HTML("<TD ALIGN=CENTER class='a b' title=\"x &amp; y\">A&lt;B &c</TD>",
                   "ttt.aaaaa.qqqqqq.aaaaa.qqqqq.aaaaa.qqqeeeeeqqqt.eeee....ttttt");
        // A value and a tag going on over lines.
        CHECK_HTML("<a href=\"one\ntwo\" id=\nx>b</a >",
                   "tt.aaaa.qqqq\nqqqq.aa.\nqt.ttt.t");
    }

    void commentsOverLines()
    {
        CHECK_HTML("a<!-- one\n<b> two -->c<!---->",
                   ".hhhhhhhh\nhhhhhhhhhhh.hhhhhhh");
    }

    void tagInScriptStringIsNoTag()
    {
        CHECK_HTML("<script>var s = \"</b>\"; // <i>\n</script>",
                   "ttttttttkkk.....ssssss..cccccc\nttttttttt");
    }

    void closingScriptTagEndsScriptEvenInString()
    {
        CHECK_HTML("<script>s = \"</script>\";",
                   "tttttttt....sttttttttt..");
    }

    void scriptsOwnClasses()
    {
        // Keywords, a comment over lines, a pattern where an operand comes
        // and a division after one.
        CHECK_HTML("<script type=\"text/javascript\">\nif ((a) / 2) /* x\ny */ return /b/g.test('c');\n</script>",
                   "ttttttt.aaaa.qqqqqqqqqqqqqqqqqt\nkk........n..cccc\ncccc.kkkkkk.rrrr......sss..\nttttttttt");
    }

    void styleSheetsAndStyleAttributes()
    {
        CHECK_HTML("<style>\np { color: #fff; /* c\n */ margin: 1px }\n</style><p style=\"font-size: 2em\">",
                   "ttttttt\n....kkkkk..nnnn..cccc\nccc.kkkkkk..nnn..\ntttttttttt.aaaaa.qkkkkkkkkk..nnnqt");
    }

    void kindByExtensionElseContent()
    {
        using syntax::kindOf;
        QCOMPARE(kindOf(u"/w/index.HTM", u"#!/usr/bin/perl"), Kind::Html);
        QCOMPARE(kindOf(u"/w/lib/A.pm", u"<p>"), Kind::Perl);
        QCOMPARE(kindOf(u"/w/run", u"#!/usr/bin/env perl -w\n<p>"), Kind::Perl);
        QCOMPARE(kindOf(u"", u"\uFEFF \n\t<html>"), Kind::Html);
        QCOMPARE(kindOf(u"/w/.profile", u"#!/bin/sh\n<p>"), Kind::None);
        QCOMPARE(kindOf(u"", u"text <b>"), Kind::None);
    }
};

QTEST_APPLESS_MAIN(TestHtmlLexer)
#include "tst_htmllexer.moc"
