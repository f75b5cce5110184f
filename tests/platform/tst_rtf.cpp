#include "platform/rtfkept.h"
#include "platform/rtfreader.h"
#include "platform/rtfwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

#include <memory>
#include <utility>

namespace {

std::unique_ptr<QTextDocument> read(const QByteArray &rtf, rtf::Keep keep = rtf::Keep::TextOnly)
{
    auto doc = std::make_unique<QTextDocument>();
    QTextCursor cursor(doc.get());
    rtf::insert(cursor, rtf, keep);
    return doc;
}

// The text as shown, with block breaks as '\n' and nothing else changed
// (unlike toPlainText(), which turns no-break spaces into spaces); the
// anchors of kept groups show nothing.
QString plainText(const QTextDocument &doc)
{
    QStringList blocks;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        blocks.append(block.text().remove(QChar(rtf::kAnchor)));
    return blocks.join('\n');
}

// The source each anchor keeps, in order; the header's own groups last,
// since that is where they are written.
QList<QVariant> keptSources(const QTextDocument &doc)
{
    QList<QVariant> kept, header;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            QList<QVariant> &list = f.intProperty(rtf::KeptKind) == int(rtf::Kept::HeaderGroup) ? header : kept;
            if (rtf::isAnchor(f)) {
                for (qsizetype n = it.fragment().text().count(QChar(rtf::kAnchor)); n > 0; --n)
                    list.append(f.property(rtf::KeptSource));
            }
        }
    }
    return kept + header;
}

QString textOf(const QByteArray &rtf)
{
    return plainText(*read(rtf));
}

// The format of the first character of the first occurrence of a word.
QTextCharFormat formatOf(const QTextDocument &doc, const QString &word)
{
    const int at = int(doc.toRawText().indexOf(word));
    if (at < 0)
        return {};
    QTextCursor cursor(const_cast<QTextDocument *>(&doc));
    cursor.setPosition(at + 1);
    return cursor.charFormat();
}

// One character with the formatting the writer keeps, defaults resolved the
// way a reader of the document would see them.
struct Styled
{
    QChar ch;
    QString family;
    qreal points = 0;
    bool bold = false, italic = false, underline = false, strike = false;
    QString foreground, background; // empty: none
    bool operator==(const Styled &o) const
    {
        return ch == o.ch && family == o.family && qFuzzyCompare(points, o.points) && bold == o.bold
            && italic == o.italic && underline == o.underline && strike == o.strike
            && foreground == o.foreground && background == o.background;
    }
};

QList<Styled> styledChars(const QTextDocument &doc)
{
    QList<Styled> out;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block != doc.begin())
            out.append(Styled{QChar('\n'), {}, 0, false, false, false, false, {}, {}});
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            Styled s;
            const QStringList families = f.fontFamilies().toStringList();
            s.family = families.isEmpty() ? doc.defaultFont().family() : families.first();
            s.points = f.fontPointSize() > 0 ? f.fontPointSize() : doc.defaultFont().pointSizeF();
            s.bold = f.fontWeight() >= QFont::DemiBold;
            s.italic = f.fontItalic();
            s.underline = f.fontUnderline();
            s.strike = f.fontStrikeOut();
            if (f.foreground().style() != Qt::NoBrush)
                s.foreground = f.foreground().color().name();
            if (f.background().style() != Qt::NoBrush)
                s.background = f.background().color().name();
            for (const QChar ch : it.fragment().text()) {
                s.ch = ch;
                out.append(s);
            }
        }
    }
    return out;
}

// Words in reading order: runs of letters, digits and marks, plus every
// non-ASCII symbol or punctuation mark on its own. ASCII punctuation is left
// out, since expected texts render table cells and line ends differently.
QStringList wordsOf(const QString &text)
{
    QStringList words;
    QString current;
    for (const QChar ch : text) {
        if (ch.isLetterOrNumber() || ch.isMark()) {
            current += ch;
            continue;
        }
        if (!current.isEmpty())
            words.append(std::exchange(current, QString()));
        if (ch.unicode() > 0x7F && !ch.isSpace() && (ch.isPunct() || ch.isSymbol()))
            words.append(QString(ch));
    }
    if (!current.isEmpty())
        words.append(current);
    return words;
}

// The first expected word not found, in order, among the produced words.
QString firstMissingWord(const QStringList &expected, const QStringList &produced)
{
    qsizetype at = 0;
    for (const QString &word : expected) {
        while (at < produced.size() && produced.at(at) != word)
            ++at;
        if (at == produced.size())
            return word;
        ++at;
    }
    return QString();
}

QByteArray readSample(const QString &name)
{
    QFile file(QStringLiteral(QUILLET_SAMPLES_DIR "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList sampleNames()
{
    return QDir(QStringLiteral(QUILLET_SAMPLES_DIR)).entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
}

} // namespace

class TestRtf : public QObject
{
    Q_OBJECT

private slots:
    void recognisesRtf();
    void insertsAtCursorAsOneEdit();
    void roundTripsText_data();
    void roundTripsText();
    void roundTripsFormatting();
    void writesRichEditLayout();
    void readsSamples_data();
    void readsSamples();
    void survivesEveryTruncation();
    void keepsWhatItCannotShow();
    void keptSourceSurvivesRewriting();
    void survivesMalformedInput_data();
    void survivesMalformedInput();
    void survivesDeepNesting();
    void boundsHostileTables();
    void decodesCodePages_data();
    void decodesCodePages();
    void readsFormatting();
    void skipsWhatIsNotText_data();
    void skipsWhatIsNotText();
};

void TestRtf::recognisesRtf()
{
    QVERIFY(rtf::isRtf("{\\rtf1\\ansi x}"));
    QVERIFY(rtf::isRtf("{\\rtf"));
    QVERIFY(!rtf::isRtf(""));
    QVERIFY(!rtf::isRtf("{\\rt"));
    QVERIFY(!rtf::isRtf("<html>{\\rtf1}"));

    // A whole document: balanced, only white space after it.
    QVERIFY(rtf::isCompleteDocument("{\\rtf1\\ansi {\\b x}\\{ \\} \\\\}\r\n \t"));
    QVERIFY(rtf::isCompleteDocument("{\\rtf1 {\\*\\pict\\bin3 }{}}x}"));
    QVERIFY(!rtf::isCompleteDocument("{\\rtf1 Hello}\nprint 1;\n"));
    QVERIFY(!rtf::isCompleteDocument("{\\rtf1 {\\b open}"));
    QVERIFY(!rtf::isCompleteDocument("{\\rtf1 \\}"));
    QVERIFY(!rtf::isCompleteDocument("{\\rtf1 \\bin9 }}"));
    QVERIFY(!rtf::isCompleteDocument("x{\\rtf1}"));

    QTextDocument doc;
    doc.setPlainText("keep");
    QTextCursor cursor(&doc);
    cursor.select(QTextCursor::Document);
    QVERIFY(!rtf::insert(cursor, "plain text"));
    QCOMPARE(doc.toPlainText(), QString("keep"));
}

void TestRtf::insertsAtCursorAsOneEdit()
{
    // The editor's own documents are plain-text ones; the selection goes and
    // one undo step takes the whole insertion back.
    QPlainTextEdit edit;
    edit.setPlainText("before SELECTED after");
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(7);
    cursor.setPosition(15, QTextCursor::KeepAnchor);
    QVERIFY(rtf::insert(cursor, "{\\rtf1 one\\par {\\b two}\\par three}"));
    QCOMPARE(edit.toPlainText(), QString("before one\ntwo\nthree after"));
    QCOMPARE(cursor.position(), 20);
    edit.document()->undo();
    QCOMPARE(edit.toPlainText(), QString("before SELECTED after"));
}

void TestRtf::roundTripsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("one line") << QString("Hello");
    QTest::newRow("trailing empty line") << QString("line\n");
    QTest::newRow("empty lines") << QString("\n\nmiddle\n\n");
    QTest::newRow("rtf syntax") << QString("\\par {\\b x} \\'e9 \\u8364? ;{}\\");
    QTest::newRow("spaces and digits after words") << QString("  lead  a1 -2 ?x\ttab\t\tend ");
    QTest::newRow("windows-1252") << QString::fromUtf8("café €5 “quoted” – Œuvre ÿ\u00A0nbsp");
    QTest::newRow("1252 undefined bytes") << QString::fromUtf16(u"\u0081\u008D\u008F\u0090\u009D");
    QTest::newRow("other scripts") << QString::fromUtf8("Ωmega Łódź Привет 漢字 עברית ‑ \u2011");
    QTest::newRow("astral") << QString::fromUtf8("😀 a👍🏽b 𝄞");
    QTest::newRow("control characters") << QString::fromUtf16(u"a\u0001b\u001Fc\u007Fd\u0000e\u000B");
    QTest::newRow("line separator") << QString::fromUtf16(u"a\u2028b\u2028\nc\u2028");
    QTest::newRow("perl") << QString("print \"<B>$x{'a'}</B>\\n\"; # {braces}\nmy @a = (1..3);");
}

void TestRtf::roundTripsText()
{
    QFETCH(QString, text);
    QTextDocument doc;
    doc.setPlainText(text);
    const QByteArray rtf = rtf::write(doc);
    for (const char byte : rtf)
        QVERIFY2(uchar(byte) < 0x80, "the writer's output is 7-bit");
    const auto back = read(rtf);
    QCOMPARE(plainText(*back), text);
    QCOMPARE(back->blockCount(), doc.blockCount());
}

void TestRtf::roundTripsFormatting()
{
    QTextDocument doc;
    QTextCursor c(&doc);
    auto add = [&](const QString &text, auto setup) {
        QTextCharFormat f;
        setup(f);
        c.insertText(text, f);
    };
    add("plain ", [](QTextCharFormat &) {});
    add("bold ", [](QTextCharFormat &f) { f.setFontWeight(QFont::Bold); });
    add("italic ", [](QTextCharFormat &f) { f.setFontItalic(true); });
    add("under ", [](QTextCharFormat &f) { f.setFontUnderline(true); });
    add("strike ", [](QTextCharFormat &f) { f.setFontStrikeOut(true); });
    add("red ", [](QTextCharFormat &f) { f.setForeground(QColor(255, 0, 0)); });
    c.insertBlock();
    add("blue bold", [](QTextCharFormat &f) {
        f.setForeground(QColor(0, 0, 255));
        f.setFontWeight(QFont::Bold);
    });
    add(" marked ", [](QTextCharFormat &f) { f.setBackground(QColor(255, 255, 0)); });
    add("small ", [](QTextCharFormat &f) { f.setFontPointSize(8.5); });
    add("big ", [](QTextCharFormat &f) { f.setFontPointSize(20); });
    add("mono\t", [](QTextCharFormat &f) { f.setFontFamilies({"Courier New"}); });
    add("odd font ", [](QTextCharFormat &f) { f.setFontFamilies({QString::fromUtf8("Odd; {Font}\\ Ж😀")}); });
    add("everything é😀", [](QTextCharFormat &f) {
        f.setFontWeight(QFont::Bold);
        f.setFontItalic(true);
        f.setFontUnderline(true);
        f.setFontStrikeOut(true);
        f.setForeground(QColor(0x12, 0x34, 0x56));
        f.setBackground(QColor(0x65, 0x43, 0x21));
        f.setFontPointSize(31.5);
        f.setFontFamilies({"DejaVu Serif"});
    });
    add(" red again", [](QTextCharFormat &f) { f.setForeground(QColor(255, 0, 0)); });
    c.insertBlock();
    add("after", [](QTextCharFormat &f) { f.setFontItalic(true); });
    c.insertBlock(); // a trailing empty line

    const auto back = read(rtf::write(doc));
    QCOMPARE(plainText(*back), plainText(doc));
    const QList<Styled> expected = styledChars(doc);
    const QList<Styled> actual = styledChars(*back);
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        QVERIFY2(actual.at(i) == expected.at(i), qPrintable(QString("format differs at %1").arg(i)));
}

void TestRtf::writesRichEditLayout()
{
    QTextDocument doc;
    doc.setDefaultFont(QFont("Sans Serif", 9));
    QTextCursor c(&doc);
    QTextCharFormat red;
    red.setForeground(QColor(255, 0, 0));
    c.insertText("Hello ", red);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.insertText("bold", bold);
    c.insertText(" still", bold);
    c.insertBlock();
    QTextCharFormat mono;
    mono.setFontFamilies({"Courier New"});
    c.insertText(QString::fromUtf8("x{y}\\\tcaf\u00e9 \u03a9\U0001F600"), mono);

    const QByteArray expected =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat{\\fonttbl{\\f0\\fnil\\fcharset0 Sans Serif;}"
        "{\\f1\\fnil\\fcharset0 Courier New;}}\r\n"
        "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
        "{\\*\\generator Quillet Lite;}\\viewkind4\\uc1\\pard\\cf1\\f0\\fs18 Hello \\cf0\\b bold still\\par\r\n"
        "\\b0\\f1 x\\{y\\}\\\\\\tab caf\\'e9 \\u937?\\u-10179?\\u-8704?}\r\n";
    QCOMPARE(rtf::write(doc), expected);
}

void TestRtf::readsSamples_data()
{
    QTest::addColumn<QString>("name");
    const QStringList names = sampleNames();
    QVERIFY(names.size() >= 30);
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << name;
}

void TestRtf::readsSamples()
{
    QFETCH(QString, name);
    const QByteArray data = readSample(name);
    QVERIFY(!data.isEmpty());
    QTextDocument doc;
    QTextCursor cursor(&doc);
    QVERIFY(rtf::insert(cursor, data));
    const QString text = plainText(doc);
    QVERIFY(!text.trimmed().isEmpty());

    QFile expectedFile(QStringLiteral(QUILLET_SAMPLES_DIR "/expected-text/")
                       + QFileInfo(name).completeBaseName() + ".txt");
    if (!expectedFile.open(QIODevice::ReadOnly))
        return;
    QString expected = QString::fromUtf8(expectedFile.readAll());
    // Expected texts append a link's address to its text as ("address").
    expected.remove(QRegularExpression(QStringLiteral("\\(\"[^\"]*\"\\)")));
    if (name == "specialchars.rtf") {
        // That expected text keeps the optional hyphen \- as U+00AD; we drop it.
        expected.replace(QString::fromUtf16(u"hyphen\u00ADfoo"), "hyphenfoo");
    } else if (name == "encoding.rtf") {
        // The file is two documents one after the other; what follows the
        // first one's closing brace is not part of it.
        expected.truncate(expected.indexOf("Text2"));
    }
    const QStringList expectedWords = wordsOf(expected);
    QVERIFY(!expectedWords.isEmpty());
    const QString missing = firstMissingWord(expectedWords, wordsOf(text));
    QVERIFY2(missing.isEmpty(), qPrintable("missing or out of order: " + missing));
}

void TestRtf::survivesEveryTruncation()
{
    // Small files are cut at every byte, larger ones at a few hundred places.
    for (const QString &name : sampleNames()) {
        const QByteArray data = readSample(name);
        const qsizetype step = data.size() <= 4096 ? 1 : data.size() / 200;
        for (qsizetype length = 5; length < data.size(); length += step) {
            const QByteArray prefix = data.left(length);
            const QString text = textOf(prefix);
            QVERIFY2(text.size() <= prefix.size(), qPrintable(name));
            // What is kept of a cut group never swallows what the writer
            // writes after it (the fuzzer tries the large files).
            if (data.size() > 65536)
                continue;
            const QByteArray written = rtf::write(*read(prefix, rtf::Keep::GroupsAndHeader));
            QVERIFY2(rtf::isCompleteDocument(written), qPrintable(name + QString::number(length)));
        }
    }
}

void TestRtf::keepsWhatItCannotShow()
{
    // Notes as a rich-edit control writes them, with what this control
    // can't show: a picture, a link's target, a table, hidden text, a
    // bookmark and a style sheet.
    const QByteArray note =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat{\\fonttbl{\\f0\\fnil\\fcharset0 Calibri;}}\r\n"
        "{\\colortbl ;\\red0\\green0\\blue255;}\r\n{\\stylesheet{\\s0 Normal;}}\r\n"
        "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1\\pard\\f0\\fs22 Logo: "
        "{\\pict\\pngblip\\picw10\\pich10 89504e470d0a1a0a}\\par\r\n"
        "See {\\field{\\*\\fldinst{HYPERLINK \"https://example.com/a\"}}{\\fldrslt{\\ul\\cf1 the site}}} now.\\par\r\n"
        "\\trowd\\trgaph108\\cellx1000\\cellx2000\\pard\\intbl one\\cell two\\cell\\row\r\n"
        "\\pard secret: {\\v hidden words}end{\\*\\bkmkstart b1}{\\*\\bkmkend b1}\\par\r\n}\r\n";
    const QString shown = "Logo: \nSee the site now.\none\ttwo\nsecret: end\n";
    QCOMPARE(plainText(*read(note)), shown);
    auto doc = read(note, rtf::Keep::GroupsAndHeader);
    QCOMPARE(plainText(*doc), shown);
    QCOMPARE(formatOf(*doc, "the site").anchorHref(), QString("https://example.com/a"));

    // Edited around all of it: everything is written back where it was.
    auto edit = [&](const QString &before, const QString &insert) {
        QTextCursor c(doc.get());
        c.setPosition(int(doc->toRawText().indexOf(before)));
        c.insertText(insert);
    };
    edit(": ", "s");
    edit("site", "whole ");
    edit("two", "2 ");
    edit("end", "the ");
    const QByteArray written = rtf::write(*doc);
    for (const char *kept : {"Logos: {\\pict\\pngblip\\picw10\\pich10 89504e470d0a1a0a}\\par",
                             "{\\field{\\*\\fldinst{HYPERLINK \"https://example.com/a\"}}{\\fldrslt",
                             "\\trowd\\trgaph108\\cellx1000\\cellx2000\\pard\\intbl one\\cell 2 two\\cell\\row",
                             "secret: {\\v hidden words}the end{\\*\\bkmkstart b1}{\\*\\bkmkend b1}",
                             "{\\stylesheet{\\s0 Normal;}}\r\n{\\*\\generator Quillet Lite;}"})
        QVERIFY2(written.contains(kept), kept);
    QVERIFY(!written.contains("Riched20"));
    const auto back = read(written, rtf::Keep::GroupsAndHeader);
    QCOMPARE(plainText(*back), QString("Logos: \nSee the whole site now.\none\t2 two\nsecret: the end\n"));
    QCOMPARE(formatOf(*back, "whole site").anchorHref(), QString("https://example.com/a"));
    QCOMPARE(keptSources(*back), keptSources(*doc));
    QCOMPARE(rtf::write(*back), written);

    // Deleted, the picture's anchor takes the picture with it.
    QTextCursor c(doc.get());
    c.setPosition(int(doc->toRawText().indexOf(QChar(rtf::kAnchor), doc->toRawText().indexOf("Logos"))));
    c.deleteChar();
    QVERIFY(!rtf::write(*doc).contains("\\pict"));
    QVERIFY(rtf::write(*doc).contains("{\\v hidden words}"));
}

void TestRtf::keptSourceSurvivesRewriting()
{
    // Every sample, read keeping everything and written, reads back to the
    // same text and the same kept source, and is written the same again.
    for (const QString &name : sampleNames()) {
        const auto first = read(readSample(name), rtf::Keep::GroupsAndHeader);
        const QByteArray written = rtf::write(*first);
        const auto second = read(written, rtf::Keep::GroupsAndHeader);
        QVERIFY2(plainText(*second) == plainText(*first), qPrintable(name));
        QVERIFY2(plainText(*first) == plainText(*read(readSample(name))), qPrintable(name));
        QVERIFY2(keptSources(*second) == keptSources(*first), qPrintable(name));
        QVERIFY2(rtf::write(*second) == written, qPrintable(name));
    }
}

void TestRtf::survivesMalformedInput_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    auto row = [](const char *name, const QByteArray &rtf, const QString &text) {
        QTest::newRow(name) << rtf << text;
    };
    row("no closing brace", "{\\rtf1 {\\b a} b", "a b");
    row("extra closing braces", "{\\rtf1 a}}}b}", "a");
    row("text after the document", "{\\rtf1 a}\r\njunk {\\b x}", "a");
    row("backslash at end", "{\\rtf1 a\\", "a");
    row("word at end", "{\\rtf1 a\\par", "a\n");
    row("hex at end", "{\\rtf1 a\\'", "a");
    row("bad hex", "{\\rtf1 a\\'zzb\\'4x}", QString::fromUtf16(u"azzb\u0004x"));
    static const char withNuls[] = "{\\rtf1 a\0b\0\\par\0c}";
    row("NUL bytes", QByteArray(withNuls, sizeof withNuls - 1), "ab\nc");
    row("bin past the end", "{\\rtf1 a\\bin999999 bcd}", "a");
    row("huge bin", "{\\rtf1 a\\bin99999999999999999999 bcd}", "a");
    row("negative bin", "{\\rtf1 a\\bin-5 b}", "ab");
    row("bin data with braces", "{\\rtf1 a\\bin4 }{\\}b}", "ab");
    row("huge unicode", "{\\rtf1 \\u99999999?x}", QString::fromUtf16(u"\uFFFDx"));
    row("huge negative unicode", "{\\rtf1 \\u-99999?x}", QString::fromUtf16(u"\uFFFDx"));
    row("unicode without number", "{\\rtf1 \\u x}", "x");
    row("lone high surrogate", "{\\rtf1 \\u55357?x}", QString::fromUtf16(u"\uFFFDx"));
    row("lone low surrogate", "{\\rtf1 \\u56832?x}", QString::fromUtf16(u"\uFFFDx"));
    row("high surrogate at end", "{\\rtf1 x\\u-10179?}", QString::fromUtf16(u"x\uFFFD"));
    row("two high surrogates", "{\\rtf1 \\u-10179?\\u-10179?\\u-8704?}",
        QString::fromUtf16(u"\uFFFD\U0001F600"));
    row("huge parameters", "{\\rtf1\\f99999999999999\\fs99999999999\\cf-7\\highlight99999999999 a}", "a");
    row("huge uc", "{\\rtf1{\\uc99999999999\\u65 bcd}e}", "Ae");
    row("very long word", "{\\rtf1 \\" + QByteArray(100000, 'a') + " b}", "b");
    row("very long number", "{\\rtf1 \\fs" + QByteArray(100000, '9') + " b}", "b");
    row("special characters", "{\\rtf1 a\\u8232?b\\u8233?c\\u65532?\\u64976?\\u64977?d\\'0de}",
        QString::fromUtf16(u"a\u2028b\ncde"));
    row("destination at top level", "{\\rtf1\\fonttbl a\\pict b\\*\\foo c}", "abc");
}

void TestRtf::survivesMalformedInput()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(textOf(rtf), text);
}

void TestRtf::survivesDeepNesting()
{
    const int depth = 100000;
    QCOMPARE(textOf("{\\rtf1 a" + QByteArray(depth, '{') + "b" + QByteArray(depth, '}') + "c}"),
             QString("abc"));
    QCOMPARE(textOf("{\\rtf1 a" + QByteArray(depth, '{') + "b"), QString("ab"));
    // Formatting still scoped once the nesting is back within bounds.
    const auto doc = read("{\\rtf1 {\\b " + QByteArray(depth, '{') + "x" + QByteArray(depth, '}')
                          + "y}z}");
    QCOMPARE(plainText(*doc), QString("xyz"));
    QCOMPARE(formatOf(*doc, "y").fontWeight(), int(QFont::Bold));
    QCOMPARE(formatOf(*doc, "z").fontWeight(), int(QFont::Normal));
    QCOMPARE(textOf("{\\rtf1 " + QByteArray(depth, '}') + "x"), QString());
}

void TestRtf::boundsHostileTables()
{
    // Thousands of fonts and colours, each used once: all text still reads,
    // colours stay exact, and only a bounded number of font families reaches
    // the document (Qt compares formats differing only in family one by one).
    QByteArray rtf = "{\\rtf1{\\fonttbl";
    for (int i = 0; i < 3000; ++i)
        rtf += "{\\f" + QByteArray::number(i) + " Font" + QByteArray::number(i) + ";}";
    rtf += "}{\\colortbl;";
    for (int i = 0; i < 3000; ++i)
        rtf += "\\red" + QByteArray::number(i % 256) + "\\green1\\blue" + QByteArray::number(i / 256) + ";";
    rtf += "}";
    for (int i = 0; i < 3000; ++i)
        rtf += "\\f" + QByteArray::number(i) + "\\cf" + QByteArray::number(i + 1) + " x";
    const auto doc = read(rtf + "}");
    QCOMPARE(plainText(*doc), QString(3000, 'x'));
    QSet<QString> families;
    for (auto it = doc->begin().begin(); !it.atEnd(); ++it)
        families.unite(QSet<QString>{it.fragment().charFormat().fontFamilies().toStringList().value(0)});
    QVERIFY(families.size() <= 65);
    QVERIFY(families.contains("Font0"));
    QTextCursor last(doc.get());
    last.movePosition(QTextCursor::End);
    QCOMPARE(last.charFormat().foreground().color(), QColor(2999 % 256, 1, 2999 / 256));
}

void TestRtf::decodesCodePages_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    auto row = [](const char *name, const QByteArray &rtf, const char16_t *text) {
        QTest::newRow(name) << rtf << QString::fromUtf16(text);
    };
    row("1252 by default", "{\\rtf1 \\'e9\\'80\\'81\\'8d\\'8f\\'90\\'9d}", u"é€\u0081\u008D\u008F\u0090\u009D");
    row("1250", "{\\rtf1\\ansi\\ansicpg1250 \\'b9\\'e6\\'9c}", u"ąćś");
    row("1251", "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e9}", u"Прий");
    row("1253", "{\\rtf1\\ansi\\ansicpg1253 \\'e1}", u"α");
    row("1254", "{\\rtf1\\ansi\\ansicpg1254 \\'fe}", u"ş");
    row("1255", "{\\rtf1\\ansi\\ansicpg1255 \\'e0}", u"א");
    row("1256", "{\\rtf1\\ansi\\ansicpg1256 \\'c7}", u"ا");
    row("1257", "{\\rtf1\\ansi\\ansicpg1257 \\'e0}", u"ą");
    row("1258", "{\\rtf1\\ansi\\ansicpg1258 \\'e3}", u"ă");
    row("874", "{\\rtf1\\ansi\\ansicpg874 \\'a1}", u"ก");
    row("mac", "{\\rtf1\\mac \\'8a}", u"ä");
    row("pc", "{\\rtf1\\pc \\'81}", u"ü");
    row("pca", "{\\rtf1\\pca \\'9b}", u"ø");
    row("unknown page is 1252", "{\\rtf1\\ansi\\ansicpg0\\ansicpg77777 \\'e9}", u"é");
    row("raw 8-bit bytes", "{\\rtf1\\ansi\\ansicpg1251 \xcf\xf0\xe8}", u"При");
    row("font charset beats document page",
        "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset0 A;}{\\f1\\fcharset204 B;}}"
        "\\f0\\'e9{\\f1\\'e9}\\'e9}",
        u"éйé");
    row("font cpg", "{\\rtf1{\\fonttbl{\\f0\\cpg1253 A;}}\\f0\\'e1}", u"α");
    row("symbol font as 1252", "{\\rtf1{\\fonttbl{\\f0\\fcharset2 Symbol;}}\\f0\\'b7}", u"·");
    row("shift-jis", "{\\rtf1{\\fonttbl{\\f0\\fcharset128 MS Mincho;}}\\f0\\'82\\'a0x}", u"あx");
    row("shift-jis literal trail byte", "{\\rtf1{\\fonttbl{\\f0\\fcharset128 M;}}\\f0\\'82a\\'83\\\\}", u"Ｂソ");
    row("shift-jis half-width", "{\\rtf1{\\fonttbl{\\f0\\fcharset128 M;}}\\f0\\'b1}", u"ｱ");
    row("shift-jis cut pair", "{\\rtf1{\\fonttbl{\\f0\\fcharset128 M;}}\\f0 a\\'82}", u"a\uFFFD");
    row("gbk", "{\\rtf1\\ansi\\ansicpg936 \\'c4\\'e3\\'ba\\'c3}", u"你好");
    row("big5", "{\\rtf1{\\fonttbl{\\f0\\fcharset136 M;}}\\f0\\'a7\\'41}", u"你");
    row("korean", "{\\rtf1{\\fonttbl{\\f0\\fcharset129 M;}}\\f0\\'c7\\'d1}", u"한");
    row("uc1 fallback", "{\\rtf1\\uc1\\u8364?x}", u"€x");
    row("uc0", "{\\rtf1\\uc0\\u8364 x}", u"€x");
    row("uc2 with hex", "{\\rtf1\\uc2\\u8364\\'80?x}", u"€x");
    row("uc2 double-byte fallback",
        "{\\rtf1{\\fonttbl{\\f0\\fcharset128 M;}}\\f0\\uc2\\u12354\\'82\\'a0x}", u"あx");
    row("uc is scoped", "{\\rtf1{\\uc3\\u8364 abc}\\u8364 dx}", u"€€x");
    row("a word counts as one", "{\\rtf1\\u8364\\tab x}", u"€x");
    row("skip stops at a group", "{\\rtf1\\uc5\\u8364{x}y}", u"€xy");
    row("negative unicode", "{\\rtf1\\u-3?}", u"\uFFFD");
    row("surrogate pair", "{\\rtf1\\u-10179?\\u-8704?}", u"😀");
    row("pair across uc change", "{\\rtf1\\uc0 \\u55357\\uc1 \\u56832\\'3f}", u"😀");
    row("upr and ud", "{\\rtf1{\\upr{ansi}{\\*\\ud{uni\\u8364?}}}}", u"uni€");
    row("utf-8", "{\\rtf1\\ansi\\ansicpg65001 caf\\'c3\\'a9 \xe2\x82\xac\\'f0\\'9f\\'98\\'80 \\'c3x\\'e9}",
        u"café €😀 \uFFFDx\uFFFD");
    row("utf-8 font", "{\\rtf1{\\fonttbl{\\f0\\cpg65001 A;}}\\f0\\'c5\\'81\\'c3\\'b3d\\'c5\\'ba}", u"Łódź");
    row("font name in its own page",
        "{\\rtf1{\\fonttbl{\\f0\\fcharset128 \\'82\\'a0\\u8364?;}}\\f0 x}", u"x");
}

void TestRtf::decodesCodePages()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(textOf(rtf), text);
}

void TestRtf::readsFormatting()
{
    const auto doc = read(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern\\fcharset128 \\'82\\'a0Mono;}}\r\n"
        "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
        "\\pard\\fs20 plain {\\b bold {\\i both} boldonly}\\cf1 red\\cf0 auto\\cf2\\fs17 blue"
        "{\\ul under\\ulnone notunder\\ul0 x}\\cf99 outside\\plain reset\\f1 mono"
        "\\highlight2 marked\\highlight0 unmarked\\cb1 cbred\\cb0\\strike struck\\strike0 "
        "\\ul1 ul\\b1 bb\\b0\\i1 ii\\i0\\fs0 zero\\fs99999 huge\\fs-4 neg\\par}");
    auto f = [&](const char *word) { return formatOf(*doc, word); };

    QCOMPARE(f("plain").fontPointSize(), 10.0);
    QCOMPARE(f("plain").fontWeight(), int(QFont::Normal));
    QCOMPARE(f("plain").fontFamilies().toStringList(), QStringList{"Arial"});
    QCOMPARE(f("plain").foreground().style(), Qt::NoBrush);
    QCOMPARE(f("bold").fontWeight(), int(QFont::Bold));
    QVERIFY(!f("bold").fontItalic());
    QCOMPARE(f("both").fontWeight(), int(QFont::Bold));
    QVERIFY(f("both").fontItalic());
    QVERIFY(!f("boldonly").fontItalic());
    QCOMPARE(f("red").fontWeight(), int(QFont::Normal));
    QCOMPARE(f("red").foreground().color(), QColor(255, 0, 0));
    QCOMPARE(f("auto").foreground().style(), Qt::NoBrush);
    QCOMPARE(f("blue").foreground().color(), QColor(0, 0, 255));
    QCOMPARE(f("blue").fontPointSize(), 8.5);
    QVERIFY(f("under").fontUnderline());
    QVERIFY(!f("notunder").fontUnderline());
    QVERIFY(f("outside").foreground().style() == Qt::NoBrush);
    QVERIFY(!f("outside").fontUnderline()); // the group ended
    QCOMPARE(f("reset").fontPointSize(), 12.0);
    QCOMPARE(f("reset").foreground().style(), Qt::NoBrush);
    QCOMPARE(f("mono").fontFamilies().toStringList(), QStringList{QString::fromUtf16(u"あMono")});
    QCOMPARE(f("marked").background().color(), QColor(0, 0, 255));
    QCOMPARE(f("unmarked").background().style(), Qt::NoBrush);
    QCOMPARE(f("cbred").background().color(), QColor(255, 0, 0));
    QVERIFY(f("struck").fontStrikeOut());
    QVERIFY(!f("ul").fontStrikeOut());
    QVERIFY(f("ul").fontUnderline());
    QCOMPARE(f("bb").fontWeight(), int(QFont::Bold));
    QVERIFY(f("ii").fontItalic());
    QCOMPARE(f("zero").fontPointSize(), 12.0);
    QCOMPARE(f("huge").fontPointSize(), 1638.0);
    QCOMPARE(f("neg").fontPointSize(), 12.0);

    // Index 0 is a real colour when the table's first entry is not empty.
    const auto black = read("{\\rtf1{\\colortbl\\red9\\green8\\blue7;}\\cf0 x}");
    QCOMPARE(formatOf(*black, "x").foreground().color(), QColor(9, 8, 7));
    // Hidden text is not shown.
    QCOMPARE(textOf("{\\rtf1 a{\\v hidden\\par}b\\v c\\v0 d}"), QString("abd"));
}

void TestRtf::skipsWhatIsNotText_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    auto row = [](const char *name, const QByteArray &rtf, const QString &text) {
        QTest::newRow(name) << rtf << text;
    };
    row("tables", "{\\rtf1{\\fonttbl{\\f0 A;}}{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}", "");
    row("picture", "{\\rtf1 a{\\pict\\pngblip 89504e47{\\*\\blipuid 00}}b{\\*\\shppict{\\pict 00}}"
                   "{\\nonshppict{\\pict\\bin3 }}}}}c}",
        "abc");
    row("ignorable destinations", "{\\rtf1 a{\\*\\unknownthing x{y}z}b{\\*\\generator W;}c}", "abc");
    row("unknown words keep text", "{\\rtf1 \\foo a\\bar12 b{\\baz c}}", "abc");
    row("fields", "{\\rtf1 see {\\field{\\*\\fldinst{HYPERLINK \"http://x\"}}{\\fldrslt{\\ul here}}}.}",
        "see here.");
    row("headers and notes", "{\\rtf1{\\header h}{\\footerl f}a{\\footnote n}{\\annotation c}b}", "ab");
    row("objects", "{\\rtf1 a{\\object\\objemb{\\*\\objdata 0102}{\\result r}}b}", "ab");
    row("breaks and specials",
        "{\\rtf1 a\\line b\\par c\\tab d\\~e\\-f\\_g\\lquote\\rquote\\ldblquote\\rdblquote"
        "\\emdash\\endash\\bullet\\emspace\\enspace\\qmspace\\zwj\\zwnj\\ltrmark\\rtlmark\\\\\\{\\}}",
        QString::fromUtf16(u"a\nb\nc\td\u00A0ef\u2011g\u2018\u2019\u201C\u201D\u2014\u2013\u2022"
                           u"\u2003\u2002\u2005\u200D\u200C\u200E\u200F\\{}"));
    row("line ends in the source", "{\\rtf1 a\r\nb\rc\nd\\\ne}", "abcd\ne");
    row("table cells", "{\\rtf1\\trowd\\cellx100\\cellx200 a\\cell b\\cell\\row\\trowd c\\cell\\cell\\row}",
        "a\tb\nc\t\n");
    row("nested cells", "{\\rtf1 a\\nestcell b\\nestcell{\\*\\nesttableprops\\nestrow}{\\nonesttables\\par}c}",
        "a\tb\nc");
    row("page and section", "{\\rtf1 a\\page b\\par\\sect c}", "a\nb\nc");
}

void TestRtf::skipsWhatIsNotText()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QCOMPARE(textOf(rtf), text);
}

QTEST_MAIN(TestRtf)
#include "tst_rtf.moc"
