// The "Resize Font" items: the whole text takes the item's size, the
// caret goes to the start, and only the main menu's items clear the
// changed marker.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "platform/richtextbox.h"

#include <QAction>
#include <QFile>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

namespace {
const QString kChanged = QStringLiteral("File - Changed");

// Every character's size, or -1 when they differ.
double uniformSize(platform::RichTextBox *box)
{
    double size = 0;
    for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const double s = it.fragment().charFormat().fontPointSize();
            if (size == 0)
                size = s;
            else if (s != size)
                return -1;
        }
    }
    return size;
}
} // namespace

class TestTextSize : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void everyItemSetsItsSize()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("first line\nsecond <b>line</b>"))->rtfText;
        for (int i = 0; i < 10; ++i) {
            const QString name = QStringLiteral("menusize%1").arg(i);
            box->setSelStart(5);
            box->setSelLength(3);
            QVERIFY(i % 2 ? f.trigger(name) : f.triggerQuick(name));
            QCOMPARE(uniformSize(box), double(9 + i));
            QCOMPARE(box->SelStart(), 0);
            QCOMPARE(box->SelLength(), 0);
        }
        QCOMPARE(f.item("menusize0")->text(), QStringLiteral("10%"));
        QCOMPARE(f.item("menusize9")->text(), QStringLiteral("100%"));
    }

    void mainMenuClearsMarkerQuickLinkDoesNot()
    {
        EditorFixture f;
        document::DocumentWindow *doc = f.newDocument(QStringLiteral("edited"));
        QCOMPARE(f.window()->panelText(2), kChanged);
        QVERIFY(f.triggerQuick("menusize0"));
        QCOMPARE(f.window()->panelText(2), kChanged);
        QVERIFY(f.trigger("menusize9"));
        QCOMPARE(f.window()->panelText(2), QString());
        QCOMPARE(doc->rtfText->Text(), QStringLiteral("edited"));
        // The typed text is still unsaved, and closing still asks for it.
        QVERIFY(doc->hasUnsavedEdits());
        f.ui.answer(platform::Answer::No);
        QVERIFY(f.trigger("mnuFileClose"));
        QCOMPARE(f.ui.messages.size(), 1);
    }

    void sizeAloneIsNoUnsavedEdit()
    {
        EditorFixture f;
        const QString path = f.scratch("a.pl");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("abc\n");
        }
        f.ui.chooseFile(path);
        QVERIFY(f.trigger("mnuFileOpen"));
        QVERIFY(f.triggerQuick("menusize5"));
        QVERIFY(f.trigger("menusize4"));
        QVERIFY(!f.activeDocument()->hasUnsavedEdits());
        f.ui.clear();
        QVERIFY(f.trigger("mnuFileClose"));
        QVERIFY(f.ui.messages.isEmpty());
    }

    void noDocument()
    {
        EditorFixture f;
        f.window()->setPanelText(2, kChanged);
        QVERIFY(f.triggerQuick("menusize3"));
        QCOMPARE(f.window()->panelText(2), kChanged);
        QVERIFY(f.trigger("menusize3"));
        QCOMPARE(f.window()->panelText(2), QString());
        QCOMPARE(f.ui.unexpected, 0);
        QVERIFY(f.ui.messages.isEmpty());
    }

    void emptyDocument()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument()->rtfText;
        QVERIFY(f.trigger("menusize2"));
        QCOMPARE(box->Text(), QString());
        QCOMPARE(box->SelStart(), 0);
        // Typed text takes the size.
        box->setSelText(QStringLiteral("x"));
        QCOMPARE(uniformSize(box), 11.0);
    }
};

QTEST_MAIN(TestTextSize)
#include "tst_textsize.moc"
