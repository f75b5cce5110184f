// The frame's switches: the toolbar's docking edge (kept across a
// restart), the toolbar and status bar toggles with their marks in each
// menu, the Quick Link switch, Refresh and the arrange commands.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "editing/findform.h"
#include "frame/mainwindow.h"
#include "frame/statusbar.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>
#include <QToolBar>

using platform::readSetting;

namespace {

const QString kUnset = QStringLiteral("<unset>");

QString stored(const char *key)
{
    return readSetting(QStringLiteral("settings"), QString::fromLatin1(key), kUnset);
}

QList<QRect> shownChildren(QMdiArea *mdi)
{
    QList<QRect> out;
    for (QMdiSubWindow *sub : mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (sub->isVisible() && !sub->isMinimized())
            out << sub->geometry();
    }
    return out;
}

bool overlap(const QList<QRect> &rects)
{
    for (int i = 0; i < rects.size(); ++i) {
        for (int j = i + 1; j < rects.size(); ++j) {
            if (rects[i].intersects(rects[j]))
                return true;
        }
    }
    return false;
}

// Counts paint events of the widgets it watches.
class PaintCounter : public QObject
{
public:
    QHash<QObject *, int> counts;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++counts[watched];
        return false;
    }
};

// Whether a right-button click in the document opens the Quick Link menu.
bool rightClickOpensQuickLink(EditorFixture &f, document::DocumentWindow *doc)
{
    QMenu *menu = f.window()->frmlink()->mnun();
    menu->hide();
    QTest::mouseClick(doc->rtfText->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    QCoreApplication::processEvents();
    const bool open = menu->isVisible();
    menu->hide();
    return open;
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void dockingEdgePersistsAcrossRestart_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("area");
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("quick");
        QTest::newRow("top") << "Mnutooltop" << int(Qt::TopToolBarArea) << "vbAlignTop" << false;
        QTest::newRow("right") << "Mnutoolright" << int(Qt::RightToolBarArea) << "vbAlignRight" << false;
        QTest::newRow("bottom") << "Mnutoolbottom" << int(Qt::BottomToolBarArea) << "vbAlignBottom" << false;
        QTest::newRow("bottom, Quick Link") << "Mnutoolbottom" << int(Qt::BottomToolBarArea) << "vbAlignBottom"
                                            << true;
        QTest::newRow("top, Quick Link") << "Mnutooltop" << int(Qt::TopToolBarArea) << "vbAlignTop" << true;
    }

    void dockingEdgePersistsAcrossRestart()
    {
        QFETCH(QString, item);
        QFETCH(int, area);
        QFETCH(QString, word);
        QFETCH(bool, quick);
        {
            EditorFixture f;
            QCOMPARE(f.window()->toolBarArea(f.window()->tbToolBar()), Qt::LeftToolBarArea);
            QCOMPARE(stored("tbset"), kUnset);
            QVERIFY(quick ? f.triggerQuick(item) : f.trigger(item));
            QToolBar *tb = f.window()->tbToolBar();
            QCOMPARE(int(f.window()->toolBarArea(tb)), area);
            QVERIFY(tb->isVisible());
            QCOMPARE(stored("tbset"), word);
            // The document area gives the toolbar its room.
            QVERIFY(!f.window()->mdiArea()->geometry().intersects(tb->geometry()));
            // The items carry no marks.
            QVERIFY(!f.item(item)->isChecked());
            f.close();
        }
        EditorFixture g;
        QCOMPARE(int(g.window()->toolBarArea(g.window()->tbToolBar())), area);
        QVERIFY(g.trigger("Mnutoolleft"));
        QCOMPARE(g.window()->toolBarArea(g.window()->tbToolBar()), Qt::LeftToolBarArea);
        QCOMPARE(stored("tbset"), QStringLiteral("vbAlignLeft"));
    }

    void menuBarAndStatusBarTwice()
    {
        {
            EditorFixture f;
            QToolBar *tb = f.window()->tbToolBar();
            QWidget *sb = f.window()->sbStatusBar();
            QAction *toolbarItem = f.item("mnuViewToolbar");
            QAction *statusItem = f.item("mnuViewStatusBar");
            QVERIFY(toolbarItem->isChecked());
            QVERIFY(statusItem->isChecked());

            QVERIFY(f.trigger("mnuViewToolbar"));
            QVERIFY(!tb->isVisible());
            QVERIFY(!toolbarItem->isChecked());
            QVERIFY(f.trigger("mnuViewToolbar"));
            QVERIFY(tb->isVisible());
            QVERIFY(toolbarItem->isChecked());

            QVERIFY(f.trigger("mnuViewStatusBar"));
            QVERIFY(!sb->isVisible());
            QVERIFY(!statusItem->isChecked());
            QVERIFY(f.trigger("mnuViewStatusBar"));
            QVERIFY(sb->isVisible());
            QVERIFY(statusItem->isChecked());

            // Hidden when the program ends...
            QVERIFY(f.trigger("mnuViewToolbar"));
            QVERIFY(f.trigger("mnuViewStatusBar"));
            // ...and docked elsewhere while hidden: it stays hidden.
            QVERIFY(f.trigger("Mnutooltop"));
            QVERIFY(!tb->isVisible());
            f.close();
        }
        // ...shown again at the next start: nothing was stored.
        EditorFixture g;
        QVERIFY(g.window()->tbToolBar()->isVisible());
        QVERIFY(g.window()->sbStatusBar()->isVisible());
        QVERIFY(g.item("mnuViewToolbar")->isChecked());
        QVERIFY(g.item("mnuViewStatusBar")->isChecked());
    }

    void quickLinkBarTogglesKeepTheirOwnMarks()
    {
        EditorFixture f;
        f.newDocument(QStringLiteral("text"));
        QToolBar *tb = f.window()->tbToolBar();
        QVERIFY(f.triggerQuick("mnuViewToolbar"));
        QVERIFY(!tb->isVisible());
        QVERIFY(!f.quickItem("mnuViewToolbar")->isChecked());
        QVERIFY(f.item("mnuViewToolbar")->isChecked());
        // The main menu's pick unchecks its item and hides the hidden bar...
        QVERIFY(f.trigger("mnuViewToolbar"));
        QVERIFY(!f.item("mnuViewToolbar")->isChecked());
        QVERIFY(!tb->isVisible());
        // ...and the second pick shows it.
        QVERIFY(f.trigger("mnuViewToolbar"));
        QVERIFY(tb->isVisible());
        QVERIFY(!f.quickItem("mnuViewToolbar")->isChecked());

        QWidget *sb = f.window()->sbStatusBar();
        QVERIFY(f.triggerQuick("mnuViewStatusBar"));
        QVERIFY(!sb->isVisible());
        QVERIFY(!f.quickItem("mnuViewStatusBar")->isChecked());
        QVERIFY(f.item("mnuViewStatusBar")->isChecked());
        QVERIFY(f.triggerQuick("mnuViewStatusBar"));
        QVERIFY(sb->isVisible());
        QVERIFY(f.quickItem("mnuViewStatusBar")->isChecked());
    }

    void quickLinkOffFromMainMenuIsStored()
    {
        {
            EditorFixture f;
            document::DocumentWindow *doc = f.newDocument(QStringLiteral("text"));
            QVERIFY(rightClickOpensQuickLink(f, doc));
            QVERIFY(f.trigger("mnqloff"));
            QVERIFY(f.item("mnqloff")->isChecked());
            QVERIFY(!f.item("mnqlon")->isChecked());
            // The Quick Link copy keeps its marks.
            QVERIFY(f.quickItem("mnqlon")->isChecked());
            QCOMPARE(stored("ql"), QStringLiteral("off"));
            QVERIFY(!rightClickOpensQuickLink(f, doc));
            f.close();
        }
        {
            EditorFixture g;
            QVERIFY(g.item("mnqloff")->isChecked());
            QVERIFY(g.quickItem("mnqloff")->isChecked());
            document::DocumentWindow *doc = g.newDocument(QStringLiteral("text"));
            QVERIFY(!rightClickOpensQuickLink(g, doc));
            QVERIFY(g.trigger("mnqlon"));
            QVERIFY(g.item("mnqlon")->isChecked());
            QVERIFY(!g.item("mnqloff")->isChecked());
            QCOMPARE(stored("ql"), QStringLiteral("on"));
            QVERIFY(rightClickOpensQuickLink(g, doc));
        }
    }

    void quickLinkOffFromQuickLinkIsNotStored()
    {
        {
            EditorFixture f;
            document::DocumentWindow *doc = f.newDocument(QStringLiteral("text"));
            QVERIFY(f.triggerQuick("mnqloff"));
            for (QAction *on : {f.item("mnqlon"), f.quickItem("mnqlon")})
                QVERIFY(!on->isChecked());
            for (QAction *off : {f.item("mnqloff"), f.quickItem("mnqloff")})
                QVERIFY(off->isChecked());
            QCOMPARE(stored("ql"), kUnset);
            QVERIFY(!rightClickOpensQuickLink(f, doc));
            f.close();
        }
        EditorFixture g;
        QVERIFY(g.item("mnqlon")->isChecked());
        document::DocumentWindow *doc = g.newDocument(QStringLiteral("text"));
        QVERIFY(rightClickOpensQuickLink(g, doc));
        // Quick Link On from the Quick Link menu sets both menus' marks.
        g.item("mnqloff")->setChecked(true);
        g.item("mnqlon")->setChecked(false);
        QVERIFY(g.triggerQuick("mnqlon"));
        QVERIFY(g.item("mnqlon")->isChecked());
        QVERIFY(!g.item("mnqloff")->isChecked());
        QVERIFY(g.quickItem("mnqlon")->isChecked());
        QCOMPARE(stored("ql"), kUnset);
    }

    void refreshRepaintsDocumentAndText()
    {
        EditorFixture f;
        QVERIFY(f.trigger("mnuViewRefresh")); // no document: nothing
        document::DocumentWindow *doc = f.newDocument(QStringLiteral("text"));
        QCoreApplication::processEvents();
        PaintCounter counter;
        doc->installEventFilter(&counter);
        doc->rtfText->viewport()->installEventFilter(&counter);
        QVERIFY(f.trigger("mnuViewRefresh"));
        QVERIFY(counter.counts.value(doc) > 0);
        QVERIFY(counter.counts.value(doc->rtfText->viewport()) > 0);
        counter.counts.clear();
        QVERIFY(f.triggerQuick("mnuViewRefresh"));
        QVERIFY(counter.counts.value(doc->rtfText->viewport()) > 0);
        QCOMPARE(doc->rtfText->Text(), QStringLiteral("text"));
    }

    void arrangeCommands()
    {
        EditorFixture f;
        f.window()->resize(900, 700);
        for (const char *text : {"one", "two", "three"})
            f.newDocument(QString::fromLatin1(text));
        QMdiArea *mdi = f.window()->mdiArea();
        const QRect area = mdi->viewport()->rect();

        QVERIFY(f.trigger("mnuWindowTileHorizontal"));
        QList<QRect> rects = shownChildren(mdi);
        QCOMPARE(rects.size(), 3);
        for (const QRect &r : rects)
            QCOMPARE(r.width(), area.width());
        QVERIFY(!overlap(rects));
        QVERIFY(rects[0].top() < rects[1].top() && rects[1].top() < rects[2].top());

        QVERIFY(f.trigger("mnuWindowTileVertical"));
        rects = shownChildren(mdi);
        for (const QRect &r : rects)
            QCOMPARE(r.height(), area.height());
        QVERIFY(!overlap(rects));
        QVERIFY(rects[0].left() < rects[1].left() && rects[1].left() < rects[2].left());

        QVERIFY(f.trigger("mnuWindowCascade"));
        rects = shownChildren(mdi);
        QVERIFY(rects[0].left() < rects[1].left() && rects[0].top() < rects[1].top());
        QVERIFY(rects[1].left() < rects[2].left() && rects[1].top() < rects[2].top());

        // The Quick Link copies arrange the main window's documents too.
        QVERIFY(f.triggerQuick("mnuWindowTileHorizontal"));
        rects = shownChildren(mdi);
        for (const QRect &r : rects)
            QCOMPARE(r.width(), area.width());
        QVERIFY(!overlap(rects));

        // Minimized windows line up along the bottom edge.
        const QList<QMdiSubWindow *> subs = mdi->subWindowList(QMdiArea::CreationOrder);
        subs[0]->showMinimized();
        subs[1]->showMinimized();
        subs[0]->move(200, 10);
        subs[1]->move(40, 100);
        QVERIFY(f.triggerQuick("mnuWindowArrangeIcons"));
        QCOMPARE(subs[0]->geometry().bottom(), area.bottom());
        QCOMPARE(subs[1]->geometry().bottom(), area.bottom());
        QCOMPARE(subs[0]->x(), area.left());
        QCOMPARE(subs[1]->x(), subs[0]->geometry().right() + 1);
        // Tiling leaves the row of icons free.
        QVERIFY(f.trigger("mnuWindowTileVertical"));
        QVERIFY(subs[2]->geometry().bottom() < subs[0]->y());
        QCOMPARE(subs[2]->width(), area.width());
    }

    void arrangeWithoutDocumentsDoesNothing()
    {
        EditorFixture f;
        for (const char *item : {"mnuWindowCascade", "mnuWindowTileHorizontal", "mnuWindowTileVertical",
                                 "mnuWindowArrangeIcons"})
            QVERIFY(f.trigger(QString::fromLatin1(item)));
        QVERIFY(f.window()->mdiArea()->subWindowList().isEmpty());
        QCOMPARE(f.ui.unexpected, 0);
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
