// Plain files load losslessly and save back byte for byte; writes are
// atomic, keep permissions and go through symbolic links.

#include "platform/atomicfile.h"
#include "platform/textfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace platform;

class TestTextFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("encoding");
        QTest::addColumn<int>("lineBreak");
        QTest::newRow("empty") << QByteArray() << int(TextFileFormat::Utf8) << int(TextFileFormat::LF);
        QTest::newRow("lf") << QByteArray("a\nb\n") << int(TextFileFormat::Utf8) << int(TextFileFormat::LF);
        QTest::newRow("crlf") << QByteArray("a\r\nb\r\nc") << int(TextFileFormat::Utf8) << int(TextFileFormat::CRLF);
        QTest::newRow("cr") << QByteArray("a\rb\r") << int(TextFileFormat::Utf8) << int(TextFileFormat::CR);
        QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd\r\n\n") << int(TextFileFormat::Utf8) << int(TextFileFormat::CRLF);
        QTest::newRow("bom") << QByteArray("\xEF\xBB\xBFh\xC3\xA9llo\r\n") << int(TextFileFormat::Utf8) << int(TextFileFormat::CRLF);
        QTest::newRow("utf8") << QByteArray("\xE2\x82\xAC \xF0\x9F\x98\x80 \x00 end", 13) << int(TextFileFormat::Utf8) << int(TextFileFormat::LF);
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            if (i != '\r' && i != '\n')
                all.append(char(i));
        QTest::newRow("cp1252 every byte") << all << int(TextFileFormat::Windows1252) << int(TextFileFormat::LF);
        QTest::newRow("undefined bytes") << QByteArray("x\x81\x8D\x8F\x90\x9Dy\r\n") << int(TextFileFormat::Windows1252) << int(TextFileFormat::CRLF);
        QTest::newRow("overlong utf8") << QByteArray("\xC0\xAF") << int(TextFileFormat::Windows1252) << int(TextFileFormat::LF);
        QTest::newRow("surrogate utf8") << QByteArray("\xED\xA0\x80") << int(TextFileFormat::Windows1252) << int(TextFileFormat::LF);
        QTest::newRow("truncated utf8") << QByteArray("ok\xE2\x82") << int(TextFileFormat::Windows1252) << int(TextFileFormat::LF);
        QTest::newRow("bom then cp1252") << QByteArray("\xEF\xBB\xBF\xE9") << int(TextFileFormat::Windows1252) << int(TextFileFormat::LF);
    }
    void roundTrip()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, encoding);
        QFETCH(int, lineBreak);
        DecodedText d = decodeText(bytes);
        QCOMPARE(int(d.format.encoding), encoding);
        QCOMPARE(int(d.format.lineBreak), lineBreak);
        QVERIFY(!d.text.contains(QLatin1Char('\r')));
        TextFileFormat format = d.format;
        const QByteArray back = encodeText(d.text, &format, d.format.mixedBreaks ? &d.breaks : nullptr);
        QCOMPARE(back, bytes);
    }

    void windows1252Decoding()
    {
        const DecodedText d = decodeText(QByteArray("\x80\x93\xE9\x81", 4));
        QCOMPARE(d.text, QString::fromUtf8("\xE2\x82\xAC\xE2\x80\x9C\xC3\xA9") + QChar(0x81));
    }

    void unrepresentableCharacterSwitchesToUtf8()
    {
        TextFileFormat format;
        format.encoding = TextFileFormat::Windows1252;
        const QString text = QString::fromUtf8("caf\xC3\xA9 \xE4\xB8\xAD");
        const QByteArray out = encodeText(text, &format);
        QCOMPARE(int(format.encoding), int(TextFileFormat::Utf8));
        QCOMPARE(QString::fromUtf8(out), text); // nothing dropped
    }

    void atomicWriteReplacesContentAndKeepsPermissions()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("f.cgi");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old old old");
        f.close();
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup));
        QString error;
        QVERIFY(writeFileAtomically(path, "new", &error));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("new"));
        f.close();
        QCOMPARE(QFile::permissions(path) & 0x7777,
                 (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                  | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser) & 0x7777);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("f.cgi")});
    }

    void atomicWriteGoesThroughSymlinks()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("real.pl");
        const QString link = dir.filePath("link.pl");
        QFile t(target);
        QVERIFY(t.open(QIODevice::WriteOnly));
        t.write("1");
        t.close();
        QVERIFY(QFile::link(target, link));
        QString error;
        QVERIFY(writeFileAtomically(link, "2", &error));
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(t.open(QIODevice::ReadOnly));
        QCOMPARE(t.readAll(), QByteArray("2"));
    }

    void atomicWriteReportsFailure()
    {
        QTemporaryDir dir;
        // Each call gives its own reason, the system's.
        QString error;
        QVERIFY(!writeFileAtomically(dir.filePath("missing/folder/x.pl"), "x", &error));
        QCOMPARE(error, qt_error_string(ENOENT));
        error.clear();
        QVERIFY(!writeFileAtomically(dir.path(), "x", &error)); // a folder
        QCOMPARE(error, qt_error_string(EISDIR));
    }
};

QTEST_APPLESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
