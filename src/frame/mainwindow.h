#pragma once

#include "frame/menutree.h"

#include <QMainWindow>
#include <QPointer>

class QMdiArea;
class QMdiSubWindow;
class QToolBar;

namespace platform {
class RichTextBox;
}
namespace files {
class CommonDialog;
}
namespace document {
class DocumentWindow;
}
namespace editing {
class FindForm;
}

namespace frame {

class StatusBar;

// The multiple-document main window: menu bar, toolbar, status bar, the
// shared file dialog and the area the document windows live in.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The one main window while it exists.
    static MainWindow *instance();

    // Start-up, in order: file types, geometry, caption, the command-line
    // file, the check marks of both menus, the spell-check caption, the
    // toolbar's edge, the document-only menus, the tip of the day.
    void startUp(const QString &commandLine);
    QString commandLine() const { return m_commandLine; }

    QMdiArea *mdiArea() const { return m_mdi; }
    // The active child window's widget: a document window or the page
    // viewer; null when there is none.
    QWidget *activeChild() const;
    document::DocumentWindow *activeDocument() const;
    // The active document's text control, or null.
    platform::RichTextBox *activeText() const;
    // The same, raising the error a missing object gives.
    platform::RichTextBox &requireText() const;
    QList<document::DocumentWindow *> documents() const;

    files::CommonDialog &dlgCommonDialog() { return *m_dialog; }
    StatusBar *sbStatusBar() const { return m_status; }
    QToolBar *tbToolBar() const { return m_toolbar; }
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString &text);
    // Clears the changed marker.
    void framclean();

    // The main menu's items and menus.
    const MenuSet &menus() const { return m_menus; }
    QAction *menuItem(const QString &name) const { return m_menus.action(name); }

    // The Find dialog form, which holds the Quick Link menu; loaded (hidden)
    // when it isn't.
    editing::FindForm *frmlink();
    editing::FindForm *loadedFrmlink() const;
    // An item of the Quick Link menu (loads the form that holds it).
    QAction *quickItem(const QString &name);

    // New documents and the command-line open: of the start's own command
    // line, or of the one another start handed over.
    document::DocumentWindow *newdoc();
    void openload();
    void openload(const QString &commandLine);
    // The Quick Link menu's own counter of new windows; it lives as long
    // as the program, not as the form holding that menu.
    int &quickLinkCounter() { return m_quickLinkCounter; }

    // Shows a child window in the document area.
    QMdiSubWindow *addChild(QWidget *widget);

    // Runs a main-menu command by item name, as a click would.
    void runMenuCommand(const QString &name);

Q_SIGNALS:
    // The main window has closed: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void restoreGeometryFromStore();
    void storeGeometry();
    void updateWindowMenu();
    // Says when a document's file changed on disk, as the editor or a
    // document window becomes active.
    void watchFilesOnDisk();

    QMdiArea *m_mdi = nullptr;
    StatusBar *m_status = nullptr;
    QToolBar *m_toolbar = nullptr;
    files::CommonDialog *m_dialog = nullptr;
    MenuSet m_menus;
    QPointer<editing::FindForm> m_frmlink;
    QString m_commandLine;
    int m_documentCounter = 0;
    int m_quickLinkCounter = 0;
    QList<QAction *> m_windowListActions;
    QAction *m_windowListSeparator = nullptr;
    // The geometry read at start-up, in twips and in the pixels it became.
    QRect m_restoredTwips;
    QRect m_restoredPixels;
};

// The main window, as every command reaches it.
inline MainWindow *frmMain()
{
    return MainWindow::instance();
}

// Connects every item of a built menu copy to its command.
void connectMenuCommands(const MenuSet &set, Tree tree, QObject *context);

} // namespace frame
