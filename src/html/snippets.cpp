#include "html/snippets.h"

#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"

namespace html {

namespace {

// The host the placeholder form action points at.
const char *const kFormActionHost = "http://www.yourserver.example";

struct Snippet
{
    const char *name;
    bool wraps;
    const char *open;  // or the fixed text
    const char *close;
    bool inQuickLink;
};

const char *const kFullTable =
    "<TABLE BGCOLOR=\"#ffffff\" cellpadding=\"2\" BORDER=1><TR><!-- Row 1 Column 1 --><TD ALIGN=CENTER>"
    "<B>yourstuffhere</B></TD><!-- Row 1 Column 2 --><TD ALIGN=CENTER><B>yourstuffhere</B></TD><!-- Row 1 "
    "Column 3 --><TD ALIGN=CENTER><B>yourstuffhere</B></TD></TR><TR><!-- Row 2 Column 1 --><TD ALIGN=CENTER>"
    "<B>yourstuffhere</B></TD><!-- Row 2 Column 2 --><TD ALIGN=CENTER>yourstuffhere</TD><!-- Row 2 Column 3 "
    "--><TD ALIGN=CENTER>yourstuffhere</TD></TR><TR><!-- Row 3 Column 1 --><TD ALIGN=CENTER><B>yourstuffhere"
    "</B></TD><!-- Row 3 Column 2 --><TD ALIGN=CENTER>yourstuffhere</TD><!-- Row 3 Column 3 --><TD ALIGN="
    "CENTER>yourstuffhere</TD></TR></TABLE>";

const Snippet kSnippets[] = {
    {"mnutablequick", true, "<TABLE><TR><TD>enter stuff here", "</TD></TR></TABLE>", true},
    {"mnutablefull", false, kFullTable, nullptr, true},
    {"mnuform1", false,
     "<INPUT TYPE=\"text\" NAME=\"var name\" SIZE=\"40\" MAXLENGTH=\"80\" VALUE=\"default value\">", nullptr, true},
    {"mnuform2", false,
     "<INPUT TYPE=\"password\" NAME=\"var name\" SIZE=\"40\" MAXLENGTH=\"80\" VALUE=\"default value\">", nullptr,
     true},
    {"mnuhidden", false, "<INPUT TYPE=\"hidden\" NAME=\"var name\" VALUE=\"default value\">", nullptr, false},
    {"mnuimage", false,
     "<INPUT TYPE=\"image\" IMG SRC=\"your image\" WIDTH=\"info here\" HEIGHT=\"info here\" ALT=\"info here\" "
     "border=\"info here\"  VALUE=\"info here\">",
     nullptr, false},
    {"mnuform3", false, "<INPUT TYPE=\"checkbox\" NAME=\"var name\" VALUE=\"default value\">", nullptr, true},
    {"mnuform4", false, "<INPUT TYPE=\"radio\" NAME=\"var name\" VALUE=\"default value\">", nullptr, true},
    {"mnuform5", false, "<SELECT NAME=\"variable name\"><OPTION><OPTION><OPTION><OPTION></SELECT>", nullptr, true},
    {"mnuform6", false, "<TEXTAREA NAME=\"variable name\" ROWS=\"3\" COLS=\"40\"></TEXTAREA>", nullptr, true},
    {"mnuform7", false, "<INPUT TYPE=\"submit\" VALUE=\"default value\">", nullptr, true},
    {"mnuform8", false, "<INPUT TYPE=\"Reset\" VALUE=\"default value\">", nullptr, true},
    {"mnuhtltag0", true, "<a href=\"\">", "</a>", true},
    {"mnuhtltag1", false, "<A HREF=\"#namehere\">discription</A><A NAME=\"#htmlspot\"></A>", nullptr, true},
    {"mnuhtltag2", false, "<IMG SRC=\"\" ALT=\"\">", nullptr, true},
    {"mnuhtltag3", true, "<div align=\"right\">", "</div>", true},
    {"mnuhtltag4", true, "<div align=\"center\">", "</div>", true},
    {"mnuhtltag5", true, "<div align=\"left\">", "</div>", true},
    {"mnuhtltag6", true, "<B>", "</B>", true},
    {"mnuhtltag7", true, "<I>", "</I>", true},
    {"mnuhtltag8", true, "<U>", "</U>", true},
    {"mnuhtltag9", false, "<BR>", nullptr, true},
    {"mnuhtltaga1", false, "<HR>", nullptr, true},
    {"mnuhtltaga2", true, "<center>", "</center>", true},
    {"mnupara", true, "<P>", "</P>", false},
    {"mnunsb", false, "&nbsp;", nullptr, false},
    {"mnulcarat", false, "&lt;", nullptr, false},
    {"mnurcarat", false, "&gt;", nullptr, false},
};

} // namespace

QString formText()
{
    return QStringLiteral("<FORM ACTION=\"") + QString::fromLatin1(kFormActionHost)
        + QStringLiteral("/YourCGIScript\" METHOD=\"POST\"></FORM>");
}

void insertFixed(const QString &text)
{
    frame::frmMain()->requireText().setSelText(text);
}

void insertWrapped(const QString &open, const QString &close)
{
    platform::RichTextBox &box = frame::frmMain()->requireText();
    const QString s = box.SelText();
    box.setSelText(open + s + close);
}

void registerSnippetCommands()
{
    for (const Snippet &s : kSnippets) {
        const QString open = QString::fromLatin1(s.open);
        const QString close = s.close ? QString::fromLatin1(s.close) : QString();
        const bool wraps = s.wraps;
        frame::addCommand(QString::fromLatin1(s.name), [open, close, wraps](frame::Tree tree) {
            platform::endOnError([&] {
                if (!wraps)
                    insertFixed(open);
                else if (tree == frame::Tree::Main)
                    insertWrapped(open, close);
                else
                    insertFixed(open + close); // the Quick Link copies don't wrap
            });
        });
    }
    frame::addCommand(QStringLiteral("mnuform0"), [](frame::Tree) {
        platform::endOnError([] { insertFixed(formText()); });
    });
}

} // namespace html
