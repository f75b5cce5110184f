// Plain files load losslessly and save back byte for byte; writes are
// atomic, keep permissions and go through symbolic links.

#include "platform/atomicfile.h"
#include "platform/documenttext.h"
#include "platform/recoverylog.h"
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
        // A valid multi-byte sequence makes it UTF-8; the bytes that aren't
        // are kept.
        QTest::newRow("bom then a stray byte") << QByteArray("\xEF\xBB\xBF\xE9") << int(TextFileFormat::Utf8) << int(TextFileFormat::LF);
        QTest::newRow("utf8 with stray bytes") << QByteArray("pr\xC3\xA9" "fix \xFF\xE9 \xE2\x82 \xED\xA0\x80 \xF4\x90\x80\x80\n")
                                               << int(TextFileFormat::Utf8) << int(TextFileFormat::LF);
        // A mark after the first is text, and stays.
        QTest::newRow("second bom") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx\n") << int(TextFileFormat::Utf8) << int(TextFileFormat::LF);
        QTest::newRow("utf-16le") << QByteArray("\xFF\xFEh\0\xE9\0\r\0\n\0=\xD8\0\xDE\x01\xDC\xFF\xFE\r\0\n\0", 22)
                                  << int(TextFileFormat::Utf16LE) << int(TextFileFormat::CRLF);
        QTest::newRow("utf-16be") << QByteArray("\xFE\xFF\0h\0\n\xD8=\xDE\0\0\n", 12) << int(TextFileFormat::Utf16BE)
                                  << int(TextFileFormat::LF);
        QTest::newRow("odd length after a utf-16 mark") << QByteArray("\xFF\xFEh") << int(TextFileFormat::Windows1252)
                                                        << int(TextFileFormat::LF);
        QTest::newRow("noncharacters") << QByteArray("\xEF\xB7\x90\xEF\xB7\xAF\xEF\xBF\xBE\xEF\xBF\xBF\xE2\x80\xA8\xE2\x80\xA9")
                                       << int(TextFileFormat::Utf8) << int(TextFileFormat::LF);
    }
    void roundTrip()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, encoding);
        QFETCH(int, lineBreak);
        TextFileFormat format;
        const QString text = decodeText(bytes, &format);
        QCOMPARE(int(format.encoding), encoding);
        toDocumentForm(text, FormOptions{false, -1, &format});
        QCOMPARE(int(format.lineBreak), lineBreak);
        // Breaks left as they were come back as they were.
        TextFileFormat asRead = format;
        asRead.lineBreak = TextFileFormat::LF;
        QCOMPARE(encodeText(text, asRead), bytes);
    }

    void decodedCharacters()
    {
        TextFileFormat format;
        QCOMPARE(decodeText(QByteArray("\x80\x93\xE9\x81", 4), &format),
                 QString::fromUtf8("\xE2\x82\xAC\xE2\x80\x9C\xC3\xA9") + QChar(0x81));
        // A stray byte of a UTF-8 file shows as a character of its own,
        // and the text around it as UTF-8.
        const QString t = decodeText(QByteArray("caf\xC3\xA9\xFFok"), &format);
        QCOMPARE(t, QString::fromUtf8("caf\xC3\xA9") + QChar(0xDCFF) + QStringLiteral("ok"));
        QCOMPARE(decodeText(QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx"), &format), QStringLiteral("\uFEFFx"));
        QVERIFY(format.bom);
        // UTF-16 decodes as characters, and an added one keeps it UTF-16.
        QCOMPARE(decodeText(QByteArray("\xFF\xFEh\0\xE9\0", 6), &format), QStringLiteral("h\u00E9"));
        QCOMPARE(encodeText(QStringLiteral("h\u00E9Q\n"), format), QByteArray("\xFF\xFEh\0\xE9\0Q\0\n\0", 10));
    }

    void journalKeepsEveryFormat()
    {
        for (const auto encoding : {TextFileFormat::Utf8, TextFileFormat::Windows1252, TextFileFormat::Utf16LE,
                                    TextFileFormat::Utf16BE}) {
            TextFileFormat format;
            format.encoding = encoding;
            format.bom = encoding != TextFileFormat::Windows1252;
            QMap<QString, QString> fields;
            putFormat(&fields, format);
            QCOMPARE(int(formatOf(fields).encoding), int(encoding));
            QCOMPARE(formatOf(fields).bom, format.bom);
        }
    }

    void encodingsThatCantHoldACharacter()
    {
        TextFileFormat format;
        format.encoding = TextFileFormat::Windows1252;
        QVERIFY(canEncode(QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC"), format));
        QVERIFY(!canEncode(QString::fromUtf8("caf\xC3\xA9 \xE2\x86\x92"), format));
        format.encoding = TextFileFormat::Utf8;
        QVERIFY(canEncode(QString::fromUtf8("\xE2\x86\x92"), format));
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
