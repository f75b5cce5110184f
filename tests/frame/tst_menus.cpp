// Both menu trees, item by item: names, captions, shortcuts, separators,
// and what is hidden, disabled or checked when they are made.

#include "support/fixture.h"

#include "editing/findform.h"
#include "frame/mainwindow.h"
#include "frame/menutree.h"
#include "platform/settingsstore.h"

#include <QPushButton>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

namespace {

// One line per entry: depth (by leading spaces), then
// name|caption|shortcut|marks, marks from H (hidden), D (disabled),
// C (checked); a separator is "-" with its marks.
const char *const kMainTree = R"(
mnuFile|&File||
 mnuBlankFile|&New|Ctrl+B|
 mnuFileOpen|&Open...|Ctrl+O|
 mnuFileClose|&Close||
 -|||
 mnuFileSave|&Save|F12|
 mnuFileSaveAs|Save &As...||
 mnuFilePageSetup|Page Set&up...||
 mnuFilePrint|&Print...||
 -|||
 mnuFileMRU1|||H
 mnuFileMRU2|||H
 mnuFileMRU3|||H
 mnuFileMRU4|||H
 mnuFileMRU5|||H
 -|||H
 mnuFileExit|E&xit||
mnuedit|&Edit||
 mnuundo|&Undo||HD
 mnuredo|&Redo||HD
 -|||H
 mnuEditCut|Cu&t|Ctrl+X|
 mnuEditCopy|&Copy|Ctrl+C|
 mnuEditPaste|&Paste||
 mnudelete|&Delete||
 -|||
 mnuSelectAll|&Select All|Ctrl+A|
mnuView|&View||
 mnuViewToolbar|&Menu Bar||C
 mnuViewStatusBar|Status &Bar||C
 mnuquicklink2|&Quick Link||
  mnqlon|Quick Link On||
  mnqloff|Quick Link Off||
 mnufilebar|Fi&le Bar||HD
 -|||
 mnuappbar|A&pp Bar||
 -|||
 -|||H
 -|||H
 -|||H
 mnuholder|Code& Keeper||
 -|||
 mnuViewRefresh|&Refresh||
mnutools|T&ools||
 mnuautoinsert|QZ Inserter||
 mnutagwiz|&Tag Inserter||
 -|||
 mnuFileNew|Perl &Template|Ctrl+N|HD
 mnuhtemplate|Html Te&mplate||
 mnuhtmlpreview|&Preview Html||D
 -|||
 mnuscriptlist|Open Scri&pt List||
 -|||
 mnuopennotepad|Open &Note Pad||
 -|||
 mnruncom|Run &Command||
 -|||
 telstart|Start &Telnet||
 -|||
 programst|&Start Program||
 -|||
 mnuhtmlcolor|A&uto Color||
  mnucoloron|&Html On||
  mnucoloroff|H&tml Off||
  -|||
  mnuvaron|&Variables On||
  mnuvaroff|V&ariables Off||
  -|||
  mnuediton|&Edit Areas On||
  mnueditoff|E&dit Areas Off||
  -|||
  mnucomcoloron|&Comments On||
  mnucomcoloroff|C&omments Off||
 -|||
 Mnutoolbarchange|Tool Bar Change||
  Mnutooltop|Tool Bar &Top||
  Mnutoolleft|Tool Bar &Left||
  Mnutoolright|Tool Bar &Right||
  Mnutoolbottom|Tool Bar &Bottom||
 -|||
 mnufontsize|Resi&ze Font||
  menusize0|10%||
  menusize1|20%||
  menusize2|30%||
  menusize3|40%||
  menusize4|50%||
  menusize5|60%||
  menusize6|70%||
  menusize7|80%||
  menusize8|90%||
  menusize9|100%||
 -|||
 menufind|F&ind||
 mnufindnext|Find Ne&xt||HD
 -|||
 mnuspelling|Install Spell Check||
 mnutemp|Temp||HD
mnuhtmltags|&Html Tags||
 mnutableit|&Tables||
  mnutablequick|Quick Tab&le||
  mnutablefull|Full Table||
 mnuforms|&Forms||
  mnuform0|New Form ||
  mnuform1|Input Text||
  mnuform2|Input Password||
  mnuhidden|Input Hidden||
  mnuimage|Input Image||
  mnuform3|Input Checkbox||
  mnuform4|Input Radio||
  mnuform5|Input Select||
  mnuform6|Input Textarea||
  mnuform7|Input Submit||
  mnuform8|Input Reset||
 mnunewcolor|New Color||HD
 mnuhtltag0|Bare Link||
 mnuhtltag1|Html Link||
 mnunewimage|New Image||
 mnuhtltag2|Bare Image||
 mnuhtltag3|Right Align||
 mnuhtltag4|Center Align||
 mnuhtltag5|Left Align||
 mnuhtltag6|Bold <B>||
 mnuhtltag7|Italic <I>||
 mnuhtltag8|Under Line <U>||
 mnuhtltag9|Line  Break <BR>||
 mnuhtltaga1|Horizanl Break <HR>||
 mnuhtltaga2|Center <center>||
 mnupara|Para&graph <P>||
 mnunsb|&&nbsp;||
 mnulcarat| &&lt; <||
 mnurcarat|&&gt; >||
mnuScript|&Script||
 mnuScriptCheck|&Check Syntax|Ctrl+K|
 mnuScriptRun|&Run as CGI...|F5|
 mnuScriptRunAgain|Run &Again|Ctrl+F5|
 mnuScriptStop|&Stop||D
 mnuScriptCheckOutput|Check &Output||D
 mnuScriptOpenBrowser|Open in &Browser||
 -|||
 mnuScriptTidy|&Tidy||
 mnuScriptCritic|C&ritic||
 mnuScriptPerldoc|&Perldoc|F1|
 -|||
 mnuScriptGoto|&Go To Line...|Ctrl+G|
 mnuScriptLineNumbers|Line &Numbers||
 mnuScriptLivePreview|&Live Preview||
mnuWindow|&Window||
 mnuWindowNewWindow|&New Window||
 -|||
 mnuWindowCascade|&Cascade||
 mnuWindowTileHorizontal|Tile &Horizontal||
 mnuWindowTileVertical|Tile &Vertical||
 mnuWindowArrangeIcons|&Arrange Icons||
mnuHelp|&Help||
 mnuHelpContents|&Contents||
 mnushowtip|&Reset Tips Window||
 -|||
 mnuHelpBar0|U&pGrade||
  mnuupdthlp|&Update Help File||
  -|||
  mnulistupdate|Update &Script List||
  -|||
  mnuupdatetip|UpDate Tip &File||
  -|||
  mnuqzupgrade|Up&grade QZ||
 -|||
 mnuViewWebBrowser|&Go To Our Site||
 -|||
 mnuemailus|Send &Comments||
 -|||
 mnuHelpAbout|&About ||
)";

struct Expected
{
    int depth;
    QString name, caption, shortcut, marks;
};

QList<Expected> parse(const char *tree)
{
    QList<Expected> out;
    for (const QString &line : QString::fromUtf8(tree).split(QLatin1Char('\n'))) {
        if (line.trimmed().isEmpty())
            continue;
        int depth = 0;
        while (line.at(depth) == QLatin1Char(' '))
            ++depth;
        const QStringList f = line.mid(depth).split(QLatin1Char('|'));
        out.append(Expected{depth, f.at(0), f.at(1), f.at(2), f.at(3)});
    }
    return out;
}

// The built tree as the same lines: walks the menus in display order.
void walk(QWidget *menu, int depth, QList<Expected> &out)
{
    for (QAction *a : menu->actions()) {
        QString marks;
        const bool visible = a->isVisible();
        // A hidden action also reports itself disabled: look at its own
        // enabled state.
        a->setVisible(true);
        const bool enabled = a->isEnabled();
        a->setVisible(visible);
        if (!visible)
            marks += QLatin1Char('H');
        if (!enabled)
            marks += QLatin1Char('D');
        if (a->isChecked())
            marks += QLatin1Char('C');
        if (a->isSeparator()) {
            out.append(Expected{depth, QStringLiteral("-"), QString(), QString(), marks});
            continue;
        }
        out.append(Expected{depth, a->objectName(), a->text(),
                            a->shortcut().toString(QKeySequence::PortableText), marks});
        if (a->menu())
            walk(a->menu(), depth + 1, out);
    }
}

void compareTrees(const QList<Expected> &actual, const QList<Expected> &expected)
{
    const qsizetype n = std::min(actual.size(), expected.size());
    for (qsizetype i = 0; i < n; ++i) {
        const Expected &a = actual.at(i);
        const Expected &e = expected.at(i);
        const QString where = QStringLiteral("entry %1 (%2)").arg(i).arg(e.name);
        QVERIFY2(a.depth == e.depth, qPrintable(where + QStringLiteral(" depth")));
        QVERIFY2(a.name == e.name, qPrintable(where + QStringLiteral(" name ") + a.name));
        if (e.name != QLatin1String("-")) {
            QVERIFY2(a.caption == e.caption, qPrintable(where + QStringLiteral(" caption ") + a.caption));
            QVERIFY2(a.shortcut == e.shortcut, qPrintable(where + QStringLiteral(" shortcut ") + a.shortcut));
        }
        QVERIFY2(a.marks == e.marks, qPrintable(where + QStringLiteral(" marks ") + a.marks));
    }
    QCOMPARE(actual.size(), expected.size());
}

} // namespace

class TestMenus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }

    void mainTreeAsMade()
    {
        // Before start-up sets any marks.
        QMenuBar bar;
        const frame::MenuSet set = frame::buildMainMenus(&bar);
        QList<Expected> actual;
        walk(&bar, 0, actual);
        compareTrees(actual, parse(kMainTree));
        QVERIFY(set.action("mnuFileOpen"));
        QCOMPARE(set.menu("mnuhtmlcolor")->title(), QStringLiteral("A&uto Color"));
    }

    void quickLinkTreeAsMade()
    {
        // The Quick Link copy: "Cancel" first, then the main tree without
        // the items only the main menu has, with its own captions.
        QList<Expected> expected;
        expected.append(Expected{0, QStringLiteral("mnucancel"), QStringLiteral("Cancel"), QString(), QString()});
        const QStringList absent = {"mnuappbar", "mnuholder", "mnutagwiz", "telstart", "programst",
                                    "mnuhidden", "mnuimage", "mnunewimage", "mnupara", "mnunsb",
                                    "mnulcarat", "mnurcarat", "mnushowtip", "mnuupdatetip"};
        const QHash<QString, QString> captions = {
            {"mnuFileOpen", "&Open"},          {"mnuhtmlcolor", "Auto Color"},
            {"mnucoloron", "Html  On"},        {"mnucoloroff", "Html Off"},
            {"mnuvaron", "Variables On"},      {"mnuvaroff", "Variables Off"},
            {"mnucomcoloron", "Comments On"},  {"mnucomcoloroff", "Comments Off"}};
        bool inScriptMenu = false; // the Script menu is the main menu's only
        for (Expected e : parse(kMainTree)) {
            if (e.depth == 0)
                inScriptMenu = e.name == QLatin1String("mnuScript");
            if (absent.contains(e.name) || inScriptMenu)
                continue;
            e.caption = captions.value(e.name, e.caption);
            if (e.name == QLatin1String("mnuautoinsert"))
                e.name = QStringLiteral("mnuinserter");
            expected.append(e);
        }
        QMenu root;
        frame::buildQuickLinkMenus(&root);
        QList<Expected> actual;
        walk(&root, 0, actual);
        compareTrees(actual, expected);
    }

    void copiesHaveTheirOwnActionsAndMarks()
    {
        clearSettings();
        EditorFixture f;
        QAction *main = f.item("mnucoloron");
        QAction *quick = f.quickItem("mnucoloron");
        QVERIFY(main && quick && main != quick);
        QVERIFY(f.trigger("mnucoloroff"));
        QVERIFY(f.item("mnucoloroff")->isChecked());
        QVERIFY(!f.item("mnucoloron")->isChecked());
        QVERIFY(f.quickItem("mnucoloron")->isChecked()); // the other copy is untouched
        // The Quick Link menu belongs to the Find form.
        editing::FindForm *form = f.window()->loadedFrmlink();
        QVERIFY(form);
        QCOMPARE(form->mnun()->objectName(), QStringLiteral("mnun"));
        QCOMPARE(form->mnun()->parent(), form);
    }

    void closingTheFindFormResetsTheQuickLinkMenu()
    {
        clearSettings();
        platform::writeSetting("settings", "spellcheck", "Check &Spelling");
        EditorFixture f;
        QVERIFY(f.quickItem("mnqlon")->isChecked());
        QCOMPARE(f.quickItem("mnuspelling")->text(), QStringLiteral("Check &Spelling"));
        f.window()->loadedFrmlink()->Command2->click(); // "&Close" unloads the form
        QTRY_VERIFY(!f.window()->loadedFrmlink());
        // Next use: the menu in its design state.
        QVERIFY(!f.quickItem("mnqlon")->isChecked());
        QCOMPARE(f.quickItem("mnuspelling")->text(), QStringLiteral("Install Spell Check"));
        QVERIFY(!f.quickItem("mnuhtmlpreview")->isEnabled());
        f.newDocument();
        QVERIFY(f.quickItem("mnuhtmlpreview")->isEnabled());
    }
};

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
