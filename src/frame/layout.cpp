#include "frame/layout.h"

#include "editing/findform.h"
#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "frame/statusbar.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolBar>

namespace frame {

namespace {

const QString kSettings = QStringLiteral("settings");

struct Edge
{
    const char *word;
    Qt::ToolBarArea area;
    const char *item;
};
const Edge kEdges[] = {
    {"vbAlignTop", Qt::TopToolBarArea, "Mnutooltop"},
    {"vbAlignLeft", Qt::LeftToolBarArea, "Mnutoolleft"},
    {"vbAlignRight", Qt::RightToolBarArea, "Mnutoolright"},
    {"vbAlignBottom", Qt::BottomToolBarArea, "Mnutoolbottom"},
};

void dock(MainWindow *w, Qt::ToolBarArea area)
{
    QToolBar *tb = w->tbToolBar();
    const bool shown = tb->isVisible() || !tb->isHidden();
    if (w->toolBarArea(tb) != area) {
        w->removeToolBar(tb);
        w->addToolBar(area, tb);
    }
    tb->setVisible(shown);
}

// Picking an item toggles its own mark in the menu it was picked from.
QAction *itemOf(Tree tree, const char *name)
{
    MainWindow *w = frmMain();
    return tree == Tree::Main ? w->menuItem(QString::fromLatin1(name))
                              : w->quickItem(QString::fromLatin1(name));
}

void toggleBar(Tree tree, const char *item, QWidget *bar)
{
    QAction *a = itemOf(tree, item);
    a->setCheckable(true);
    a->setChecked(!a->isChecked());
    bar->setVisible(a->isChecked());
}

QList<QMdiSubWindow *> tileable(QMdiArea *mdi)
{
    QList<QMdiSubWindow *> out;
    for (QMdiSubWindow *sub : mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (sub->isVisible() && !sub->isMinimized())
            out << sub;
    }
    return out;
}

void tile(MainWindow *window, bool stacked)
{
    QMdiArea *mdi = window->mdiArea();
    const QList<QMdiSubWindow *> subs = tileable(mdi);
    if (subs.isEmpty())
        return;
    arrangeIcons(window);
    // The whole inside, not what scroll bars for the windows' present
    // places leave of it: once tiled, nothing reaches past it.
    QRect area(QPoint(0, 0), mdi->maximumViewportSize());
    // Leave the row of minimized windows free.
    for (QMdiSubWindow *sub : mdi->subWindowList()) {
        if (sub->isMinimized())
            area.setBottom(std::min(area.bottom(), sub->geometry().top() - 1));
    }
    const int n = int(subs.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow *sub = subs.at(i);
        if (sub->isMaximized())
            sub->showNormal();
        QRect r;
        if (stacked) {
            const int h = area.height() / n;
            r = QRect(area.left(), area.top() + i * h, area.width(),
                      i == n - 1 ? area.height() - i * h : h);
        } else {
            const int wdt = area.width() / n;
            r = QRect(area.left() + i * wdt, area.top(), i == n - 1 ? area.width() - i * wdt : wdt,
                      area.height());
        }
        sub->setGeometry(r);
    }
}

} // namespace

void tileHorizontally(MainWindow *window)
{
    tile(window, true);
}

void tileVertically(MainWindow *window)
{
    tile(window, false);
}

void arrangeIcons(MainWindow *window)
{
    QMdiArea *mdi = window->mdiArea();
    const QRect area(QPoint(0, 0), mdi->maximumViewportSize());
    int x = area.left();
    int y = -1;
    for (QMdiSubWindow *sub : mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (!sub->isMinimized())
            continue;
        const QSize s = sub->size();
        if (y < 0)
            y = area.bottom() - s.height() + 1;
        if (x + s.width() > area.right() && x > area.left()) {
            x = area.left();
            y -= s.height();
        }
        sub->move(x, y);
        x += s.width();
    }
}

void applyToolbarSetting(MainWindow *window, const QString &value)
{
    for (const Edge &e : kEdges) {
        if (value == QLatin1String(e.word))
            dock(window, e.area);
    }
}

void registerLayoutCommands()
{
    for (const Edge &e : kEdges) {
        addCommand(QString::fromLatin1(e.item), [e](Tree) {
            dock(frmMain(), e.area);
            platform::writeSetting(kSettings, QStringLiteral("tbset"), QString::fromLatin1(e.word));
        });
    }
    addCommand(QStringLiteral("mnuViewToolbar"), [](Tree tree) {
        toggleBar(tree, "mnuViewToolbar", frmMain()->tbToolBar());
    });
    addCommand(QStringLiteral("mnuViewStatusBar"), [](Tree tree) {
        toggleBar(tree, "mnuViewStatusBar", frmMain()->sbStatusBar());
    });
    addCommand(QStringLiteral("mnqlon"), [](Tree tree) {
        MainWindow *w = frmMain();
        checkPair(w->menuItem(QStringLiteral("mnqlon")), w->menuItem(QStringLiteral("mnqloff")));
        if (tree == Tree::Main) {
            platform::writeSetting(kSettings, QStringLiteral("ql"), QStringLiteral("on"));
        } else {
            checkPair(w->quickItem(QStringLiteral("mnqlon")), w->quickItem(QStringLiteral("mnqloff")));
        }
    });
    addCommand(QStringLiteral("mnqloff"), [](Tree tree) {
        MainWindow *w = frmMain();
        checkPair(w->menuItem(QStringLiteral("mnqloff")), w->menuItem(QStringLiteral("mnqlon")));
        if (tree == Tree::Main) {
            platform::writeSetting(kSettings, QStringLiteral("ql"), QStringLiteral("off"));
        } else {
            checkPair(w->quickItem(QStringLiteral("mnqloff")), w->quickItem(QStringLiteral("mnqlon")));
        }
    });
    addCommand(QStringLiteral("mnuViewRefresh"), [](Tree) {
        MainWindow *w = frmMain();
        if (QWidget *child = w->activeChild())
            child->repaint();
        if (platform::RichTextBox *box = w->activeText())
            box->Refresh();
    });
    addCommand(QStringLiteral("mnuWindowCascade"), [](Tree) { frmMain()->mdiArea()->cascadeSubWindows(); });
    addCommand(QStringLiteral("mnuWindowTileHorizontal"), [](Tree) { tileHorizontally(frmMain()); });
    addCommand(QStringLiteral("mnuWindowTileVertical"), [](Tree) { tileVertically(frmMain()); });
    addCommand(QStringLiteral("mnuWindowArrangeIcons"), [](Tree) { arrangeIcons(frmMain()); });
}

} // namespace frame
