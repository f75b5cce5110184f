// The Inserter window: its layout, owned or unowned opening, replacing the
// first occurrence (inside the selection when there is one), and silence
// without a document.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "html/inserter.h"
#include "platform/richtextbox.h"
#include "platform/twips.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>

using html::Inserter;

namespace {
// A rectangle in the form's design twips, scaled as the form is.
QRect twips(const QWidget *form, int l, int t, int w, int h)
{
    return platform::formRect(form, l, t, w, h);
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

platform::RichTextBox *docWith(EditorFixture &f, const QString &text, int start, int length)
{
    platform::RichTextBox *box = f.newDocument(text)->rtfText;
    f.window()->framclean();
    box->setSelStart(start);
    box->setSelLength(length);
    return box;
}

// Fills the boxes and presses "Insert".
void insert(Inserter *in, const QString &find, const QString &replacement)
{
    in->Text1->setText(find);
    in->Text2->setText(replacement);
    in->Command1->click();
}
} // namespace

class TestInserter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void layout()
    {
        EditorFixture f;
        docWith(f, QStringLiteral("x"), 0, 0);
        QVERIFY(f.trigger("mnuautoinsert"));
        Inserter *in = Inserter::instance();
        QVERIFY(in);
        QVERIFY(in->isVisible());
        QCOMPARE(in->objectName(), QStringLiteral("frminsert"));
        QCOMPARE(in->windowTitle(), QStringLiteral("Quillet Inserter"));
        QCOMPARE(in->parentWidget(), f.window());
        QVERIFY(in->windowFlags() & Qt::Tool);
        QVERIFY(in->windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
        QCOMPARE(in->minimumSize(), in->maximumSize());
        QCOMPARE(in->size(), twips(in, 0, 0, 3510, 2070).size());
        QCOMPARE(in->Label1->text(), QStringLiteral("This is the text you want to change"));
        QCOMPARE(in->Label2->text(), QStringLiteral("Enter What you want it to be changed to"));
        QCOMPARE(in->Label1->geometry(), twips(in, 240, 120, 2475, 195));
        QCOMPARE(in->Text1->geometry(), twips(in, 120, 360, 3255, 285));
        QCOMPARE(in->Label2->geometry(), twips(in, 240, 720, 2880, 195));
        QCOMPARE(in->Text2->geometry(), twips(in, 120, 960, 3255, 285));
        QCOMPARE(in->Command1->geometry(), twips(in, 120, 1440, 855, 375));
        QCOMPARE(in->Command2->geometry(), twips(in, 1200, 1440, 1095, 375));
        QCOMPARE(in->Command3->geometry(), twips(in, 2520, 1440, 855, 375));
        QCOMPARE(in->Command1->text(), QStringLiteral("Insert"));
        QCOMPARE(in->Command2->text(), QStringLiteral("Get Text"));
        QCOMPARE(in->Command3->text(), QStringLiteral("&Close"));
        const QList<QWidget *> order = {in->Text1, in->Text2, in->Command1, in->Command2, in->Command3};
        QCOMPARE(focusChain(order), order);
        const QPoint centre = f.window()->frameGeometry().center();
        QVERIFY((in->frameGeometry().center() - centre).manhattanLength() <= 2);
    }

    void caseBlindReplaceOfFirstOccurrence()
    {
        EditorFixture f;
        platform::RichTextBox *box = docWith(f, QStringLiteral("$name = name;\nname"), 4, 0);
        QVERIFY(f.trigger("mnuautoinsert"));
        Inserter *in = Inserter::instance();
        insert(in, QStringLiteral("NAME"), QStringLiteral("user"));
        QCOMPARE(box->Text(), QStringLiteral("$user = name;\r\nname"));
        QCOMPARE(box->SelStart(), 5);
        QCOMPARE(box->SelLength(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::focusWidget(), box);
        QCOMPARE(f.window()->panelText(2), QStringLiteral("File - Changed"));
        // Each click searches the whole text again.
        in->Command1->click();
        QCOMPARE(box->Text(), QStringLiteral("$user = user;\r\nname"));
        in->Command1->click();
        QCOMPARE(box->Text(), QStringLiteral("$user = user;\r\nuser"));
        QVERIFY(in->isVisible());
    }

    void onlyInsideSelection()
    {
        EditorFixture f;
        // "ab" before, inside and after the selected "[ab ab]".
        platform::RichTextBox *box = docWith(f, QStringLiteral("ab [ab ab] ab"), 3, 7);
        QVERIFY(f.trigger("mnuautoinsert"));
        insert(Inserter::instance(), QStringLiteral("ab"), QStringLiteral("X"));
        QCOMPARE(box->Text(), QStringLiteral("ab [X ab] ab"));
        QCOMPARE(box->SelStart(), 5);
    }

    void notFound()
    {
        EditorFixture f;
        platform::RichTextBox *box = docWith(f, QStringLiteral("hello world"), 5, 0);
        QVERIFY(f.trigger("mnuautoinsert"));
        Inserter *in = Inserter::instance();
        // Nothing selected: inserted at the caret.
        insert(in, QStringLiteral("zzz"), QStringLiteral(","));
        QCOMPARE(box->Text(), QStringLiteral("hello, world"));
        // A selection without it: the selection is replaced.
        box->setSelStart(7);
        box->setSelLength(5);
        insert(in, QStringLiteral("hello"), QStringLiteral("there"));
        QCOMPARE(box->Text(), QStringLiteral("hello, there"));
        // An empty search text: the replacement goes at the caret.
        box->setSelStart(0);
        insert(in, QString(), QStringLiteral(">"));
        QCOMPARE(box->Text(), QStringLiteral(">hello, there"));
    }

    void emptyReplacementDeletes()
    {
        EditorFixture f;
        platform::RichTextBox *box = docWith(f, QStringLiteral("keep drop keep"), 0, 0);
        QVERIFY(f.trigger("mnuautoinsert"));
        insert(Inserter::instance(), QStringLiteral("drop "), QString());
        QCOMPARE(box->Text(), QStringLiteral("keep keep"));
    }

    void getTextAndSingleInstance()
    {
        EditorFixture f;
        platform::RichTextBox *box = docWith(f, QStringLiteral("first second"), 0, 5);
        QVERIFY(f.trigger("mnuautoinsert"));
        Inserter *in = Inserter::instance();
        QCOMPARE(in->Text1->text(), QStringLiteral("first"));
        in->Text2->setText(QStringLiteral("typed"));
        box->setSelStart(6);
        box->setSelLength(6);
        in->Command2->click();
        QCOMPARE(in->Text1->text(), QStringLiteral("second"));
        // Opening again only raises it.
        QVERIFY(f.triggerQuick("mnuinserter"));
        QCOMPARE(Inserter::instance(), in);
        QCOMPARE(in->Text2->text(), QStringLiteral("typed"));
        QCOMPARE(in->Text1->text(), QStringLiteral("second"));

        in->Command3->click();
        flushDeletes();
        QVERIFY(!Inserter::instance());
        box->setSelStart(0);
        box->setSelLength(2);
        QVERIFY(f.trigger("mnuautoinsert"));
        QCOMPARE(Inserter::instance()->Text1->text(), QStringLiteral("fi"));
        QCOMPARE(Inserter::instance()->Text2->text(), QString());
    }

    void quickLinkOpensWithoutOwnerOrDocument()
    {
        EditorFixture f;
        QVERIFY(f.triggerQuick("mnuinserter"));
        Inserter *in = Inserter::instance();
        QVERIFY(in);
        QVERIFY(in->isVisible());
        QVERIFY(!in->parentWidget());
        QCOMPARE(in->Text1->text(), QString());
        // Without a document nothing happens and the box keeps its text.
        in->Text1->setText(QStringLiteral("kept"));
        in->Command1->click();
        in->Command2->click();
        QCOMPARE(in->Text1->text(), QStringLiteral("kept"));
        QCOMPARE(f.window()->panelText(2), QString());
        QCOMPARE(f.ui.unexpected, 0);
        // It goes when the main window goes.
        f.close();
        flushDeletes();
        QVERIFY(!Inserter::instance());
    }

    void mainMenuNeedsAChild()
    {
        EditorFixture f;
        f.newDocument();
        QVERIFY(f.trigger("mnuFileClose"));
        QVERIFY(f.item("mnuautoinsert")->isEnabled());
        QVERIFY(f.trigger("mnuautoinsert"));
        QVERIFY(!Inserter::instance());

        // With a child that has no text (as the page viewer) it opens, and
        // Insert does nothing.
        platform::RichTextBox *box = docWith(f, QStringLiteral("text"), 0, 0);
        QMdiSubWindow *sub = f.window()->addChild(new QWidget);
        sub->show();
        f.window()->mdiArea()->setActiveSubWindow(sub);
        QVERIFY(f.trigger("mnuautoinsert"));
        Inserter *in = Inserter::instance();
        QVERIFY(in);
        insert(in, QStringLiteral("text"), QStringLiteral("gone"));
        QCOMPARE(box->Text(), QStringLiteral("text"));
        QCOMPARE(f.window()->panelText(2), QString());
        QVERIFY(f.ui.messages.isEmpty());
    }
};

QTEST_MAIN(TestInserter)
#include "tst_inserter.moc"
