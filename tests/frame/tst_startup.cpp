// Start-up and shut-down of the main window: defaults of an empty store,
// the check marks of both menus, geometry kept in twips.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "editing/findform.h"
#include "frame/mainwindow.h"
#include "frame/statusbar.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/twips.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

using platform::readSetting;
using platform::writeSetting;

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void firstStartWithEmptyStore()
    {
        EditorFixture f;
        frame::MainWindow *w = f.window();
        QCOMPARE(w->windowTitle(), QStringLiteral("Quillet (LT) v1.05"));
        const QRect outer = w->frameGeometry();
        QCOMPARE(outer.topLeft(), QPoint(platform::twipsToPixelsX(1000), platform::twipsToPixelsY(1000)));
        QCOMPARE(outer.size(), QSize(platform::twipsToPixelsX(6500), platform::twipsToPixelsY(6500)));
        for (const char *name : {"mnucoloron", "mnuediton", "mnuvaron", "mnucomcoloron", "mnqlon"}) {
            QVERIFY2(f.item(QString::fromLatin1(name))->isChecked(), name);
            QVERIFY2(f.quickItem(QString::fromLatin1(name))->isChecked(), name);
        }
        for (const char *name : {"mnucoloroff", "mnueditoff", "mnuvaroff", "mnucomcoloroff", "mnqloff"}) {
            QVERIFY2(!f.item(QString::fromLatin1(name))->isChecked(), name);
            QVERIFY2(!f.quickItem(QString::fromLatin1(name))->isChecked(), name);
        }
        QCOMPARE(w->toolBarArea(w->tbToolBar()), Qt::LeftToolBarArea);
        QCOMPARE(f.item("mnuspelling")->text(), QStringLiteral("Install Spell Check"));
        QVERIFY(!f.item("mnuhtmltags")->isVisible());
        QVERIFY(!f.item("mnuedit")->isVisible());
        QVERIFY(!f.item("mnuautoinsert")->isEnabled());
        QVERIFY(!f.item("mnuhtmlpreview")->isEnabled());
        QCOMPARE(w->panelText(1), QStringLiteral("Quillet "));
        QCOMPARE(w->panelText(2), QString());
        QVERIFY(!w->panelText(3).isEmpty());
        QVERIFY(!w->panelText(4).isEmpty());
        // The Find form that holds the Quick Link menu is loaded, hidden.
        QVERIFY(w->loadedFrmlink());
        QVERIFY(!w->loadedFrmlink()->isVisible());
        QCOMPARE(f.ui.unexpected, 0);
    }

    void storedSwitchesSetMarksInBothMenus()
    {
        writeSetting("settings", "setto", "off");
        writeSetting("settings", "var", "ON"); // only "on" exactly counts as on
        writeSetting("settings", "ql", "off");
        writeSetting("settings", "spellcheck", "Check &Spelling");
        writeSetting("settings", "tbset", "vbAlignRight");
        EditorFixture f;
        QVERIFY(f.item("mnucoloroff")->isChecked());
        QVERIFY(!f.item("mnucoloron")->isChecked());
        QVERIFY(f.quickItem("mnucoloroff")->isChecked());
        QVERIFY(f.item("mnuvaroff")->isChecked());
        QVERIFY(f.item("mnqloff")->isChecked());
        QVERIFY(f.quickItem("mnqloff")->isChecked());
        QCOMPARE(f.item("mnuspelling")->text(), QStringLiteral("Check &Spelling"));
        QCOMPARE(f.quickItem("mnuspelling")->text(), QStringLiteral("Check &Spelling"));
        QCOMPARE(f.window()->toolBarArea(f.window()->tbToolBar()), Qt::RightToolBarArea);
    }

    void unknownToolbarWordKeepsDocking()
    {
        writeSetting("settings", "tbset", "vbAlignSideways");
        EditorFixture f;
        QCOMPARE(f.window()->toolBarArea(f.window()->tbToolBar()), Qt::LeftToolBarArea);
    }

    void geometryStoredAndRestored()
    {
        QRect outer;
        {
            EditorFixture f;
            f.window()->setGeometry(150, 120, 600, 480);
            QCoreApplication::processEvents();
            outer = f.window()->frameGeometry();
            f.close();
        }
        const int left = readSetting("Settings", "mainleft", 0).toInt(); // names match without case
        QCOMPARE(left, platform::pixelsToTwipsX(outer.left()));
        EditorFixture g;
        QCOMPARE(g.window()->frameGeometry(), outer);
    }

    void geometryNotANumberFallsBack()
    {
        writeSetting("Settings", "MainWidth", "wide");
        writeSetting("Settings", "MainLeft", "3000");
        EditorFixture f;
        QCOMPARE(f.window()->frameGeometry().left(), platform::twipsToPixelsX(3000));
        QCOMPARE(f.window()->frameGeometry().width(), platform::twipsToPixelsX(6500));
    }

    void minimizedCloseKeepsGeometry()
    {
        writeSetting("Settings", "MainLeft", "2000");
        EditorFixture f;
        f.window()->move(10, 10);
        f.window()->showMinimized();
        QCoreApplication::processEvents();
        f.close();
        QCOMPARE(readSetting("Settings", "MainLeft", 0), QStringLiteral("2000"));
    }

    void maximizedCloseStoresMaximizedGeometry()
    {
        QRect maximized;
        {
            EditorFixture f;
            f.window()->showMaximized();
            QCoreApplication::processEvents();
            maximized = f.window()->frameGeometry();
            f.close();
        }
        QCOMPARE(readSetting("Settings", "MainWidth", 0).toInt(), platform::pixelsToTwipsX(maximized.width()));
        EditorFixture g;
        QCOMPARE(g.window()->frameGeometry(), maximized);
    }

    void commandLineOpensDocument()
    {
        EditorFixture probe;
        const QString path = probe.scratch("start.pl");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("print \"<b>hi</b>\";\n");
        file.close();
        EditorFixture f(path);
        document::DocumentWindow *doc = f.activeDocument();
        QVERIFY(doc);
        QCOMPARE(doc->caption(), path);
        // A document existed when start-up looked, so these stay available.
        QVERIFY(f.item("mnuhtmltags")->isVisible());
        QVERIFY(f.item("mnuedit")->isVisible());
        QVERIFY(f.item("mnuautoinsert")->isEnabled());
        QVERIFY(f.item("mnuhtmlpreview")->isEnabled());
        QVERIFY(!doc->filesize->isVisible());
        QCOMPARE(f.window()->panelText(2), QString());
    }

    void quotedCommandLineIsOnePath()
    {
        EditorFixture f(QStringLiteral("\"/no/such dir/x.pl\""));
        QVERIFY(f.activeDocument());
        QCOMPARE(f.activeDocument()->caption(), QStringLiteral("\"/no/such dir/x.pl\""));
        QCOMPARE(f.activeText()->Text(), QString());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
