// The rich-text control: CR LF positions, selection members, colour runs
// through edits and undo, loading, searching, and display-line counts.

#include "support/fixture.h"

#include "platform/documentloader.h"
#include "platform/errors.h"
#include "platform/linebreaks.h"
#include "platform/richtextbox.h"

#include <QAccessible>
#include <QFile>
#include <QPlainTextDocumentLayout>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

using platform::ControlError;
using platform::RichTextBox;

namespace {

std::unique_ptr<RichTextBox> shownBox(const QString &text = QString(), QSize size = QSize(400, 300))
{
    auto box = std::make_unique<RichTextBox>();
    box->resize(size);
    box->show();
    if (!text.isEmpty())
        box->setText(text);
    return box;
}

// A shown control holding a file of the given bytes.
std::unique_ptr<RichTextBox> loadedBox(QTemporaryDir &dir, const QByteArray &bytes, QSize size = QSize(400, 300))
{
    const QString path = dir.filePath(QStringLiteral("f%1.txt").arg(bytes.size()));
    writeFile(path, bytes);
    auto box = shownBox(QString(), size);
    box->LoadFile(path);
    return box;
}

// The laid-out display lines of the whole document.
int laidOutLines(RichTextBox &box)
{
    auto *layout = qobject_cast<QPlainTextDocumentLayout *>(box.document()->documentLayout());
    for (QTextBlock b = box.document()->begin(); b.isValid(); b = b.next())
        layout->ensureBlockLayout(b);
    return box.document()->lineCount();
}

// A generated page on one line, long enough to be kept in pieces.
QString longLine()
{
    QString line;
    for (int i = 0; line.size() < 20000; ++i)
        line += QStringLiteral("<p class=\"t%1\">some words of text</p><a href=\"/x?%1\">link</a>").arg(i);
    return line;
}

// The display lines the line takes laid out whole, at the box's width.
int wholeLineLines(RichTextBox &box, const QString &line)
{
    QTextLayout layout(line, box.document()->defaultFont());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    int n = 0;
    while (layout.createLine().isValid()) {
        layout.lineAt(n).setLineWidth(box.viewport()->width() - 2 * box.document()->documentMargin());
        ++n;
    }
    layout.endLayout();
    return n;
}

quint32 colourAtText(RichTextBox &box, int textPos)
{
    box.setSelStart(textPos);
    box.setSelLength(1);
    return box.SelColor();
}

} // namespace

class TestRichTextBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }

    void lineBreaksCountTwo()
    {
        auto box = shownBox(QStringLiteral("ab\r\ncd\nef"));
        QCOMPARE(box->Text(), QStringLiteral("ab\r\ncd\r\nef"));
        QCOMPARE(box->TextLength(), 10);
        box->setSelStart(4);
        box->setSelLength(2);
        QCOMPARE(box->SelText(), QStringLiteral("cd"));
        box->setSelStart(1);
        box->setSelLength(4);
        QCOMPARE(box->SelText(), QStringLiteral("b\r\nc"));
        QCOMPARE(box->SelStart(), 1);
        QCOMPARE(box->SelLength(), 4);
        // Every Text position maps back to itself (the LF half of a break
        // maps to the end of its line).
        for (int p = 0; p <= box->TextLength(); ++p) {
            if (p == 3 || p == 7)
                continue;
            QCOMPARE(box->toTextPosition(box->toDocumentPosition(p)), p);
        }
    }

    void selectionMembers()
    {
        auto box = shownBox(QStringLiteral("hello world"));
        box->setSelStart(100); // clamped to the end
        QCOMPARE(box->SelStart(), 11);
        box->setSelStart(6);
        box->setSelLength(100);
        QCOMPARE(box->SelText(), QStringLiteral("world"));
        QVERIFY_THROWS_EXCEPTION(ControlError, box->setSelLength(-1));
        box->setSelStart(0);
        box->setSelLength(5);
        box->setSelText(QStringLiteral("HI\r\nTHERE"));
        QCOMPARE(box->Text(), QStringLiteral("HI\r\nTHERE world"));
        QCOMPARE(box->SelStart(), 9); // caret after the written text
        QCOMPARE(box->SelLength(), 0);
    }

    void changeAndSelChangeEvents()
    {
        auto box = shownBox();
        QSignalSpy change(box.get(), &RichTextBox::Change);
        QSignalSpy sel(box.get(), &RichTextBox::SelChange);
        QTest::keyClicks(box.get(), QStringLiteral("ab"));
        QCOMPARE(change.count(), 2);
        QVERIFY(sel.count() >= 2);
        change.clear();
        QTest::keyClick(box.get(), Qt::Key_Left);
        QCOMPARE(change.count(), 0);
        // One move of the selection is one event.
        sel.clear();
        QTest::keyClick(box.get(), Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(sel.count(), 1);
        box->setSelColor(0xFF0000); // colouring isn't a text change
        QCOMPARE(change.count(), 0);
    }

    void coloursMoveWithText()
    {
        auto box = shownBox(QStringLiteral("<b>x</b>"));
        box->setSelStart(0);
        box->setSelLength(3);
        box->setSelColor(0xFF0000);
        QCOMPARE(colourAtText(*box, 1), 0xFF0000u);
        const quint32 plain = colourAtText(*box, 3);
        QVERIFY(plain != 0xFF0000u);
        // Text typed before the tag moves its colour along.
        box->setSelStart(0);
        box->setSelText(QStringLiteral("zz"));
        QCOMPARE(colourAtText(*box, 2), 0xFF0000u);
        QCOMPARE(colourAtText(*box, 4), 0xFF0000u);
        QVERIFY(colourAtText(*box, 5) != 0xFF0000u);
        // Typed inside the tag, text takes the colour of the character before.
        box->setSelStart(3);
        box->setSelText(QStringLiteral("q"));
        QCOMPARE(box->Text(), QStringLiteral("zz<qb>x</b>"));
        QCOMPARE(colourAtText(*box, 3), 0xFF0000u);
    }

    void undoBringsColoursBack()
    {
        auto box = shownBox(QStringLiteral("one <tag> two"));
        box->setSelStart(4);
        box->setSelLength(5);
        box->setSelColor(0x00C000);
        box->setSelStart(4);
        box->setSelLength(5);
        box->setSelText(QString());
        QCOMPARE(box->Text(), QStringLiteral("one  two"));
        box->document()->undo();
        QCOMPARE(box->Text(), QStringLiteral("one <tag> two"));
        QCOMPARE(colourAtText(*box, 4), 0x00C000u);
        QCOMPARE(colourAtText(*box, 8), 0x00C000u);
        QVERIFY(colourAtText(*box, 9) != 0x00C000u);
        box->document()->redo();
        QCOMPARE(box->Text(), QStringLiteral("one  two"));
    }

    void formatChangesKeepColours()
    {
        auto box = shownBox(QStringLiteral("a <b> c"));
        box->setSelStart(2);
        box->setSelLength(3);
        box->setSelColor(0xFF0000);
        box->setSelStart(0);
        box->setSelLength(box->TextLength());
        box->setSelFontSize(14);
        QCOMPARE(colourAtText(*box, 3), 0xFF0000u);
        box->document()->undo(); // undoing the size change is a format change too
        QCOMPARE(box->Text(), QStringLiteral("a <b> c"));
        QCOMPARE(colourAtText(*box, 3), 0xFF0000u);
        QVERIFY(colourAtText(*box, 0) != 0xFF0000u);
    }

    void suspendedWritesGiveTheSameResult()
    {
        const QString text = QStringLiteral("<a>\r\n<b> <c>\r\n\r\n<d>");
        auto direct = shownBox(text);
        auto batched = shownBox(text);
        struct R { int s, l; quint32 c; };
        const std::vector<R> runs{{0, 3, 1}, {5, 3, 2}, {9, 3, 3}, {6, 8, 4}, {16, 3, 5}};
        for (const R &r : runs) {
            direct->setSelStart(r.s);
            direct->setSelLength(r.l);
            direct->setSelColor(r.c);
        }
        QSignalSpy sel(batched.get(), &RichTextBox::SelChange);
        batched->suspendRedraw();
        // Enough writes to take the one-sweep path.
        for (int k = 0; k < 20; ++k) {
            for (const R &r : runs) {
                batched->setSelStart(r.s);
                batched->setSelLength(r.l);
                batched->setSelColor(r.c);
            }
        }
        QCOMPARE(batched->SelStart(), 16);
        batched->resumeRedraw();
        QCOMPARE(sel.count(), 1); // the read-outs learn the final selection once
        QCOMPARE(batched->SelStart(), direct->SelStart());
        QCOMPARE(batched->SelLength(), direct->SelLength());
        const auto a = direct->colourRuns().all();
        const auto b = batched->colourRuns().all();
        QCOMPARE(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i) {
            QCOMPARE(a[i].start, b[i].start);
            QCOMPARE(a[i].length, b[i].length);
            QCOMPARE(a[i].colour, b[i].colour);
        }
    }

    void loadFileKeepsBytesAndReportsMissingFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("s.cgi");
        const QByteArray bytes("#!/usr/bin/perl\r\nprint \"caf\xE9\";\r\n$x = 1;\n");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        auto box = shownBox();
        QSignalSpy change(box.get(), &RichTextBox::Change);
        box->LoadFile(path);
        QCOMPARE(change.count(), 1);
        QCOMPARE(box->SelStart(), 0);
        QVERIFY(box->Text().contains(QString::fromUtf8("caf\xC3\xA9")));
        QCOMPARE(box->encodedText(), bytes);
        QVERIFY(!box->document()->isModified());
        try {
            box->LoadFile(dir.filePath("missing.pl"));
            QFAIL("no error for a missing file");
        } catch (const ControlError &e) {
            QCOMPARE(e.number(), int(ControlError::FileNotFound));
        }
        QVERIFY_THROWS_EXCEPTION(ControlError, box->LoadFile(dir.path()));
    }

    void exactText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("separators") << QByteArray("a\xE2\x80\xA8" "b\xE2\x80\xA9" "c\xEF\xB7\x90" "d\xEF\xB7\x91" "e\r\nf");
        QTest::newRow("noncharacters") << QByteArray("\xEF\xB7\x92\xEF\xB7\xAF\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xA3\xB0 end\n");
        QByteArray controls("x", 1);
        for (int c = 0; c < 0x20; ++c)
            if (c != '\r' && c != '\n')
                controls.append(char(c));
        QTest::newRow("controls") << controls + QByteArray("\x7F\r\n", 3);
        QTest::newRow("stray bytes") << QByteArray("pr\xC3\xA9" "fix\xFF\r\nb\xE9 \xE2\x82\r\n");
        QTest::newRow("lone surrogates") << QByteArray("\xC3\xA9 \xED\xA0\x80\xED\xB0\x80\n");
        QTest::newRow("mixed breaks") << QByteArray("a\r\nb\nc\rd\r\n\ne");
        QTest::newRow("windows-1252") << QByteArray("caf\xE9 \x80\x81\r\n");
        QTest::newRow("bom") << QByteArray("\xEF\xBB\xBFx\xE2\x80\xA9y\r\n");
    }
    void exactText()
    {
        // Unedited, and edited then undone, the text saves as it was read.
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        auto box = loadedBox(dir, bytes);
        QCOMPARE(box->encodedText(), bytes);
        QCOMPARE(box->Text().size(), box->TextLength());
        box->setFocus();
        box->setSelStart(1);
        QTest::keyClick(box.get(), Qt::Key_Q);
        QTest::keyClick(box.get(), Qt::Key_Return);
        QVERIFY(box->encodedText() != bytes);
        box->document()->undo();
        box->document()->undo();
        QCOMPARE(box->encodedText(), bytes);
    }

    void structureCharactersAreText()
    {
        QTemporaryDir dir;
        auto box = loadedBox(dir, QByteArray("a\xE2\x80\xA8" "b\xE2\x80\xA9" "c\xEF\xB7\x90" "d\r\ne"));
        QCOMPARE(box->Text(), QStringLiteral("a\u2028b\u2029c\uFDD0d\r\ne"));
        QCOMPARE(box->GetLineCount(), 2);
        box->setSelStart(3);
        box->setSelLength(1);
        QCOMPARE(box->SelText(), QString(QChar(0x2029)));
        // Given back as text, they stay text.
        box->setText(box->Text());
        QCOMPARE(box->Text(), QStringLiteral("a\u2028b\u2029c\uFDD0d\r\ne"));
        box->setSelRTF(QStringLiteral("{\\rtf1\\ansi \u20AC\u2192 \u00E9}"));
        QVERIFY(box->Text().startsWith(QStringLiteral("\u20AC\u2192 \u00E9")));
    }

    void mixedBreaksChangeOnlyTheEditedBytes()
    {
        // Mostly LF with two CR LF lines; also as a large file, whose lines
        // the control keeps several to a paragraph until they are edited.
        const QByteArray small("one\r\ntwo\nthree\nfour\r\nfive\n");
        QByteArray filler;
        for (int i = 0; i < 3000; ++i)
            filler += "line " + QByteArray::number(i) + "\n";
        for (const QByteArray &bytes : {small, small + filler}) {
            QTemporaryDir dir;
            auto box = loadedBox(dir, bytes);
            box->setFocus();
            // Enter inside a CR LF line: the new break is CR LF.
            box->setSelStart(1);
            QTest::keyClick(box.get(), Qt::Key_Return);
            QCOMPARE(box->encodedText(), QByteArray("o\r\nne\r\ntwo\nthree\nfour\r\nfive\n") + bytes.mid(small.size()));
            box->document()->undo();
            QCOMPARE(box->encodedText(), bytes);
            // Joining two lines and undoing flips no neighbouring break.
            box->setSelStart(int(QByteArray("one\r\ntwo\r\n").size()));
            QTest::keyClick(box.get(), Qt::Key_Backspace);
            QCOMPARE(box->encodedText(), QByteArray("one\r\ntwothree\nfour\r\nfive\n") + bytes.mid(small.size()));
            box->document()->undo();
            QCOMPARE(box->encodedText(), bytes);
            box->setSelStart(int(QByteArray("one\r\ntwo\r\nthree\r\nfour").size()));
            QTest::keyClick(box.get(), Qt::Key_Delete);
            QCOMPARE(box->encodedText(), QByteArray("one\r\ntwo\nthree\nfourfive\n") + bytes.mid(small.size()));
            box->document()->undo();
            QCOMPARE(box->encodedText(), bytes);
        }
    }

    void positionsAcrossPiecesOfALongLine()
    {
        QTemporaryDir dir;
        const QString line = longLine();
        const QString text = line + QStringLiteral("\r\nnext\r\n");
        const QByteArray bytes = text.toUtf8();
        auto box = loadedBox(dir, bytes);
        QVERIFY(box->document()->blockCount() > 4); // kept in pieces
        QCOMPARE(box->Text(), text);
        QCOMPARE(box->TextLength(), int(text.size()));
        for (int p = 0; p <= text.size(); ++p) {
            if (p != line.size() + 1 && p != text.size() - 1) // the LF halves
                QCOMPARE(box->toTextPosition(box->toDocumentPosition(p)), p);
        }
        // Where the pieces join, selections and searches see one line.
        for (QTextBlock b = box->document()->begin(); b.next().isValid(); b = b.next()) {
            const int join = box->toTextPosition(b.position() + b.length() - 1);
            if (join >= line.size())
                break;
            box->setSelStart(join - 5);
            box->setSelLength(10);
            QCOMPARE(box->SelText(), text.mid(join - 5, 10));
            box->setSelStart(join - 20);
            QCOMPARE(box->Find(text.mid(join - 5, 10), -1, box->TextLength()), int(text.indexOf(text.mid(join - 5, 10), join - 20)));
        }
        // It shows as the whole line would, and the count is exact.
        QCOMPARE(box->GetLineCount(), wholeLineLines(*box, line) + 2);
        QCOMPARE(box->GetLineCount(), laidOutLines(*box));
        QCOMPARE(box->encodedText(), bytes);
    }

    void editsAndUndoAcrossPieces()
    {
        QTemporaryDir dir;
        const QString line = longLine();
        const QString text = line + QStringLiteral("\r\nnext");
        const QByteArray bytes = text.toUtf8();
        auto box = loadedBox(dir, bytes);
        box->setFocus();
        const QTextBlock first = box->document()->firstBlock();
        const int joinDoc = first.position() + first.length() - 1;
        const int join = box->toTextPosition(joinDoc);
        QVERIFY(join > 0 && join < line.size());
        QString expected = text;
        // Backspace at a piece's start deletes the character before it,
        // Delete at a piece's end the one after it.
        box->setSelStart(join);
        QTest::keyClick(box.get(), Qt::Key_Backspace);
        expected.remove(join - 1, 1);
        QCOMPARE(box->Text(), expected);
        QTextCursor c = box->textCursor();
        c.setPosition(box->document()->firstBlock().position() + box->document()->firstBlock().length() - 1);
        box->setTextCursor(c);
        QTest::keyClick(box.get(), Qt::Key_Delete);
        expected.remove(join - 1, 1);
        QCOMPARE(box->Text(), expected);
        // A selection across the join replaced by typing.
        box->setSelStart(join - 10);
        box->setSelLength(20);
        QTest::keyClick(box.get(), Qt::Key_X);
        expected.replace(join - 10, 20, QStringLiteral("x"));
        QCOMPARE(box->Text(), expected);
        QCOMPARE(box->GetLineCount(), laidOutLines(*box));
        // Enter where two pieces meet breaks the line there and shows no
        // empty line.
        const QTextBlock second = box->document()->firstBlock().next();
        const int join2 = box->toTextPosition(second.position() + second.length() - 1);
        box->setSelStart(join2);
        QTest::keyClick(box.get(), Qt::Key_Return);
        expected.insert(join2, QStringLiteral("\r\n"));
        QCOMPARE(box->Text(), expected);
        QCOMPARE(box->GetLineCount(), laidOutLines(*box));
        // A piece emptied whole shows no empty line: every empty line on
        // screen is an empty line of the text.
        const QTextBlock third = box->document()->findBlock(box->toDocumentPosition(join2 + 2)).next();
        c = box->textCursor();
        c.setPosition(third.position());
        c.setPosition(third.position() + third.length() - 1, QTextCursor::KeepAnchor);
        expected.remove(box->toTextPosition(c.selectionStart()), c.selectionEnd() - c.selectionStart());
        box->setTextCursor(c);
        QTest::keyClick(box.get(), Qt::Key_Delete);
        QCOMPARE(box->Text(), expected);
        for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next()) {
            const int t = box->toTextPosition(b.position());
            if (b.isVisible() && b.length() == 1)
                QVERIFY((t == 0 || expected.mid(t - 2, 2) == QLatin1String("\r\n"))
                        && (t == expected.size() || expected.mid(t, 2) == QLatin1String("\r\n")));
        }
        QCOMPARE(box->GetLineCount(), laidOutLines(*box));
        // Undo brings it all back exactly.
        while (box->document()->isUndoAvailable())
            box->document()->undo();
        QCOMPARE(box->Text(), text);
        QCOMPARE(box->encodedText(), bytes);
        QCOMPARE(box->GetLineCount(), laidOutLines(*box));
    }

    void largeFilesLoadWithCountedLines()
    {
        // Above the size laid out exactly at once, lines are counted on
        // another thread while the document is built, and the file may
        // have been read ahead (as for the command line).
        QTemporaryDir dir;
        const QString path = dir.filePath("big.cgi");
        QByteArray bytes;
        for (int i = 0; i < 3000; ++i)
            bytes += QByteArray("print \"<TD>$value") + QByteArray::number(i)
                + QByteArray("</TD>\"; # a comment that is long enough to wrap here\r\n");
        writeFile(path, bytes);
        for (bool preload : {false, true}) {
            auto box = shownBox(QString(), QSize(300, 200));
            if (preload)
                platform::DocumentPreloader::start(path);
            box->LoadFile(path);
            QCOMPARE(box->Text().count(QLatin1String("\r\n")), 3000);
            QCOMPARE(box->encodedText(), bytes);
            QCOMPARE(box->Text().size(), bytes.size());
            const int counted = box->GetLineCount();
            auto *layout = qobject_cast<QPlainTextDocumentLayout *>(box->document()->documentLayout());
            for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next())
                layout->ensureBlockLayout(b);
            QVERIFY(counted > 3001);
            QCOMPARE(counted, box->document()->lineCount());
        }
    }

    void loadFileOfRichText()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("n.rtf");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("{\\rtf1\\ansi{\\colortbl ;\\red255\\green0\\blue0;}\\cf1 red\\cf0  \\b bold\\b0\\par next}");
        f.close();
        auto box = shownBox();
        box->LoadFile(path);
        QCOMPARE(box->Text(), QStringLiteral("red bold\r\nnext"));
        QCOMPARE(colourAtText(*box, 0), 0x0000FFu);
        box->setSelStart(5);
        QVERIFY(box->SelBold() || [&] { box->setSelLength(1); return box->SelBold(); }());

        // A line separator inside a paragraph is a line break of Text.
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("{\\rtf1\\ansi a\\u8232?b\\par c}");
        f.close();
        box->LoadFile(path);
        QCOMPARE(box->Text(), QStringLiteral("a\r\nb\r\nc"));
        QCOMPARE(box->TextLength(), 7);
        box->setSelStart(3);
        box->setSelLength(4);
        QCOMPARE(box->SelText(), QStringLiteral("b\r\nc"));

        // Saved as rich text, every line of a plain file stays one line,
        // however the control keeps them.
        QTemporaryDir plainDir;
        const QString text = QStringLiteral("line\r\n").repeated(3000) + longLine() + QStringLiteral("\r\nend");
        auto plain = loadedBox(plainDir, text.toUtf8());
        plain->SaveFile(path);
        box->LoadFile(path);
        QCOMPARE(box->Text(), text);
    }

    void findSemantics()
    {
        auto box = shownBox(QStringLiteral("Alpha beta\r\nALPHA gamma alpha"));
        // Whole text, case-blind.
        QCOMPARE(box->Find(QStringLiteral("alpha")), 0);
        QCOMPARE(box->SelLength(), 5);
        // Inside the selection only.
        box->setSelStart(12);
        box->setSelLength(5);
        QCOMPARE(box->Find(QStringLiteral("alpha")), 12);
        box->setSelStart(13);
        box->setSelLength(4);
        QCOMPARE(box->Find(QStringLiteral("alpha")), -1);
        QCOMPARE(box->SelStart(), 13); // a miss leaves the selection
        QCOMPARE(box->SelLength(), 4);
        // From the caret to an end.
        box->setSelStart(13);
        QCOMPARE(box->Find(QStringLiteral("alpha"), -1, box->TextLength()), 24);
        box->setSelStart(13);
        QCOMPARE(box->Find(QStringLiteral("alpha"), -1, 26), -1);
    }

    void displayLinesCountWrapping()
    {
        auto box = shownBox(QString(), QSize(300, 200));
        QCOMPARE(box->GetLineCount(), 1);
        const QString longLine = QStringLiteral("word ").repeated(60);
        box->setText(QStringLiteral("short\r\n") + longLine + QStringLiteral("\r\nend"));
        // The layout's own count for the long paragraph.
        QTextBlock b = box->document()->findBlockByNumber(1);
        auto *layout = qobject_cast<QPlainTextDocumentLayout *>(box->document()->documentLayout());
        layout->ensureBlockLayout(b);
        const int wrapped = b.layout()->lineCount();
        QVERIFY(wrapped > 2);
        QCOMPARE(box->GetLineCount(), wrapped + 2);
        box->setSelStart(box->TextLength());
        QCOMPARE(box->LineFromChar(), wrapped + 1);
        box->setSelStart(7 + 5 * 59); // the last word of the long line
        QCOMPARE(box->LineFromChar(), wrapped);
    }

    void screenReadersGetTextAndColours()
    {
        auto box = shownBox(QStringLiteral("plain <b>\r\nnext"));
        box->setSelStart(6);
        box->setSelLength(3);
        box->setSelColor(0xFF0000);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(box.get());
        QVERIFY(iface);
        QAccessibleTextInterface *text = iface->textInterface();
        QVERIFY(text);
        QCOMPARE(text->characterCount(), 14);
        QCOMPARE(text->text(0, 14), QStringLiteral("plain <b>\nnext"));
        int start = -1, end = -1;
        const QString tag = text->attributes(7, &start, &end);
        QVERIFY2(tag.contains(QLatin1String("color:rgb(0,0,255)")), qPrintable(tag));
        QCOMPARE(start, 6);
        QCOMPARE(end, 9);
        const QString plain = text->attributes(1, &start, &end);
        QVERIFY(!plain.contains(QLatin1String("color:rgb(0,0,255)")));
        QCOMPARE(start, 0);
        QCOMPARE(end, 6);
        QVERIFY(iface->editableTextInterface());
    }

    void wrapCounterAgreesWithLayout()
    {
        // Script-like lines at several widths: the counter must agree with
        // the text layout itself.
        const QStringList lines = {
            QStringLiteral("print \"<TR><TD ALIGN=CENTER><B>$price1</B></TD><TD>$email</TD></TR>\\n\"; # row 1"),
            QStringLiteral("if ($row eq \"total\") { $total3 = $row . \" and more\"; }"),
            QStringLiteral("print qq(<A HREF=\"/cgi-bin/total.cgi?count=$q4\">total count</A><BR>\\n);"),
            QStringLiteral("@list5 = (1, 2, 3); %hash5 = (\"user\" => $email);"),
            QStringLiteral("my $price6 = param(\"user\") || \"default user\";"),
            QStringLiteral("\tindented\twith\ttabs and-hyphens/slashes,commas;semicolons:colons 12,345.67 (paren) [b] {c}"),
            QStringLiteral("averyveryveryveryveryveryveryveryveryveryveryveryveryveryveryveryverylongword and more"),
            QStringLiteral("   leading spaces     and     runs of spaces      at end      "),
            QString::fromUtf8("caf\xC3\xA9 na\xC3\xAFve \xC2\xAB quoted \xC2\xBB \xE2\x82\xAC 5"),
            QStringLiteral("x=1;y=2;z=$a-$b+$c*$d/$e%$f!$g?$h"),
        };
        const QFont font = RichTextBox::defaultTextFont();
        for (qreal width : {120.0, 200.0, 277.0, 350.0, 512.0}) {
            platform::WrapCounter counter(font, width, 80);
            for (const QString &line : lines) {
                QTextLayout layout(line, font);
                QTextOption option;
                option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
                option.setTabStopDistance(80);
                layout.setTextOption(option);
                layout.beginLayout();
                int n = 0;
                for (;;) {
                    QTextLine l = layout.createLine();
                    if (!l.isValid())
                        break;
                    l.setLineWidth(width);
                    ++n;
                }
                layout.endLayout();
                QVERIFY2(counter.lines(line) == n,
                         qPrintable(QStringLiteral("width %1: %2 (counted %3, laid out %4)")
                                        .arg(width).arg(line).arg(counter.lines(line)).arg(n)));
            }
        }
    }
};

QTEST_MAIN(TestRichTextBox)
#include "tst_richtextbox.moc"
