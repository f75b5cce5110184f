// Cut, Copy, Paste, Delete and Select All, from both menus, with and
// without a document; Paste of rich-text source keeps its formatting.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "platform/richtextbox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {
const QString kChanged = QStringLiteral("File - Changed");

QClipboard *clip()
{
    return QGuiApplication::clipboard();
}

// The character format of the document at a Text position (the format of
// the character after it).
QTextCharFormat formatAt(platform::RichTextBox *box, int textPos)
{
    QTextCursor c(box->document());
    c.setPosition(box->toDocumentPosition(textPos) + 1);
    return c.charFormat();
}
} // namespace

class TestClipboard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init()
    {
        clearSettings();
        clip()->setText(QStringLiteral("left over"));
    }

    void copyAndCut()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("hello world"))->rtfText;
        f.window()->framclean();
        box->setSelStart(6);
        box->setSelLength(5);
        QVERIFY(f.trigger("mnuEditCopy"));
        QCOMPARE(clip()->text(), QStringLiteral("world"));
        QCOMPARE(box->Text(), QStringLiteral("hello world"));
        QCOMPARE(f.window()->panelText(2), QString());

        box->setSelStart(0);
        box->setSelLength(6);
        QVERIFY(f.triggerQuick("mnuEditCut"));
        QCOMPARE(clip()->text(), QStringLiteral("hello "));
        QCOMPARE(box->Text(), QStringLiteral("world"));
        QCOMPARE(f.window()->panelText(2), kChanged);
    }

    void lineBreaksSurviveCopyAndPaste()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("one\ntwo\n"))->rtfText;
        box->setSelStart(0);
        box->setSelLength(box->TextLength());
        QVERIFY(f.trigger("mnuEditCopy"));
        QCOMPARE(clip()->text(), QStringLiteral("one\ntwo\n"));
        box->setSelStart(box->TextLength());
        QVERIFY(f.trigger("mnuEditPaste"));
        QCOMPARE(box->Text(), QStringLiteral("one\r\ntwo\r\none\r\ntwo\r\n"));
    }

    void copyWithNothingSelectedPutsEmptyText()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("abc"))->rtfText;
        box->setSelStart(1);
        QVERIFY(f.trigger("mnuEditCopy"));
        QVERIFY(clip()->mimeData()->hasText());
        QCOMPARE(clip()->text(), QString());
    }

    void copyAndCutWithoutDocumentEmptyClipboard()
    {
        EditorFixture f;
        QVERIFY(f.trigger("mnuEditCopy"));
        QCOMPARE(clip()->text(), QString());
        clip()->setText(QStringLiteral("again"));
        QVERIFY(f.triggerQuick("mnuEditCut"));
        QCOMPARE(clip()->text(), QString());
        // The others do nothing at all.
        clip()->setText(QStringLiteral("kept"));
        for (const char *name : {"mnuEditPaste", "mnudelete", "mnuSelectAll"}) {
            QVERIFY(f.trigger(QString::fromLatin1(name)));
            QVERIFY(f.triggerQuick(QString::fromLatin1(name)));
        }
        QCOMPARE(clip()->text(), QStringLiteral("kept"));
        QCOMPARE(f.window()->panelText(2), QString());
        QCOMPARE(f.ui.unexpected, 0);
        QVERIFY(f.ui.messages.isEmpty());
    }

    void pasteReplacesSelection()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("one two three"))->rtfText;
        f.window()->framclean();
        clip()->setText(QStringLiteral("2\nlines"));
        box->setSelStart(4);
        box->setSelLength(3);
        QVERIFY(f.trigger("mnuEditPaste"));
        QCOMPARE(box->Text(), QStringLiteral("one 2\r\nlines three"));
        QCOMPARE(box->SelStart(), 12);
        QCOMPARE(box->SelLength(), 0);
        QCOMPARE(f.window()->panelText(2), kChanged);
    }

    void pasteWithoutTextDeletesSelection()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("keep cut keep"))->rtfText;
        f.window()->framclean();
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        clip()->setImage(image);
        QVERIFY(!clip()->mimeData()->hasText());
        box->setSelStart(5);
        box->setSelLength(4);
        QVERIFY(f.triggerQuick("mnuEditPaste"));
        QCOMPARE(box->Text(), QStringLiteral("keep keep"));
        QCOMPARE(f.window()->panelText(2), kChanged);
    }

    void pasteOfRichTextSourceKeepsFormatting()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("[]"))->rtfText;
        clip()->setText(QStringLiteral(
            "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}"
            "\\f0 plain \\b bold\\b0  \\cf1 red\\cf0}"));
        box->setSelStart(1);
        QVERIFY(f.trigger("mnuEditPaste"));
        QCOMPARE(box->Text(), QStringLiteral("[plain bold red]"));
        QVERIFY(formatAt(box, 1).fontWeight() < QFont::Bold);
        QVERIFY(formatAt(box, 7).fontWeight() >= QFont::Bold);
        QVERIFY(formatAt(box, 11).fontWeight() < QFont::Bold);
        // Colour: either kept as a character format or as a colour run.
        box->setSelStart(12);
        box->setSelLength(3);
        QCOMPARE(box->SelColor(), quint32(0x0000FF));
        QCOMPARE(formatAt(box, 12).foreground().color(), QColor(255, 0, 0));
    }

    void selectAll()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("a\nb"))->rtfText;
        f.window()->framclean();
        QSignalSpy changes(box, &platform::RichTextBox::Change);
        QVERIFY(f.trigger("mnuSelectAll"));
        QCOMPARE(box->SelStart(), 0);
        QCOMPARE(box->SelLength(), 4);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(f.window()->panelText(2), QString());

        platform::RichTextBox *empty = f.newDocument()->rtfText;
        QVERIFY(f.triggerQuick("mnuSelectAll"));
        QCOMPARE(empty->SelLength(), 0);
        QCOMPARE(f.ui.unexpected, 0);
    }

    void deleteRemovesSelection()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("abcdef"))->rtfText;
        f.window()->framclean();
        box->setSelStart(2);
        box->setSelLength(2);
        QVERIFY(f.trigger("mnudelete"));
        QCOMPARE(box->Text(), QStringLiteral("abef"));
        QCOMPARE(f.window()->panelText(2), kChanged);
    }
};

QTEST_MAIN(TestClipboard)
#include "tst_clipboard.moc"
