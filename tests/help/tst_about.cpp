// The about box: its content, its owner in each menu, and finding and
// starting the system-information tool.

#include "support/fixture.h"

#include "editing/findform.h"
#include "frame/mainwindow.h"
#include "help/about.h"

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void cleanup() { help::setAboutRunner(nullptr); }

    void aboutBoxContent()
    {
        EditorFixture f;
        int runs = 0;
        help::setAboutRunner([&](QDialog &dialog) {
            ++runs;
            auto &box = static_cast<help::AboutBox &>(dialog);
            [&] {
                QCOMPARE(box.objectName(), QStringLiteral("frmAbout"));
                QCOMPARE(box.windowTitle(), QStringLiteral("About Quillet (LT)"));
                QVERIFY(box.isModal());
                QCOMPARE(box.parentWidget(), static_cast<QWidget *>(f.window()));
                QCOMPARE(box.minimumSize(), box.maximumSize());
                QVERIFY(!(box.windowFlags() & Qt::WindowMinimizeButtonHint));
                QVERIFY(!(box.windowFlags() & Qt::WindowMaximizeButtonHint));
                QCOMPARE(box.lblTitle->text(), QStringLiteral("Quillet Lite"));
                QCOMPARE(box.lblVersion->text(), QStringLiteral("Version 1.0.5"));
                QCOMPARE(box.lblDescription->text(),
                         QStringLiteral("Quillet (Lite):\nIs to make it easier to edit and view perl and cgi scripts"));
                QVERIFY(!box.Label1->text().isEmpty());
                QVERIFY(!box.lblDisclaimer->text().isEmpty());
                QVERIFY(box.findChild<QLabel *>("picIcon"));
                const QList<QFrame *> rules = box.findChildren<QFrame *>("Line1");
                QCOMPARE(rules.size(), 2);
                QCOMPARE(box.Line1[0]->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0x80));
                QCOMPARE(box.Line1[1]->palette().color(QPalette::WindowText), QColor(Qt::white));
                QVERIFY(box.cmdOK->isDefault());
                QCOMPARE(box.cmdSysInfo->text(), QStringLiteral("&System Info..."));
                box.show();
                const QPoint offset = box.frameGeometry().center() - f.window()->frameGeometry().center();
                QVERIFY2(offset.manhattanLength() <= 4, "centred over the main window");
                // Escape and OK both close it.
                QTest::keyClick(&box, Qt::Key_Escape);
                QVERIFY(!box.isVisible());
                box.show();
                box.cmdOK->click();
                QVERIFY(!box.isVisible());
                QCOMPARE(box.result(), int(QDialog::Accepted));
            }();
            return box.result();
        });
        QVERIFY(f.trigger("mnuHelpAbout"));
        QCOMPARE(runs, 1);
        QCOMPARE(help::versionText(), QStringLiteral("Version 1.0.5"));
    }

    void quickLinkCopyBelongsToTheFindFormCentredOverMainWindow()
    {
        EditorFixture f;
        f.window()->move(300, 200);
        QWidget *owner = nullptr;
        QPoint offset;
        help::setAboutRunner([&](QDialog &dialog) {
            owner = dialog.parentWidget();
            dialog.show();
            offset = dialog.frameGeometry().center() - f.window()->frameGeometry().center();
            return 0;
        });
        QVERIFY(f.triggerQuick("mnuHelpAbout"));
        QVERIFY(owner);
        QCOMPARE(owner, static_cast<QWidget *>(f.window()->frmlink()));
        // The Find form is hidden: the box is centred over the main window.
        QVERIFY(!owner->isVisible());
        QVERIFY2(offset.manhattanLength() <= 4, qPrintable(QStringLiteral("off by %1, %2").arg(offset.x()).arg(offset.y())));
    }

    void findingTheTool()
    {
        QTemporaryDir a, b;
        makeExecutable(a.filePath(QStringLiteral("gnome-system-monitor")));
        makeExecutable(b.filePath(QStringLiteral("hardinfo")));
        QFile notExecutable(b.filePath(QStringLiteral("kinfocenter")));
        QVERIFY(notExecutable.open(QIODevice::WriteOnly));
        notExecutable.close();
        // The better tool wins wherever it is on the path.
        QCOMPARE(help::sysInfoToolPath(a.path() + QLatin1Char(':') + b.path()),
                 b.filePath(QStringLiteral("hardinfo")));
        QCOMPARE(help::sysInfoToolPath(a.path()), a.filePath(QStringLiteral("gnome-system-monitor")));
        QCOMPARE(help::sysInfoToolPath(QTemporaryDir().path()), QString());
        QCOMPARE(help::sysInfoToolPath(QString()), QString());
    }

    void systemInfoButton()
    {
        EditorFixture f;
        QTemporaryDir tools;
        makeExecutable(tools.filePath(QStringLiteral("hardinfo")));
        help::setAboutRunner([&](QDialog &dialog) {
            static_cast<help::AboutBox &>(dialog).cmdSysInfo->click();
            return 0;
        });
        {
            PathOverride path(tools.path());
            QVERIFY(f.trigger("mnuHelpAbout"));
            QCOMPARE(f.starts.starts.size(), 1);
            QCOMPARE(f.starts.starts[0].commandLine, tools.filePath(QStringLiteral("hardinfo")));
            QCOMPARE(f.starts.starts[0].windowStyle, 1);
            QCOMPARE(f.ui.messages.size(), 0);

            // Found but not started: the message.
            f.starts.succeed = false;
            QVERIFY(f.trigger("mnuHelpAbout"));
            QCOMPARE(f.ui.messages.size(), 1);
            QCOMPARE(f.ui.messages[0].text, kUnavailable);
            f.starts.succeed = true;
        }
        {
            // Nothing on the path: the message, and nothing started.
            QTemporaryDir empty;
            PathOverride path(empty.path());
            f.starts.starts.clear();
            f.ui.messages.clear();
            QVERIFY(f.trigger("mnuHelpAbout"));
            QCOMPARE(f.starts.starts.size(), 0);
            QCOMPARE(f.ui.messages.size(), 1);
            QCOMPARE(f.ui.messages[0].text, kUnavailable);
            QCOMPARE(f.ui.messages[0].title, QStringLiteral("Quillet Lite"));
            QCOMPARE(f.ui.messages[0].buttons, platform::Buttons::OK);
            QCOMPARE(f.ui.messages[0].icon, platform::Icon::None);
        }
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
