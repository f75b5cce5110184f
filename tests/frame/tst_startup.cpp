// Start-up and shut-down of the main window: defaults of an empty store,
// the check marks of both menus, geometry kept in twips as outer geometry
// (with a scripted window frame, and once under a real window manager).

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "editing/findform.h"
#include "frame/application.h"
#include "frame/mainwindow.h"
#include "frame/statusbar.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/twips.h"
#include "platform/windowframe.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QToolBar>

using platform::readSetting;
using platform::writeSetting;

namespace {

// A window manager's frame, told once the window is shown: 5 pixels at the
// sides and bottom, a 25-pixel title bar.
class ScriptedFrames : public platform::WindowFrames
{
public:
    ScriptedFrames() { platform::setWindowFrames(this); }
    ~ScriptedFrames() override { platform::setWindowFrames(nullptr); }
    std::optional<QMargins> margins(const QWidget *window) override
    {
        if (!window->isVisible())
            return std::nullopt;
        return QMargins(5, 25, 5, 5);
    }
};

void storeGeometry(const QString &left, const QString &top, const QString &width, const QString &height)
{
    writeSetting("Settings", "MainLeft", left);
    writeSetting("Settings", "MainTop", top);
    writeSetting("Settings", "MainWidth", width);
    writeSetting("Settings", "MainHeight", height);
}

QStringList storedGeometry()
{
    QStringList values;
    for (const char *key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
        values << readSetting("Settings", QString::fromLatin1(key), QString());
    return values;
}

} // namespace

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
        QStringList stored;
        {
            EditorFixture f;
            f.window()->showMaximized();
            QCoreApplication::processEvents();
            maximized = f.window()->frameGeometry();
            f.close();
            stored = storedGeometry();
        }
        QCOMPARE(readSetting("Settings", "MainWidth", 0).toInt(), platform::pixelsToTwipsX(maximized.width()));
        EditorFixture g;
        QVERIFY(g.window()->isMaximized());
        QCOMPARE(g.window()->frameGeometry(), maximized);
        g.close();
        QCOMPARE(storedGeometry(), stored);
    }

    void outerGeometryRoundTripsThroughTheFrame()
    {
        ScriptedFrames frames;
        for (const QStringList &values : {QStringList{"1000", "1000", "6500", "6500"},
                                          QStringList{"1510", "1205", "9013", "7007"}}) {
            storeGeometry(values.at(0), values.at(1), values.at(2), values.at(3));
            for (int run = 0; run < 2; ++run) {
                EditorFixture f;
                const QRect outer(platform::twipsToPixelsX(values.at(0).toInt()),
                                  platform::twipsToPixelsY(values.at(1).toInt()),
                                  platform::twipsToPixelsX(values.at(2).toInt()),
                                  platform::twipsToPixelsY(values.at(3).toInt()));
                QCOMPARE(f.window()->geometry(), outer.marginsRemoved(QMargins(5, 25, 5, 5)));
                f.close();
                QCOMPARE(storedGeometry(), values);
            }
        }
    }

    void geometryOffScreenOrAbsurdComesOnScreen()
    {
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        storeGeometry("1000", "-99999999", "6500", "6500");
        {
            EditorFixture f;
            QVERIFY(avail.contains(f.window()->frameGeometry()));
            QCOMPARE(f.window()->frameGeometry().size(),
                     QSize(platform::twipsToPixelsX(6500), platform::twipsToPixelsY(6500)));
        }
        storeGeometry("99999999", "1000", "2147483647", "2147483647");
        EditorFixture g;
        QVERIFY(avail.contains(g.window()->frameGeometry()));
    }

    // Under Xvfb with openbox: the titles the window manager shows, and
    // geometry that comes back as it was stored, frame included.
    void underARealWindowManager()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (xvfb.isEmpty() || openbox.isEmpty() || QStandardPaths::findExecutable("xprop").isEmpty())
            QSKIP("needs Xvfb, openbox and xprop");
        QProcess server;
        server.start(xvfb, {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        QVERIFY(server.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine(), 15000);
        const QString display = QLatin1Char(':') + QString::fromLatin1(server.readLine()).trimmed();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        QProcess wm;
        wm.setProcessEnvironment(env);
        wm.start(openbox, {"--sm-disable"});
        QVERIFY(wm.waitForStarted());
        // The window manager manages only windows mapped after it has
        // claimed the screen.
        const auto wmReady = [&env] {
            QProcess xprop;
            xprop.setProcessEnvironment(env);
            xprop.start("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"});
            xprop.waitForFinished();
            return xprop.readAll().contains("window id");
        };
        if (!QTest::qWaitFor(wmReady, 10000))
            QSKIP("the window manager did not start");
        QProcess run;
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("QUILLET_UNDER_WM", "1");
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(QCoreApplication::applicationFilePath(), {"runUnderWindowManager"});
        const bool finished = run.waitForFinished(120000);
        const QByteArray output = run.readAll();
        wm.terminate();
        wm.waitForFinished();
        server.terminate();
        server.waitForFinished();
        QVERIFY2(finished && run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, output.constData());
        QVERIFY2(!output.contains("SKIP"), output.constData());
    }

    void runUnderWindowManager()
    {
        if (qEnvironmentVariableIsEmpty("QUILLET_UNDER_WM"))
            QSKIP("run by underARealWindowManager");
        app::nameApplication();
        writeSetting("settings", "Show Tips at Startup", "0");
        const auto frameKnown = [](QWidget *w) { return platform::windowFrames().margins(w).has_value(); };
        const auto wmName = [](QWidget *w) {
            QProcess xprop;
            xprop.start("xprop", {"-id", QString::number(w->winId()), "_NET_WM_NAME", "WM_NAME"});
            xprop.waitForFinished();
            return QString::fromUtf8(xprop.readAll());
        };
        const QStringList values{"1510", "1205", "9013", "7007"};
        storeGeometry(values.at(0), values.at(1), values.at(2), values.at(3));
        for (int run = 0; run < 2; ++run) {
            EditorFixture f;
            QTRY_VERIFY_WITH_TIMEOUT(frameKnown(f.window()), 10000);
            QTRY_COMPARE(f.window()->frameGeometry().topLeft(),
                         QPoint(platform::twipsToPixelsX(1510), platform::twipsToPixelsY(1205)));
            QTRY_COMPARE(f.window()->frameGeometry().size(),
                         QSize(platform::twipsToPixelsX(9013), platform::twipsToPixelsY(7007)));
            if (run == 0) {
                QCOMPARE(wmName(f.window()), QStringLiteral("_NET_WM_NAME(UTF8_STRING) = \"Quillet (LT) v1.05\"\n"
                                                            "WM_NAME(STRING) = \"Quillet (LT) v1.05\"\n"));
                f.newDocument(QStringLiteral("find me"));
                QVERIFY(f.trigger("menufind"));
                QWidget *find = f.window()->loadedFrmlink();
                QTRY_VERIFY(find->isVisible());
                QCOMPARE(wmName(find), QStringLiteral("_NET_WM_NAME(UTF8_STRING) = \"Find\"\n"
                                                      "WM_NAME(STRING) = \"Find\"\n"));
            }
            f.close();
            QCOMPARE(storedGeometry(), values);
        }
        QStringList maximized;
        {
            EditorFixture f;
            QTRY_VERIFY_WITH_TIMEOUT(frameKnown(f.window()), 10000);
            f.window()->showMaximized();
            QTRY_VERIFY(f.window()->isMaximized());
            QTest::qWait(500);
            f.close();
            maximized = storedGeometry();
        }
        EditorFixture g;
        QTRY_VERIFY(g.window()->isMaximized());
        QTRY_VERIFY_WITH_TIMEOUT(frameKnown(g.window()), 10000);
        const QRect avail = g.window()->screen()->availableGeometry();
        QTRY_VERIFY(g.window()->frameGeometry().contains(avail));
        g.close();
        QCOMPARE(storedGeometry(), maximized);
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
