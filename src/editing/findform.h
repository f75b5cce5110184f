#pragma once

#include "frame/menutree.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace editing {

// The Find dialog, modeless. The same form holds the Quick Link menu, a
// hidden menu that pops up in documents; loading the form builds that menu
// afresh, so its check marks are back in their design state after every
// load.
class FindForm : public QDialog
{
    Q_OBJECT
public:
    explicit FindForm(QWidget *owner);
    ~FindForm() override;

    // Shown from the main menu: owned by the main window, the box filled
    // from the selection.
    void showFromMainMenu();
    // Shown from the Quick Link menu: topmost at 300, 200 pixels, 220 by
    // 100, without taking the focus and without owner.
    void showFromQuickLink();

    QMenu *mnun() const { return m_mnun; }
    const frame::MenuSet &quickLinkMenus() const { return m_menus; }

    QString searchText() const { return m_searchText; }

    QLabel *Label1;
    QLineEdit *Text1;
    QPushButton *Command3; // "&Find"
    QPushButton *Command1; // "Find &Next"
    QPushButton *Command2; // "&Close"

private:
    void Command3_Click();
    void Command1_Click();
    void Command2_Click();
    void placeForQuickLink();
    // The main window takes the keyboard back, and the document in it.
    void giveKeyboardToDocument();

    QMenu *m_mnun;
    frame::MenuSet m_menus;
    QString m_searchText;
};

// The counter of windows made through the Quick Link menu; it keeps
// counting when the form is closed and loaded again.
int &quickLinkCounter();

void registerFindCommands();

} // namespace editing
