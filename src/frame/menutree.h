#pragma once

#include <QHash>
#include <QString>

#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QObject;
class QWidget;

namespace frame {

// The editor's menus are declared once, as data, and built twice: as the
// main window's menu bar and as the Quick Link menu that pops up in a
// document. Each copy has its own actions and check marks.
enum class Tree { Main, QuickLink };

struct MenuEntry
{
    enum Flag : unsigned {
        None = 0,
        Hidden = 1,
        Disabled = 2,
        Checked = 4,
        Submenu = 8,    // the entries after it, one level deeper, are its items
        Separator = 16,
        MainOnly = 32,  // not in the Quick Link copy
        QuickOnly = 64, // only in the Quick Link copy
        Switch = 128,   // one of a pair of switches ("... On", "... Off")
    };
    int level;                 // 0: a menu of the bar
    const char *name;          // object name; empty for separators
    const char *caption;       // with '&' access keys
    const char *shortcut;      // portable text, empty for none
    unsigned flags;
    const char *quickCaption;  // caption in the Quick Link copy, when it differs
    const char *quickName;     // object name in the Quick Link copy, when it differs
};

const std::vector<MenuEntry> &menuEntries();

// The built menus of one copy, by object name.
struct MenuSet
{
    QHash<QString, QAction *> actions; // items, and the actions of menus
    QHash<QString, QMenu *> menus;
    std::vector<QAction *> ordered;    // every entry in declaration order, separators too

    QAction *action(const QString &name) const { return actions.value(name); }
    QMenu *menu(const QString &name) const { return menus.value(name); }
};

// Builds the main copy into a menu bar.
MenuSet buildMainMenus(QMenuBar *bar);
// Builds the Quick Link copy under a root menu (the first entry is "Cancel").
MenuSet buildQuickLinkMenus(QMenu *root);

// Checks one item and unchecks another, as the paired switches do.
void checkPair(QAction *on, QAction *off);

} // namespace frame
