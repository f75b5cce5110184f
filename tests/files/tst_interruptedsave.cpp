// A kill in the middle of a save loses nothing: a write in place keeps the
// old bytes under the state folder, and the next start offers them back; a
// replace's temporary file goes at the next save of the file or the next
// start, and nothing else that looks like one.

#include "support/fixture.h"

#include "platform/atomicfile.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using platform::Answer;
using platform::WriteStage;

namespace {

// Saves in another process (this program, see main), which the save
// itself ends by SIGKILL as it reaches the stage.
void saveKilledAt(const QString &path, const QByteArray &data, WriteStage stage)
{
    writeFile(path + QStringLiteral(".data"), data);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TST_KILLED_SAVE"), path);
    env.insert(QStringLiteral("TST_KILLED_AT"), QString::number(int(stage)));
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::CrashExit);
    QFile::remove(path + QStringLiteral(".data"));
}

QStringList temporaries(const QString &folder, const QString &name)
{
    QStringList out;
    for (const QString &entry : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        if (entry.startsWith(QLatin1Char('.') + name + QLatin1Char('.')) && entry.size() == name.size() + 8)
            out << entry;
    }
    return out;
}

} // namespace

class TestInterruptedSave : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void killedWriteInPlaceIsOfferedBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.pl"));
        const QByteArray old(10 << 20, 'o');
        const QByteArray fresh(10 << 20, 'n');
        writeFile(path, old);
        // A second name: the file is written in place.
        QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(path + ".link").constData()), 0);
        saveKilledAt(path, fresh, WriteStage::InPlacePieceWritten);
        const QByteArray mixed = readFile(path);
        QVERIFY(mixed.startsWith(fresh.left(1 << 20)) && mixed.endsWith(old.right(1 << 20)));

        // Escape asks again at the next start; Yes puts the old bytes back.
        {
            EditorFixture f(QString(), [](ScriptedUi &ui) { ui.answer(Answer::Cancel); });
            QCOMPARE(f.ui.messages.size(), 1);
            QVERIFY(f.ui.messages[0].text.contains(path));
            QCOMPARE(f.ui.messages[0].buttons, platform::Buttons::YesNo);
        }
        {
            EditorFixture f(QString(), [](ScriptedUi &ui) { ui.answer(Answer::Yes); });
            QCOMPARE(f.ui.messages.size(), 1);
            QCOMPARE(f.ui.unexpected, 0);
        }
        QVERIFY(readFile(path + ".link") == old);
        EditorFixture f;
        QVERIFY(f.ui.messages.isEmpty());
    }

    void killedReplaceLeavesNoTemporary()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.pl"));
        writeFile(path, "old\n");
        // Names like a temporary's that are not of the editor's pattern.
        writeFile(dir.filePath(QStringLiteral(".a.pl.mine")), "x");
        writeFile(dir.filePath(QStringLiteral(".b.pl.ABCDEF")), "x");

        saveKilledAt(path, "new\n", WriteStage::TemporaryWritten);
        QCOMPARE(temporaries(dir.path(), QStringLiteral("a.pl")).size(), 1);
        QString error;
        QVERIFY2(platform::writeFileAtomically(path, "newer\n", &error), qPrintable(error));
        QCOMPARE(temporaries(dir.path(), QStringLiteral("a.pl")), QStringList());

        saveKilledAt(path, "new\n", WriteStage::TemporaryWritten);
        QCOMPARE(temporaries(dir.path(), QStringLiteral("a.pl")).size(), 1);
        {
            EditorFixture f;
            QVERIFY(f.ui.messages.isEmpty());
        }
        QCOMPARE(temporaries(dir.path(), QStringLiteral("a.pl")), QStringList());
        QCOMPARE(readFile(path), QByteArray("newer\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
    }
};

// With TST_KILLED_SAVE set, the program is the save that a kill cuts short.
int main(int argc, char **argv)
{
    const QString path = qEnvironmentVariable("TST_KILLED_SAVE");
    if (!path.isEmpty()) {
        const auto stage = WriteStage(qEnvironmentVariableIntValue("TST_KILLED_AT"));
        platform::setWriteObserver([stage](WriteStage reached) {
            if (reached == stage)
                ::raise(SIGKILL);
        });
        platform::WriteOptions options;
        options.recorded = true;
        platform::writeFileAtomically(path, readFile(path + QStringLiteral(".data")), nullptr, options);
        return 0;
    }
    QApplication app(argc, argv);
    TestInterruptedSave test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_interruptedsave.moc"
