// Tip of the day: the window, the tips file's lines, the random draw and
// the "Show Tips at Startup" switch.

#include "support/fixture.h"

#include "frame/mainwindow.h"
#include "help/tipofday.h"
#include "platform/programfolder.h"
#include "platform/settingsstore.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include <deque>

using platform::readSetting;
using platform::writeSetting;

namespace {

void writeTips(const QString &folder, const QByteArray &bytes)
{
    QFile file(folder + QStringLiteral("/tod.qz"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Draws the given numbers in turn.
struct Draws
{
    explicit Draws(std::initializer_list<double> values) : values(values)
    {
        help::setTipRandomSource([this] {
            const double v = this->values.empty() ? 0.0 : this->values.front();
            if (!this->values.empty())
                this->values.pop_front();
            return v;
        });
    }
    ~Draws() { help::setTipRandomSource(nullptr); }
    std::deque<double> values;
};

} // namespace

class TestTipOfDay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void shownAtStartWithTheShippedTips()
    {
        EditorFixture f;
        help::TipWindow *tip = help::tipWindow();
        QVERIFY(tip);
        QCOMPARE(tip->objectName(), QStringLiteral("frmTip"));
        QCOMPARE(tip->windowTitle(), QStringLiteral("Tip of the Day"));
        QVERIFY(tip->isVisible());
        QVERIFY(!tip->parentWidget());
        QVERIFY(tip->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(tip->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(tip->windowFlags() & Qt::WindowMaximizeButtonHint));
        QTRY_VERIFY(tip->isActiveWindow()); // the first thing shown takes the keyboard
        QVERIFY(tip->minimumSize() != tip->maximumSize()); // sizable
        QTRY_COMPARE(tip->frameGeometry(), QRect(300, 200, 375, 250));
        QCOMPARE(tip->Label1->text(), QStringLiteral("Did you know..."));
        QCOMPARE(tip->chkLoadTipsAtStartup->text(), QStringLiteral("&Show Tips at Startup"));
        QCOMPARE(tip->cmdNextTip->text(), QStringLiteral("&Next Tip"));
        QCOMPARE(tip->cmdOK->text(), QStringLiteral("OK"));
        QVERIFY(tip->cmdOK->isDefault());
        QVERIFY(tip->chkLoadTipsAtStartup->isChecked());
        QCOMPARE(readSetting("settings", "Show Tips at Startup", QString()), QStringLiteral("1"));

        // The shipped file: one tip a line, the last one without a break.
        QCOMPARE(tip->tipList().size(), 46);
        for (const QString &t : tip->tipList()) {
            QVERIFY2(!t.trimmed().isEmpty(), "no empty tips shipped");
            QVERIFY2(t.size() < 300, qPrintable(t));
            QVERIFY(!t.contains(QChar::ReplacementCharacter));
        }
        QVERIFY(tip->tipList().contains(tip->lblTipText->text()));
        QVERIFY(tip->lblTipText->wordWrap());
        QCOMPARE(tip->lblTipText->textFormat(), Qt::PlainText);

        // The window goes with the main window.
        f.close();
        QTRY_VERIFY(!help::tipWindow());
    }

    void threeLinesWithAnEmptyOne()
    {
        EditorFixture f;
        writeTips(f.programFolder(), "First tip <b>bold?</b>\n\nThird tip");
        Draws draws{0.0, 0.5, 0.999, 0.34};
        help::showTipOfTheDay(f.window());
        help::TipWindow *tip = help::tipWindow();
        QVERIFY(tip);
        QCOMPARE(tip->tipList(), (QStringList{"First tip <b>bold?</b>", "", "Third tip"}));
        QCOMPARE(tip->tipNumber(), 1);
        QCOMPARE(tip->lblTipText->text(), QStringLiteral("First tip <b>bold?</b>"));
        tip->cmdNextTip->click();
        QCOMPARE(tip->tipNumber(), 2);
        QCOMPARE(tip->lblTipText->text(), QString());
        tip->cmdNextTip->click();
        QCOMPARE(tip->tipNumber(), 3);
        QCOMPARE(tip->lblTipText->text(), QStringLiteral("Third tip"));
        tip->cmdNextTip->click();
        QCOMPARE(tip->tipNumber(), 2);
    }

    void everyTipComesUpRepeatsIncluded()
    {
        EditorFixture f;
        writeTips(f.programFolder(), "one\r\ntwo\r\nthree\r\n");
        help::showTipOfTheDay(f.window());
        help::TipWindow *tip = help::tipWindow();
        QCOMPARE(tip->tipList(), (QStringList{"one", "two", "three"}));
        QSet<QString> seen;
        bool repeated = false;
        QString last = tip->lblTipText->text();
        for (int i = 0; i < 200; ++i) {
            tip->cmdNextTip->click();
            repeated = repeated || tip->lblTipText->text() == last;
            last = tip->lblTipText->text();
            seen.insert(last);
        }
        QCOMPARE(seen.size(), 3);
        QVERIFY(repeated);
    }

    void missingEmptyAndOldStyleFiles()
    {
        help::TipWindow tip;
        QVERIFY(!tip.LoadTips(QString()));
        QVERIFY(!tip.LoadTips(QStringLiteral("/no/such/tod.qz")));
        QCOMPARE(tip.lblTipText->text(), QString());
        tip.ShowRandomTip();
        QCOMPARE(tip.lblTipText->text(), QString());

        EditorFixture f;
        writeTips(f.programFolder(), "");
        help::TipWindow empty;
        QVERIFY(empty.LoadTips(platform::programFile("\\tod.qz")));
        QCOMPARE(empty.tipList(), QStringList());
        empty.cmdNextTip->click();
        QCOMPARE(empty.lblTipText->text(), QString());

        // A file written in Windows-1252.
        writeTips(f.programFolder(), "Caf\xe9 tip\n");
        help::TipWindow old;
        QVERIFY(old.LoadTips(platform::programFile("\\tod.qz")));
        QCOMPARE(old.tipList(), QStringList{QStringLiteral("Café tip")});
        QCOMPARE(old.lblTipText->text(), QStringLiteral("Café tip"));
    }

    void switchedOffAndReset()
    {
        {
            EditorFixture f;
            help::TipWindow *tip = help::tipWindow();
            QVERIFY(tip);
            tip->chkLoadTipsAtStartup->click();
            QCOMPARE(readSetting("settings", "Show Tips at Startup", QString()), QStringLiteral("0"));
            QTest::keyClick(tip, Qt::Key_Escape);
            QTRY_VERIFY(!help::tipWindow());
        }
        {
            EditorFixture f;
            QVERIFY(!help::tipWindow());
            for (QWidget *w : QApplication::topLevelWidgets())
                QVERIFY(w->objectName() != QLatin1String("frmTip") || !w->isVisible());
            QVERIFY(f.trigger("mnushowtip"));
            QCOMPARE(readSetting("settings", "Show Tips at Startup", QString()), QStringLiteral("1"));
            QVERIFY(!help::tipWindow()); // not now: at the next start
            QVERIFY(!f.quickItem("mnushowtip"));
        }
        EditorFixture f;
        QVERIFY(help::tipWindow());
        QVERIFY(help::tipWindow()->chkLoadTipsAtStartup->isChecked());
        help::tipWindow()->cmdOK->click();
        QTRY_VERIFY(!help::tipWindow());
    }

    void settingRewrittenOnEveryShow()
    {
        // Any non-zero number shows the tips; what isn't a number counts
        // as the default.
        for (const char *value : {"7", "-1", "yes", ""}) {
            writeSetting("settings", "Show Tips at Startup", QLatin1String(value));
            EditorFixture f;
            QVERIFY2(help::tipWindow(), value);
            QCOMPARE(readSetting("settings", "Show Tips at Startup", QString()), QStringLiteral("1"));
        }
    }
};

QTEST_MAIN(TestTipOfDay)
#include "tst_tipofday.moc"
