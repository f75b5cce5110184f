// The per-user settings store: case-blind names that keep their first
// spelling, defaults, a damaged file, and two writers at once.

#include "support/fixture.h"

#include "platform/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QtConcurrent/QtConcurrent>

#include <thread>
#include <vector>

using platform::SettingsStore;

class TestSettingsStore : public QObject
{
    Q_OBJECT

    QByteArray fileBytes()
    {
        QFile f(SettingsStore::filePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void absentKeysGiveTheDefault()
    {
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "setto", "on"), QStringLiteral("on"));
        QCOMPARE(SettingsStore::Read("Quillet Lite", "Settings", "MainLeft", 1000), QStringLiteral("1000"));
        QVERIFY(!QFileInfo::exists(SettingsStore::filePath())); // reading writes nothing
    }

    void namesMatchWithoutCaseAndKeepFirstSpelling()
    {
        SettingsStore::Write("Quillet Lite", "Settings", "MainLeft", "1234");
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "mainleft", "0"), QStringLiteral("1234"));
        QCOMPARE(SettingsStore::Read("QUILLET LITE", "SETTINGS", "MAINLEFT", "0"), QStringLiteral("1234"));
        // "settings" and "Settings" are one section.
        SettingsStore::Write("Quillet Lite", "settings", "setto", "off");
        SettingsStore::Write("Quillet Lite", "settings", "MAINLEFT", "99");
        const QByteArray text = fileBytes();
        QCOMPARE(text.count("[Quillet Lite\\"), 1);
        QVERIFY(text.contains("[Quillet Lite\\Settings]"));
        QVERIFY(text.contains("MainLeft=99"));
        QVERIFY(!text.contains("MAINLEFT"));
        QCOMPARE(SettingsStore::Read("Quillet Lite", "Settings", "setto", "on"), QStringLiteral("off"));
    }

    void anyStringSurvives()
    {
        const QString odd = QStringLiteral("Check &Spelling = [x]\nline\\two\r=");
        SettingsStore::Write("Quillet Lite", "settings", "Show Tips at Startup", odd);
        SettingsStore::Write("Quillet Lite", "settings", "a=b[c", "v");
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "show tips at startup", ""), odd);
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "A=B[C", ""), QStringLiteral("v"));
    }

    void readsSeeOtherWritersAtOnce()
    {
        SettingsStore::Write("Quillet Lite", "settings", "ql", "on");
        // Another editor rewrites the file behind our back.
        QFile f(SettingsStore::filePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Quillet Lite\\settings]\nql=off\n");
        f.close();
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "ql", "on"), QStringLiteral("off"));
    }

    void damagedFileReadsAsEmpty_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe[\x01\x02=\x03\n\xc3", 9);
        QTest::newRow("no section") << QByteArray("setto=off\n");
        QTest::newRow("unterminated") << QByteArray("[Quillet Lite\\settings\nsetto=off");
        QTest::newRow("huge line") << QByteArray(1 << 20, 'x');
    }
    void damagedFileReadsAsEmpty()
    {
        QFETCH(QByteArray, content);
        QDir().mkpath(QFileInfo(SettingsStore::filePath()).absolutePath());
        QFile f(SettingsStore::filePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "setto", "on"), QStringLiteral("on"));
        // Writing over a damaged file works and keeps the new value.
        SettingsStore::Write("Quillet Lite", "settings", "setto", "off");
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "setto", "on"), QStringLiteral("off"));
    }

    void unreadableFileReadsAsEmpty()
    {
        QDir().mkpath(SettingsStore::filePath()); // a folder where the file should be
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "setto", "on"), QStringLiteral("on"));
        SettingsStore::Write("Quillet Lite", "settings", "setto", "off"); // must not crash
        QDir(SettingsStore::filePath()).removeRecursively();
    }

    void concurrentWritersKeepEachOthersKeys()
    {
        // Two writers in other processes, each writing its own keys.
        const int perWriter = 40;
        auto writer = [&](const QString &prefix) {
            for (int i = 0; i < perWriter; ++i)
                SettingsStore::Write("Quillet Lite", "settings", prefix + QString::number(i), QString::number(i));
        };
        std::thread a(writer, QStringLiteral("a"));
        std::thread b(writer, QStringLiteral("b"));
        a.join();
        b.join();
        for (int i = 0; i < perWriter; ++i) {
            QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "a" + QString::number(i), "-"), QString::number(i));
            QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "b" + QString::number(i), "-"), QString::number(i));
        }
        // No temporary files left behind.
        const QStringList left = QFileInfo(SettingsStore::filePath()).dir().entryList(QDir::Files);
        QCOMPARE(left, QStringList{QStringLiteral("settings.ini")});
    }

    void numbersFallBackWhenNotNumbers()
    {
        SettingsStore::Write("Quillet Lite", "Settings", "MainTop", "12x");
        QCOMPARE(platform::readNumberSetting("Settings", "MainTop", 1000), 1000);
        SettingsStore::Write("Quillet Lite", "Settings", "MainTop", " 77 ");
        QCOMPARE(platform::readNumberSetting("Settings", "MainTop", 1000), 77);
    }
};

QTEST_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
