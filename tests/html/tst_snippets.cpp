// The Html Tags menu: every item's exact text, wrapping and replacing, the
// caret after the insertion, the Quick Link copies that don't wrap, the
// toolbar's bare alignment texts, and silence without a document.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "frame/toolbar.h"
#include "platform/richtextbox.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

namespace {

const QString kChanged = QStringLiteral("File - Changed");

struct Item
{
    const char *name;
    const char *open; // the fixed text when close is null
    const char *close;
    bool inQuickLink;
};

const Item kItems[] = {
    {"mnutablequick", "<TABLE><TR><TD>enter stuff here", "</TD></TR></TABLE>", true},
    {"mnuform1", "<INPUT TYPE=\"text\" NAME=\"var name\" SIZE=\"40\" MAXLENGTH=\"80\" VALUE=\"default value\">",
     nullptr, true},
    {"mnuform2",
     "<INPUT TYPE=\"password\" NAME=\"var name\" SIZE=\"40\" MAXLENGTH=\"80\" VALUE=\"default value\">", nullptr,
     true},
    {"mnuhidden", "<INPUT TYPE=\"hidden\" NAME=\"var name\" VALUE=\"default value\">", nullptr, false},
    {"mnuimage",
     "<INPUT TYPE=\"image\" IMG SRC=\"your image\" WIDTH=\"info here\" HEIGHT=\"info here\" "
     "ALT=\"info here\" border=\"info here\"  VALUE=\"info here\">",
     nullptr, false},
    {"mnuform3", "<INPUT TYPE=\"checkbox\" NAME=\"var name\" VALUE=\"default value\">", nullptr, true},
    {"mnuform4", "<INPUT TYPE=\"radio\" NAME=\"var name\" VALUE=\"default value\">", nullptr, true},
    {"mnuform5", "<SELECT NAME=\"variable name\"><OPTION><OPTION><OPTION><OPTION></SELECT>", nullptr, true},
    {"mnuform6", "<TEXTAREA NAME=\"variable name\" ROWS=\"3\" COLS=\"40\"></TEXTAREA>", nullptr, true},
    {"mnuform7", "<INPUT TYPE=\"submit\" VALUE=\"default value\">", nullptr, true},
    {"mnuform8", "<INPUT TYPE=\"Reset\" VALUE=\"default value\">", nullptr, true},
    {"mnuhtltag0", "<a href=\"\">", "</a>", true},
    {"mnuhtltag1", "<A HREF=\"#namehere\">discription</A><A NAME=\"#htmlspot\"></A>", nullptr, true},
    {"mnuhtltag2", "<IMG SRC=\"\" ALT=\"\">", nullptr, true},
    {"mnuhtltag3", "<div align=\"right\">", "</div>", true},
    {"mnuhtltag4", "<div align=\"center\">", "</div>", true},
    {"mnuhtltag5", "<div align=\"left\">", "</div>", true},
    {"mnuhtltag6", "<B>", "</B>", true},
    {"mnuhtltag7", "<I>", "</I>", true},
    {"mnuhtltag8", "<U>", "</U>", true},
    {"mnuhtltag9", "<BR>", nullptr, true},
    {"mnuhtltaga1", "<HR>", nullptr, true},
    {"mnuhtltaga2", "<center>", "</center>", true},
    {"mnupara", "<P>", "</P>", false},
    {"mnunsb", "&nbsp;", nullptr, false},
    {"mnulcarat", "&lt;", nullptr, false},
    {"mnurcarat", "&gt;", nullptr, false},
};

QString fullTable()
{
    QString t = QStringLiteral("<TABLE BGCOLOR=\"#ffffff\" cellpadding=\"2\" BORDER=1>");
    for (int row = 1; row <= 3; ++row) {
        t += QStringLiteral("<TR>");
        for (int col = 1; col <= 3; ++col) {
            t += QStringLiteral("<!-- Row %1 Column %2 --><TD ALIGN=CENTER>").arg(row).arg(col);
            const bool bold = row == 1 || col == 1;
            t += bold ? QStringLiteral("<B>yourstuffhere</B>") : QStringLiteral("yourstuffhere");
            t += QStringLiteral("</TD>");
        }
        t += QStringLiteral("</TR>");
    }
    return t + QStringLiteral("</TABLE>");
}

// A document holding "[abc]" with abc selected, or the caret between the
// brackets.
platform::RichTextBox *prepare(EditorFixture &f, bool selected)
{
    platform::RichTextBox *box = f.newDocument(QStringLiteral("[abc]"))->rtfText;
    f.window()->framclean();
    box->setSelStart(1);
    box->setSelLength(selected ? 3 : 0);
    return box;
}

} // namespace

class TestSnippets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void mainMenuItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QString>("inserted");
        for (bool selected : {true, false}) {
            const char *how = selected ? "selected" : "caret";
            for (const Item &it : kItems) {
                QString inserted = QString::fromLatin1(it.open);
                if (it.close)
                    inserted += (selected ? QStringLiteral("abc") : QString()) + QString::fromLatin1(it.close);
                QTest::addRow("%s %s", it.name, how) << QString::fromLatin1(it.name) << selected << inserted;
            }
            QTest::addRow("mnutablefull %s", how) << QStringLiteral("mnutablefull") << selected << fullTable();
        }
    }

    void mainMenuItems()
    {
        QFETCH(QString, name);
        QFETCH(bool, selected);
        QFETCH(QString, inserted);
        EditorFixture f;
        platform::RichTextBox *box = prepare(f, selected);
        QVERIFY(f.trigger(name));
        // A selection is wrapped or replaced; without one the text goes in
        // at the caret.
        QCOMPARE(box->Text(), QLatin1Char('[') + inserted + (selected ? QStringLiteral("]") : QStringLiteral("abc]")));
        // The caret stands right after the insertion, nothing selected.
        QCOMPARE(box->SelStart(), 1 + inserted.size());
        QCOMPARE(box->SelLength(), 0);
        QCOMPARE(f.window()->panelText(2), kChanged);
    }

    void newFormReplacesSelection()
    {
        EditorFixture f;
        platform::RichTextBox *box = prepare(f, true);
        QVERIFY(f.trigger("mnuform0"));
        const QString text = box->Text();
        QVERIFY(text.startsWith(QLatin1String("[<FORM ACTION=\"http")));
        QVERIFY(text.endsWith(QLatin1String("/YourCGIScript\" METHOD=\"POST\"></FORM>]")));
        QVERIFY(!text.contains(QLatin1String("abc")));
        QCOMPARE(box->SelStart(), text.size() - 1);
        QCOMPARE(f.item("mnuform0")->text(), QStringLiteral("New Form "));
    }

    void multiLineSelectionWrappedWhole()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("one\ntwo\nthree"))->rtfText;
        box->setSelStart(0);
        box->setSelLength(box->TextLength());
        QVERIFY(f.trigger("mnuhtltag6"));
        QCOMPARE(box->Text(), QStringLiteral("<B>one\r\ntwo\r\nthree</B>"));
        QCOMPARE(box->SelStart(), box->TextLength());
    }

    void quickLinkCopiesDoNotWrap()
    {
        EditorFixture f;
        for (const Item &it : kItems) {
            const QString name = QString::fromLatin1(it.name);
            if (!it.inQuickLink) {
                QVERIFY2(!f.quickItem(name), it.name);
                continue;
            }
            platform::RichTextBox *box = prepare(f, true);
            QVERIFY(f.triggerQuick(name));
            const QString inserted = QString::fromLatin1(it.open) + QString::fromLatin1(it.close ? it.close : "");
            QCOMPARE(box->Text(), QLatin1Char('[') + inserted + QLatin1Char(']'));
            QCOMPARE(box->SelStart(), inserted.size() + 1);
        }
        for (const char *missing : {"mnunewimage", "mnupara", "mnunsb", "mnulcarat", "mnurcarat"})
            QVERIFY2(!f.quickItem(QString::fromLatin1(missing)), missing);
        platform::RichTextBox *box = prepare(f, true);
        QVERIFY(f.triggerQuick("mnutablefull"));
        QCOMPARE(box->Text(), QLatin1Char('[') + fullTable() + QLatin1Char(']'));
    }

    void toolbarAlignmentIsBare_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("menuItem");
        QTest::addColumn<QString>("value");
        QTest::newRow("right") << "Align Right" << "mnuhtltag3" << "right";
        QTest::newRow("center") << "Center" << "mnuhtltag4" << "center";
        QTest::newRow("left") << "Align Left" << "mnuhtltag5" << "left";
    }

    void toolbarAlignmentIsBare()
    {
        QFETCH(QString, key);
        QFETCH(QString, menuItem);
        QFETCH(QString, value);
        EditorFixture f;
        platform::RichTextBox *box = prepare(f, true);
        frame::buttonClick(key);
        QCOMPARE(box->Text(), QStringLiteral("[<div align=%1>abc</div>]").arg(value));
        box = prepare(f, true);
        QVERIFY(f.trigger(menuItem));
        QCOMPARE(box->Text(), QStringLiteral("[<div align=\"%1\">abc</div>]").arg(value));
    }

    void silentWithoutDocument()
    {
        EditorFixture f;
        // The menu stays visible after the last document has closed.
        f.newDocument();
        QVERIFY(f.trigger("mnuFileClose"));
        QVERIFY(f.item("mnuhtmltags")->isVisible());
        for (const Item &it : kItems)
            QVERIFY(f.trigger(QString::fromLatin1(it.name)));
        QVERIFY(f.trigger("mnutablefull"));
        QVERIFY(f.trigger("mnuform0"));
        QVERIFY(f.triggerQuick("mnuhtltag6"));
        QCOMPARE(f.window()->panelText(2), QString());
        QCOMPARE(f.ui.unexpected, 0);
        QVERIFY(f.ui.messages.isEmpty());
    }

    void silentWithOtherChildActive()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("doc"))->rtfText;
        f.window()->framclean();
        // A child without a text control, as the page viewer is.
        auto *viewer = new QWidget;
        QMdiSubWindow *sub = f.window()->addChild(viewer);
        sub->show();
        f.window()->mdiArea()->setActiveSubWindow(sub);
        QVERIFY(!f.activeText());
        QVERIFY(f.trigger("mnuhtltag6"));
        QVERIFY(f.trigger("mnuhtltag9"));
        QVERIFY(f.triggerQuick("mnuhtltag2"));
        QCOMPARE(box->Text(), QStringLiteral("doc"));
        QCOMPARE(f.window()->panelText(2), QString());
    }
};

QTEST_MAIN(TestSnippets)
#include "tst_snippets.moc"
