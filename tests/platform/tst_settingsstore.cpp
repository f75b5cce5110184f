// The per-user settings store: case-blind names that keep their first
// spelling, defaults, a damaged file, and two writers at once.

#include "support/fixture.h"

#include "platform/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QApplication>

#include <fcntl.h>
#include <sys/stat.h>

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

        // Rewritten in place at once with as many bytes, and its time set
        // back: the change is still seen.
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.write("[Quillet Lite\\settings]\nql=on!\n");
        f.close();
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "ql", "on"), QStringLiteral("on!"));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(f.fileName()).constData(), &st), 0);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.write("[Quillet Lite\\settings]\nql=no!\n");
        f.close();
        const timespec times[2] = {st.st_atim, st.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(f.fileName()).constData(), times, 0), 0);
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "ql", "on"), QStringLiteral("no!"));
    }

    void repeatedNamesInAFileAreOne()
    {
        // Written by hand: a section and a key met twice in other cases are
        // one, with the first spelling and the last value; a damaged line
        // is skipped.
        writeFile(SettingsStore::filePath(), "[Quillet Lite\\settings]\nSetTo=1\n[x\nvar=on\n"
                                             "[QUILLET LITE\\SETTINGS]\nsetto=2\n\xc3\xa9T\xc3\xa9=\\e\n");
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "SETTO", "-"), QStringLiteral("2"));
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "\u00c9t\u00c9", "-"), QStringLiteral("="));
        SettingsStore::Write("Quillet Lite", "Settings", "ql", "off");
        QCOMPARE(fileBytes(), QByteArray("[Quillet Lite\\settings]\nSetTo=2\nvar=on\n"
                                         "\xc3\xa9T\xc3\xa9=\\e\nql=off\n\n"));
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

    // Whatever the editor could have written is read, however large, and
    // so is the file saved again as UTF-16 by another editor.
    void everyReadableFileIsRead()
    {
        QByteArray big = "[Quillet Lite\\settings]\n";
        while (big.size() < 18000000)
            big += "recent " + QByteArray::number(big.size()) + "=/srv/www/cgi-bin/a-long-script-name.cgi\n";
        writeFile(SettingsStore::filePath(), big + "setto=off\n");
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "setto", "on"), QStringLiteral("off"));

        const QString utf16 = QStringLiteral("\uFEFF[Quillet Lite\\settings]\r\nql=off\r\n\u00e9t\u00e9=\u00e9\r\n");
        writeFile(SettingsStore::filePath(), QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2));
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "ql", "on"), QStringLiteral("off"));
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "\u00c9T\u00c9", "-"), QStringLiteral("\u00e9"));
        SettingsStore::Write("Quillet Lite", "settings", "var", "off");
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "ql", "on"), QStringLiteral("off"));
        QCOMPARE(QFileInfo(SettingsStore::filePath()).dir().entryList(QDir::Files), QStringList{"settings.ini"});
    }

    // A file that can't be read in full is kept before anything is
    // written, and the user is told once; what could be read is used.
    void damagedFileIsKeptAndToldOnce_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("ql");
        QTest::newRow("junk") << QByteArray("\xff\xfe\x00junk\x01", 8) << QStringLiteral("on");
        QTest::newRow("one bad line") << QByteArray("[Quillet Lite\\settings]\nql=off\n\x01garbage\n")
                                      << QStringLiteral("off");
    }
    void damagedFileIsKeptAndToldOnce()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, ql);
        QStringList told;
        platform::setSettingsDamageReporter([&told](const QString &message) { told << message; });
        told.clear(); // what earlier tests' damaged files left waiting
        writeFile(SettingsStore::filePath(), content);
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "ql", "on"), ql);
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "setto", "on"), QStringLiteral("on"));
        SettingsStore::Write("Quillet Lite", "settings", "var", "off");
        QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", "ql", "on"), ql);
        platform::setSettingsDamageReporter(nullptr);
        const QDir folder = QFileInfo(SettingsStore::filePath()).dir();
        const QStringList kept = folder.entryList({QStringLiteral("settings.ini.damaged-*")});
        QCOMPARE(kept.size(), 1);
        QCOMPARE(readFile(folder.filePath(kept[0])), content);
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains(kept[0]), qPrintable(told[0]));
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
        // Two editors at once: writers in two other processes, each writing
        // its own keys, while this one reads and writes too.
        const int perWriter = 40;
        QList<QProcess *> writers;
        for (const char *prefix : {"a", "b"}) {
            auto *p = new QProcess(this);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("TST_SETTINGS_WRITER"), QString::fromLatin1(prefix));
            env.insert(QStringLiteral("TST_SETTINGS_COUNT"), QString::number(perWriter));
            p->setProcessEnvironment(env);
            p->setProcessChannelMode(QProcess::ForwardedChannels);
            p->start(QCoreApplication::applicationFilePath(), {});
            writers << p;
        }
        for (QProcess *p : writers)
            QVERIFY(p->waitForStarted());
        for (int i = 0; i < perWriter; ++i) {
            SettingsStore::Write("Quillet Lite", "settings", "c" + QString::number(i), QString::number(i));
            SettingsStore::Read("Quillet Lite", "settings", "a0", "-");
        }
        for (QProcess *p : writers) {
            QVERIFY(p->waitForFinished(60000));
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            QCOMPARE(p->exitCode(), 0);
        }
        for (int i = 0; i < perWriter; ++i) {
            for (const char *prefix : {"a", "b", "c"})
                QCOMPARE(SettingsStore::Read("Quillet Lite", "settings", prefix + QString::number(i), "-"),
                         QString::number(i));
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

// Run with TST_SETTINGS_WRITER set, the program is one of the writers of
// concurrentWritersKeepEachOthersKeys: it writes its keys and ends.
int main(int argc, char **argv)
{
    const QString prefix = qEnvironmentVariable("TST_SETTINGS_WRITER");
    if (!prefix.isEmpty()) {
        QCoreApplication app(argc, argv);
        const int count = qEnvironmentVariableIntValue("TST_SETTINGS_COUNT");
        for (int i = 0; i < count; ++i)
            SettingsStore::Write("Quillet Lite", "settings", prefix + QString::number(i), QString::number(i));
        return 0;
    }
    QApplication app(argc, argv);
    TestSettingsStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_settingsstore.moc"
