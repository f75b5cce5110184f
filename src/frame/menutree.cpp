#include "frame/menutree.h"

#include "platform/accessibility.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace frame {

namespace {
using F = MenuEntry;
constexpr unsigned H = F::Hidden, D = F::Disabled, C = F::Checked, S = F::Submenu, M = F::MainOnly,
                   Q = F::QuickOnly, W = F::Switch;

MenuEntry item(int level, const char *name, const char *caption, const char *shortcut = "",
               unsigned flags = 0, const char *quickCaption = nullptr, const char *quickName = nullptr)
{
    return MenuEntry{level, name, caption, shortcut, flags, quickCaption, quickName};
}
MenuEntry sep(int level, unsigned flags = 0)
{
    return MenuEntry{level, "", "-", "", flags | F::Separator, nullptr, nullptr};
}

std::vector<MenuEntry> makeEntries()
{
    std::vector<MenuEntry> e;
    e.push_back(item(0, "mnucancel", "Cancel", "", Q));

    e.push_back(item(0, "mnuFile", "&File", "", S));
    e.push_back(item(1, "mnuBlankFile", "&New", "Ctrl+B"));
    e.push_back(item(1, "mnuFileOpen", "&Open...", "Ctrl+O", 0, "&Open"));
    e.push_back(item(1, "mnuFileClose", "&Close"));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuFileSave", "&Save", "F12"));
    e.push_back(item(1, "mnuFileSaveAs", "Save &As..."));
    e.push_back(item(1, "mnuFilePageSetup", "Page Set&up..."));
    e.push_back(item(1, "mnuFilePrint", "&Print..."));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuFileMRU1", "", "", H));
    e.push_back(item(1, "mnuFileMRU2", "", "", H));
    e.push_back(item(1, "mnuFileMRU3", "", "", H));
    e.push_back(item(1, "mnuFileMRU4", "", "", H));
    e.push_back(item(1, "mnuFileMRU5", "", "", H));
    e.push_back(sep(1, H));
    e.push_back(item(1, "mnuFileExit", "E&xit"));

    e.push_back(item(0, "mnuedit", "&Edit", "", S));
    e.push_back(item(1, "mnuundo", "&Undo", "", H | D));
    e.push_back(item(1, "mnuredo", "&Redo", "", H | D));
    e.push_back(sep(1, H));
    e.push_back(item(1, "mnuEditCut", "Cu&t", "Ctrl+X"));
    e.push_back(item(1, "mnuEditCopy", "&Copy", "Ctrl+C"));
    e.push_back(item(1, "mnuEditPaste", "&Paste"));
    e.push_back(item(1, "mnudelete", "&Delete"));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuSelectAll", "&Select All", "Ctrl+A"));

    e.push_back(item(0, "mnuView", "&View", "", S));
    e.push_back(item(1, "mnuViewToolbar", "&Menu Bar", "", C));
    e.push_back(item(1, "mnuViewStatusBar", "Status &Bar", "", C));
    e.push_back(item(1, "mnuquicklink2", "&Quick Link", "", S));
    e.push_back(item(2, "mnqlon", "Quick Link On", "", W));
    e.push_back(item(2, "mnqloff", "Quick Link Off", "", W));
    e.push_back(item(1, "mnufilebar", "Fi&le Bar", "", H | D));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuappbar", "A&pp Bar", "", M));
    e.push_back(sep(1));
    e.push_back(sep(1, H));
    e.push_back(sep(1, H));
    e.push_back(sep(1, H));
    e.push_back(item(1, "mnuholder", "Code& Keeper", "", M));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuViewRefresh", "&Refresh"));

    e.push_back(item(0, "mnutools", "T&ools", "", S));
    e.push_back(item(1, "mnuautoinsert", "QZ Inserter", "", 0, nullptr, "mnuinserter"));
    e.push_back(item(1, "mnutagwiz", "&Tag Inserter", "", M));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuFileNew", "Perl &Template", "Ctrl+N", H | D));
    e.push_back(item(1, "mnuhtemplate", "Html Te&mplate"));
    e.push_back(item(1, "mnuhtmlpreview", "&Preview Html", "", D));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuscriptlist", "Open Scri&pt List"));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuopennotepad", "Open &Note Pad"));
    e.push_back(sep(1));
    e.push_back(item(1, "mnruncom", "Run &Command"));
    e.push_back(sep(1));
    e.push_back(item(1, "telstart", "Start &Telnet", "", M));
    e.push_back(sep(1));
    e.push_back(item(1, "programst", "&Start Program", "", M));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuhtmlcolor", "A&uto Color", "", S, "Auto Color"));
    e.push_back(item(2, "mnucoloron", "&Html On", "", W, "Html  On"));
    e.push_back(item(2, "mnucoloroff", "H&tml Off", "", W, "Html Off"));
    e.push_back(sep(2));
    e.push_back(item(2, "mnuvaron", "&Variables On", "", W, "Variables On"));
    e.push_back(item(2, "mnuvaroff", "V&ariables Off", "", W, "Variables Off"));
    e.push_back(sep(2));
    e.push_back(item(2, "mnuediton", "&Edit Areas On", "", W));
    e.push_back(item(2, "mnueditoff", "E&dit Areas Off", "", W));
    e.push_back(sep(2));
    e.push_back(item(2, "mnucomcoloron", "&Comments On", "", W, "Comments On"));
    e.push_back(item(2, "mnucomcoloroff", "C&omments Off", "", W, "Comments Off"));
    e.push_back(sep(1));
    e.push_back(item(1, "Mnutoolbarchange", "Tool Bar Change", "", S));
    e.push_back(item(2, "Mnutooltop", "Tool Bar &Top"));
    e.push_back(item(2, "Mnutoolleft", "Tool Bar &Left"));
    e.push_back(item(2, "Mnutoolright", "Tool Bar &Right"));
    e.push_back(item(2, "Mnutoolbottom", "Tool Bar &Bottom"));
    e.push_back(sep(1));
    e.push_back(item(1, "mnufontsize", "Resi&ze Font", "", S));
    e.push_back(item(2, "menusize0", "10%"));
    e.push_back(item(2, "menusize1", "20%"));
    e.push_back(item(2, "menusize2", "30%"));
    e.push_back(item(2, "menusize3", "40%"));
    e.push_back(item(2, "menusize4", "50%"));
    e.push_back(item(2, "menusize5", "60%"));
    e.push_back(item(2, "menusize6", "70%"));
    e.push_back(item(2, "menusize7", "80%"));
    e.push_back(item(2, "menusize8", "90%"));
    e.push_back(item(2, "menusize9", "100%"));
    e.push_back(sep(1));
    e.push_back(item(1, "menufind", "F&ind"));
    e.push_back(item(1, "mnufindnext", "Find Ne&xt", "", H | D));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuspelling", "Install Spell Check"));
    e.push_back(item(1, "mnutemp", "Temp", "", H | D));

    e.push_back(item(0, "mnuhtmltags", "&Html Tags", "", S));
    e.push_back(item(1, "mnutableit", "&Tables", "", S));
    e.push_back(item(2, "mnutablequick", "Quick Tab&le"));
    e.push_back(item(2, "mnutablefull", "Full Table"));
    e.push_back(item(1, "mnuforms", "&Forms", "", S));
    e.push_back(item(2, "mnuform0", "New Form "));
    e.push_back(item(2, "mnuform1", "Input Text"));
    e.push_back(item(2, "mnuform2", "Input Password"));
    e.push_back(item(2, "mnuhidden", "Input Hidden", "", M));
    e.push_back(item(2, "mnuimage", "Input Image", "", M));
    e.push_back(item(2, "mnuform3", "Input Checkbox"));
    e.push_back(item(2, "mnuform4", "Input Radio"));
    e.push_back(item(2, "mnuform5", "Input Select"));
    e.push_back(item(2, "mnuform6", "Input Textarea"));
    e.push_back(item(2, "mnuform7", "Input Submit"));
    e.push_back(item(2, "mnuform8", "Input Reset"));
    e.push_back(item(1, "mnunewcolor", "New Color", "", H | D));
    e.push_back(item(1, "mnuhtltag0", "Bare Link"));
    e.push_back(item(1, "mnuhtltag1", "Html Link"));
    e.push_back(item(1, "mnunewimage", "New Image", "", M));
    e.push_back(item(1, "mnuhtltag2", "Bare Image"));
    e.push_back(item(1, "mnuhtltag3", "Right Align"));
    e.push_back(item(1, "mnuhtltag4", "Center Align"));
    e.push_back(item(1, "mnuhtltag5", "Left Align"));
    e.push_back(item(1, "mnuhtltag6", "Bold <B>"));
    e.push_back(item(1, "mnuhtltag7", "Italic <I>"));
    e.push_back(item(1, "mnuhtltag8", "Under Line <U>"));
    e.push_back(item(1, "mnuhtltag9", "Line  Break <BR>"));
    e.push_back(item(1, "mnuhtltaga1", "Horizanl Break <HR>"));
    e.push_back(item(1, "mnuhtltaga2", "Center <center>"));
    e.push_back(item(1, "mnupara", "Para&graph <P>", "", M));
    e.push_back(item(1, "mnunsb", "&&nbsp;", "", M));
    e.push_back(item(1, "mnulcarat", " &&lt; <", "", M));
    e.push_back(item(1, "mnurcarat", "&&gt; >", "", M));

    // The workbench for scripts, in the main menu only.
    e.push_back(item(0, "mnuScript", "&Script", "", S | M));
    e.push_back(item(1, "mnuScriptCheck", "&Check Syntax", "Ctrl+K", M));
    e.push_back(item(1, "mnuScriptRun", "&Run as CGI...", "F5", M));
    e.push_back(item(1, "mnuScriptRunAgain", "Run &Again", "Ctrl+F5", M));
    e.push_back(item(1, "mnuScriptStop", "&Stop", "", M | D));
    e.push_back(item(1, "mnuScriptCheckOutput", "Check &Output", "", M | D));
    e.push_back(item(1, "mnuScriptOpenBrowser", "Open in &Browser", "", M));
    e.push_back(sep(1, M));
    e.push_back(item(1, "mnuScriptTidy", "&Tidy", "", M));
    e.push_back(item(1, "mnuScriptCritic", "C&ritic", "", M));
    e.push_back(item(1, "mnuScriptPerldoc", "&Perldoc", "F1", M));
    e.push_back(sep(1, M));
    e.push_back(item(1, "mnuScriptGoto", "&Go To Line...", "Ctrl+G", M));
    e.push_back(item(1, "mnuScriptLineNumbers", "Line &Numbers", "", M));
    e.push_back(item(1, "mnuScriptLivePreview", "&Live Preview", "", M));

    e.push_back(item(0, "mnuWindow", "&Window", "", S));
    e.push_back(item(1, "mnuWindowNewWindow", "&New Window"));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuWindowCascade", "&Cascade"));
    e.push_back(item(1, "mnuWindowTileHorizontal", "Tile &Horizontal"));
    e.push_back(item(1, "mnuWindowTileVertical", "Tile &Vertical"));
    e.push_back(item(1, "mnuWindowArrangeIcons", "&Arrange Icons"));

    e.push_back(item(0, "mnuHelp", "&Help", "", S));
    e.push_back(item(1, "mnuHelpContents", "&Contents"));
    e.push_back(item(1, "mnushowtip", "&Reset Tips Window", "", M));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuHelpBar0", "U&pGrade", "", S));
    e.push_back(item(2, "mnuupdthlp", "&Update Help File"));
    e.push_back(sep(2));
    e.push_back(item(2, "mnulistupdate", "Update &Script List"));
    e.push_back(sep(2));
    e.push_back(item(2, "mnuupdatetip", "UpDate Tip &File", "", M));
    e.push_back(sep(2));
    e.push_back(item(2, "mnuqzupgrade", "Up&grade QZ"));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuViewWebBrowser", "&Go To Our Site"));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuemailus", "Send &Comments"));
    e.push_back(sep(1));
    e.push_back(item(1, "mnuHelpAbout", "&About "));
    return e;
}

MenuSet build(Tree tree, QMenuBar *bar, QMenu *root)
{
    MenuSet set;
    // The menu that receives entries of each level.
    std::vector<QWidget *> parents(4, nullptr);
    for (const MenuEntry &e : menuEntries()) {
        if (tree == Tree::Main && (e.flags & F::QuickOnly))
            continue;
        if (tree == Tree::QuickLink && (e.flags & F::MainOnly))
            continue;
        const QString name = QString::fromLatin1(
            tree == Tree::QuickLink && e.quickName ? e.quickName : e.name);
        const QString caption = QString::fromLatin1(
            tree == Tree::QuickLink && e.quickCaption ? e.quickCaption : e.caption);

        QWidget *parent = e.level == 0 ? (bar ? static_cast<QWidget *>(bar) : root)
                                       : parents[size_t(e.level)];
        auto *menuParent = qobject_cast<QMenu *>(parent);
        auto *barParent = qobject_cast<QMenuBar *>(parent);

        QAction *action = nullptr;
        if (e.flags & F::Submenu) {
            auto *menu = new QMenu(caption, parent);
            menu->setObjectName(name);
            action = menu->menuAction();
            if (barParent)
                barParent->addMenu(menu);
            else if (menuParent)
                menuParent->addMenu(menu);
            parents[size_t(e.level) + 1] = menu;
            set.menus.insert(name, menu);
        } else if (e.flags & F::Separator) {
            action = menuParent ? menuParent->addSeparator() : nullptr;
        } else {
            action = new QAction(caption, parent);
            if (menuParent)
                menuParent->addAction(action);
            else if (barParent)
                barParent->addAction(action);
            if (*e.shortcut)
                action->setShortcut(QKeySequence(QString::fromLatin1(e.shortcut)));
            action->setCheckable(true);
            action->setChecked(e.flags & F::Checked);
            // Check marks show only where the editor sets them.
            if (!(e.flags & F::Checked))
                action->setCheckable(false);
            if (e.flags & F::Switch)
                platform::makeSwitch(action, menuParent);
        }
        if (!action)
            continue;
        if (!name.isEmpty()) {
            action->setObjectName(name);
            set.actions.insert(name, action);
        }
        action->setVisible(!(e.flags & F::Hidden));
        action->setEnabled(!(e.flags & F::Disabled));
        set.ordered.push_back(action);
    }
    return set;
}

} // namespace

const std::vector<MenuEntry> &menuEntries()
{
    static const std::vector<MenuEntry> entries = makeEntries();
    return entries;
}

MenuSet buildMainMenus(QMenuBar *bar)
{
    return build(Tree::Main, bar, nullptr);
}

MenuSet buildQuickLinkMenus(QMenu *root)
{
    return build(Tree::QuickLink, nullptr, root);
}

void checkPair(QAction *on, QAction *off)
{
    if (on) {
        on->setCheckable(true);
        on->setChecked(true);
    }
    if (off) {
        off->setCheckable(true);
        off->setChecked(false);
    }
}

} // namespace frame
