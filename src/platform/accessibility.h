#pragma once

class QAbstractButton;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QWidget;

namespace platform {

// What Qt's own accessibility leaves out, for every window of the editor:
// combo boxes named by their accessible name or label (not only by the item
// they show), line frames as separators (decoration), and the note windows
// as windows. Installed once.
void installAccessibility();

// Escape in a window clicks its "Close" button, so that both run the same
// command.
void escapeClicks(QWidget *window, QAbstractButton *button);
// Escape closes the window, as its close box does.
void escapeCloses(QWidget *window);

// Names a control after the label beside it ("&" access keys left out),
// for controls whose accessibility ignores a label's buddy (lists).
void nameAfterLabel(QWidget *control, const QLabel *label);

// A menu of the bar that is hidden doesn't take its access key from a
// shown one (Qt keeps the keys of hidden menus, so the first Alt+H went to
// the hidden "Html Tags" instead of "Help"). Shown menus sharing a key
// take turns, as before.
void skipHiddenMenuKeys(QMenuBar *bar);

// Makes an item of a menu one of a pair of switches: checkable, so that a
// screen reader says it can be checked, yet drawn as a plain item while it
// is unchecked, as such items always looked.
void makeSwitch(QAction *item, QMenu *menu);

} // namespace platform
