// Program launchers: the command lines and window styles of Run Command,
// Telnet and Notepad in both menus, how a command line becomes a Linux
// program start, and the program picker.

#include "support/fixture.h"

#include "frame/mainwindow.h"
#include "platform/programstart.h"
#include "platform/twips.h"
#include "tools/launchers.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using platform::LaunchPlan;
using platform::planLaunch;

namespace {

// Runs with PATH pointing at one folder of fake programs.
class FakePath
{
public:
    explicit FakePath(const QStringList &programs) : m_old(qgetenv("PATH"))
    {
        for (const QString &p : programs)
            makeExecutable(m_dir.filePath(p));
        qputenv("PATH", QFile::encodeName(m_dir.path()));
    }
    ~FakePath() { qputenv("PATH", m_old); }
    QString path(const QString &program) const { return m_dir.filePath(program); }

private:
    QTemporaryDir m_dir;
    QByteArray m_old;
};

} // namespace

class TestLaunchers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }

    void runCommandStartsAnswerBehindStart()
    {
        EditorFixture f;
        f.ui.input(QStringLiteral("firefox http://example.org/a b"));
        QVERIFY(f.trigger("mnruncom"));
        QCOMPARE(f.ui.inputPrompts, QList<QString>{QStringLiteral("Command Line:")});
        QCOMPARE(f.starts.starts.size(), 1);
        QCOMPARE(f.starts.starts[0].commandLine, QStringLiteral("START firefox http://example.org/a b"));
        QCOMPARE(f.starts.starts[0].windowStyle, 1);

        // Cancel and an empty answer both start the bare "START ".
        f.ui.input(std::nullopt);
        f.ui.input(QString());
        QVERIFY(f.trigger("mnruncom"));
        QVERIFY(f.triggerQuick("mnruncom"));
        QCOMPARE(f.starts.starts.size(), 3);
        for (int i = 1; i < 3; ++i) {
            QCOMPARE(f.starts.starts[i].commandLine, QStringLiteral("START "));
            QCOMPARE(f.starts.starts[i].windowStyle, 1);
        }
        QCOMPARE(f.starts.opened, QStringList());
        QCOMPARE(f.ui.unexpected, 0);
    }

    void telnetAndNotepad()
    {
        EditorFixture f;
        QVERIFY(f.trigger("telstart"));
        QVERIFY(f.trigger("mnuopennotepad"));
        QVERIFY(f.triggerQuick("mnuopennotepad"));
        QCOMPARE(f.starts.starts.size(), 3);
        QCOMPARE(f.starts.starts[0].commandLine, QStringLiteral("Telnet.exe"));
        QCOMPARE(f.starts.starts[1].commandLine, QStringLiteral("NotePad.exe"));
        QCOMPARE(f.starts.starts[2].commandLine, QStringLiteral("NotePad.exe"));
        for (const auto &s : f.starts.starts)
            QCOMPARE(s.windowStyle, 1);
        // Neither the picker nor Telnet has a Quick Link copy.
        QVERIFY(!f.quickItem("telstart"));
        QVERIFY(!f.quickItem("programst"));
        // A failing start reports nothing.
        f.starts.succeed = false;
        QVERIFY(f.trigger("telstart"));
        QCOMPARE(f.ui.messages.size(), 0);
    }

    void planStartCommand()
    {
        FakePath fake({QStringLiteral("myprog")});
        LaunchPlan p = planLaunch(QStringLiteral("START myprog one \"two three\""));
        QCOMPARE(p.kind, LaunchPlan::Run);
        QCOMPARE(p.program, QStringLiteral("myprog"));
        QCOMPARE(p.arguments, (QStringList{QStringLiteral("one"), QStringLiteral("two three")}));

        // Addresses and documents go to the desktop's opener, unchanged;
        // the web links' lower-case "start" is the same command.
        p = planLaunch(QStringLiteral("start http://www.quillet.example.com/software/quillet/qzupdate.cgi?qzhlp"));
        QCOMPARE(p.kind, LaunchPlan::Open);
        QCOMPARE(p.target, QStringLiteral("http://www.quillet.example.com/software/quillet/qzupdate.cgi?qzhlp"));
        p = planLaunch(QStringLiteral("start mailto:support@quillet.example.com?subject=Quillet(LT)"));
        QCOMPARE(p.kind, LaunchPlan::Open);
        QCOMPARE(p.target, QStringLiteral("mailto:support@quillet.example.com?subject=Quillet(LT)"));
        p = planLaunch(QStringLiteral("START /no/such dir/My Notes.txt"));
        QCOMPARE(p.kind, LaunchPlan::Open);
        QCOMPARE(p.target, QStringLiteral("/no/such dir/My Notes.txt"));

        QCOMPARE(planLaunch(QStringLiteral("START ")).kind, LaunchPlan::Nothing);
        QCOMPARE(planLaunch(QStringLiteral("START")).kind, LaunchPlan::Nothing);
        QCOMPARE(planLaunch(QString()).kind, LaunchPlan::Nothing);
    }

    void planTelnetAndNotepad()
    {
        {
            FakePath fake({QStringLiteral("xterm"), QStringLiteral("telnet"), QStringLiteral("gedit")});
            LaunchPlan p = planLaunch(QStringLiteral("Telnet.exe"));
            QCOMPARE(p.kind, LaunchPlan::Run);
            QCOMPARE(p.program, fake.path(QStringLiteral("xterm")));
            QCOMPARE(p.arguments, (QStringList{QStringLiteral("-e"), QStringLiteral("telnet")}));

            p = planLaunch(QStringLiteral("NotePad.exe"));
            QCOMPARE(p.kind, LaunchPlan::Run);
            QCOMPARE(p.program, fake.path(QStringLiteral("gedit")));
            QCOMPARE(p.arguments, QStringList());

            // Typed behind START, the Windows names map the same way.
            p = planLaunch(QStringLiteral("START notepad readme.txt"));
            QCOMPARE(p.kind, LaunchPlan::Run);
            QCOMPARE(p.program, fake.path(QStringLiteral("gedit")));
            QCOMPARE(p.arguments, QStringList{QStringLiteral("readme.txt")});
        }
        {
            // Without telnet a terminal would only flash: nothing starts.
            FakePath fake({QStringLiteral("xterm")});
            QCOMPARE(planLaunch(QStringLiteral("Telnet.exe")).kind, LaunchPlan::Nothing);
            QCOMPARE(planLaunch(QStringLiteral("NotePad.exe")).kind, LaunchPlan::Nothing);
        }
    }

    void planPickerCommandLines()
    {
        // The picker's folder + "/" + name, unquoted, blanks and all.
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("my apps")));
        const QString prog = dir.path() + QStringLiteral("/my apps/run me");
        makeExecutable(prog);
        LaunchPlan p = planLaunch(prog);
        QCOMPARE(p.kind, LaunchPlan::Run);
        QCOMPARE(p.program, prog);
        QCOMPARE(p.arguments, QStringList());

        // A doubled separator (a program at the root) still names it.
        p = planLaunch(QLatin1Char('/') + prog + QStringLiteral(" --flag"));
        QCOMPARE(p.kind, LaunchPlan::Run);
        QCOMPARE(p.program, QLatin1Char('/') + prog);
        QCOMPARE(p.arguments, QStringList{QStringLiteral("--flag")});
    }

    void pickerWindow()
    {
        EditorFixture f;
        QVERIFY(f.trigger("programst"));
        tools::DeskLink *desk = tools::openDeskLink();
        QVERIFY(desk);
        QCOMPARE(desk->objectName(), QStringLiteral("desklink"));
        QCOMPARE(desk->windowTitle(), QStringLiteral("Find And Start Program"));
        QVERIFY(desk->isVisible());
        QVERIFY(desk->isWindow());
        QVERIFY(!desk->isModal());
        QCOMPARE(desk->parentWidget(), static_cast<QWidget *>(f.window()));
        QCOMPARE(desk->windowType(), Qt::Dialog);
        QCOMPARE(desk->size(), platform::formRect(desk, 0, 0, 5805, 3195).size());
        QCOMPARE(desk->minimumSize(), desk->maximumSize());
        const QPoint offset = desk->frameGeometry().center() - f.window()->frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 4, "centred over the main window");
        QCOMPARE(desk->findChild<QLabel *>("Label1")->text(), QStringLiteral("Click File Name You Want To Run"));
        QCOMPARE(desk->Label2->text(), QStringLiteral("Close Me"));
        QVERIFY(desk->Label2->focusPolicy() & Qt::TabFocus);

        // The drive list: mounted volumes by their root paths, "/" first.
        QVERIFY(desk->Drive1->count() >= 1);
        QCOMPARE(desk->Drive1->itemText(0), QStringLiteral("/"));
        QCOMPARE(desk->Dir1->path(), QDir::cleanPath(QDir::currentPath()));

        // Picking it again brings the same window forward.
        QVERIFY(f.trigger("programst"));
        QCOMPARE(tools::openDeskLink(), desk);
        QCOMPARE(f.window()->findChildren<tools::DeskLink *>().size(), 1);

        // "Close Me" closes (and unloads) it.
        QTest::mouseClick(desk->Label2, Qt::LeftButton);
        QTRY_VERIFY(!tools::openDeskLink());
        QVERIFY(f.trigger("programst"));
        QVERIFY(tools::openDeskLink());
    }

    void pickerListsProgramsAndStartsThemMinimized()
    {
        EditorFixture f;
        QTemporaryDir dir;
        makeExecutable(dir.filePath(QStringLiteral("build.sh")));
        makeExecutable(dir.filePath(QStringLiteral("another tool")));
        QFile plain(dir.filePath(QStringLiteral("notes.txt")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("sub")));
        makeExecutable(dir.filePath(QStringLiteral("sub/inner")));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("sub")), dir.filePath(QStringLiteral("folderlink"))));

        QVERIFY(f.trigger("programst"));
        tools::DeskLink *desk = tools::openDeskLink();
        QVERIFY(desk);
        desk->Dir1->setPath(dir.path());
        Q_EMIT desk->Dir1->Change();
        QCOMPARE(desk->File1->path(), dir.path());
        QStringList listed;
        for (int i = 0; i < desk->File1->count(); ++i)
            listed << desk->File1->item(i)->text();
        // Folders (and links to them) and plain files are not programs.
        QCOMPARE(listed, (QStringList{QStringLiteral("another tool"), QStringLiteral("build.sh")}));

        // A click starts folder + "/" + name minimized; the picker stays.
        QListWidgetItem *item = desk->File1->item(1);
        QTest::mouseClick(desk->File1->viewport(), Qt::LeftButton, {},
                          desk->File1->visualItemRect(item).center());
        QCOMPARE(f.starts.starts.size(), 1);
        QCOMPARE(f.starts.starts[0].commandLine, dir.path() + QStringLiteral("/build.sh"));
        QCOMPARE(f.starts.starts[0].windowStyle, 2);
        QVERIFY(desk->isVisible());
        // Enter on the current file starts it as well.
        desk->File1->setCurrentRow(0);
        QTest::keyClick(desk->File1, Qt::Key_Return);
        QCOMPARE(f.starts.starts.size(), 2);
        QCOMPARE(f.starts.starts[1].commandLine, dir.path() + QStringLiteral("/another tool"));

        // The folder list opens a subfolder on activation.
        QListWidgetItem *sub = nullptr;
        for (int i = 0; i < desk->Dir1->count(); ++i) {
            if (desk->Dir1->item(i)->text() == QLatin1String("sub"))
                sub = desk->Dir1->item(i);
        }
        QVERIFY(sub);
        Q_EMIT desk->Dir1->itemActivated(sub);
        QCOMPARE(desk->Dir1->path(), dir.path() + QStringLiteral("/sub"));
        QCOMPARE(desk->File1->count(), 1);
        QCOMPARE(desk->File1->item(0)->text(), QStringLiteral("inner"));
        // The way back up is listed too, ending at the root.
        QCOMPARE(desk->Dir1->item(0)->text(), QStringLiteral("/"));

        // At the root the separator doubles, as it always did.
        desk->Dir1->setPath(QStringLiteral("/"));
        Q_EMIT desk->File1->Click(QStringLiteral("prog"));
        QCOMPARE(f.starts.starts.last().commandLine, QStringLiteral("//prog"));
        QCOMPARE(f.starts.starts.last().windowStyle, 2);

        // A folder that can't be read leaves the lists as they were.
        desk->Dir1->setPath(dir.path());
        desk->File1->setPath(dir.path());
        desk->Drive1->addItem(QStringLiteral("/no/such/volume"));
        desk->Drive1->setCurrentIndex(desk->Drive1->count() - 1);
        Q_EMIT desk->Drive1->activated(desk->Drive1->count() - 1);
        QCOMPARE(desk->Dir1->path(), dir.path());
        QCOMPARE(desk->File1->count(), 2);
    }
};

QTEST_MAIN(TestLaunchers)
#include "tst_launchers.moc"
