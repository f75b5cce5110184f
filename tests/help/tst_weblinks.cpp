// Web links: the exact targets of the Help menu and the command lines of
// their Quick Link copies.

#include "support/fixture.h"

#include <QTest>

namespace {
const QString kSite = QStringLiteral("http://www.quillet.example.com");
}

class TestWebLinks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }

    void mainMenuOpensTargets()
    {
        EditorFixture f;
        const QList<QPair<const char *, QString>> links = {
            {"mnuViewWebBrowser", kSite},
            {"mnuemailus", QStringLiteral("mailto:comments@quillet.example.com?subject=Quillet(LT)")},
            {"mnuupdthlp", kSite + QStringLiteral("/downloads/ravozariz/quillet/qzupdate.cgi?qzhlp")},
            {"mnulistupdate", kSite + QStringLiteral("/downloads/ravozariz/quillet/qzupdate.cgi?qzsplist")},
            {"mnuupdatetip", kSite + QStringLiteral("/downloads/ravozariz/quillet/qzupdate.cgi?qztipfile")},
            {"mnuqzupgrade", kSite + QStringLiteral("/downloads/ravozariz/quillet/qzupdate.cgi?lqzv104")},
        };
        for (const auto &link : links) {
            f.starts.opened.clear();
            QVERIFY(f.trigger(QLatin1String(link.first)));
            QCOMPARE(f.starts.opened, QStringList{link.second});
        }
        QCOMPARE(f.starts.starts.size(), 0);
        // A failure says nothing.
        f.starts.succeed = false;
        QVERIFY(f.trigger("mnuViewWebBrowser"));
        QCOMPARE(f.ui.messages.size(), 0);
    }

    void quickLinkCopiesStartHidden()
    {
        EditorFixture f;
        const QList<QPair<const char *, QString>> links = {
            {"mnuViewWebBrowser", QStringLiteral("start ") + kSite},
            {"mnuemailus", QStringLiteral("start mailto:support@quillet.example.com?subject=Quillet(LT)")},
            {"mnuupdthlp", QStringLiteral("start ") + kSite + QStringLiteral("/software/quillet/qzupdate.cgi?qzhlp")},
            {"mnulistupdate", QStringLiteral("start ") + kSite + QStringLiteral("/software/quillet/qzupdate.cgi?qzsplist")},
            {"mnuqzupgrade", QStringLiteral("start ") + kSite + QStringLiteral("/software/quillet/qzupdate.cgi?lqzv104")},
        };
        for (const auto &link : links) {
            f.starts.starts.clear();
            QVERIFY(f.triggerQuick(QLatin1String(link.first)));
            QCOMPARE(f.starts.starts.size(), 1);
            QCOMPARE(f.starts.starts[0].commandLine, link.second);
            QCOMPARE(f.starts.starts[0].windowStyle, 0);
        }
        QCOMPARE(f.starts.opened, QStringList());
        QVERIFY(!f.quickItem("mnuupdatetip"));
    }
};

QTEST_MAIN(TestWebLinks)
#include "tst_weblinks.moc"
