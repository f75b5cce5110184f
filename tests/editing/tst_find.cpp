// The Find dialog: its two ways of opening, Find inside a selection, Find
// Next from the end of the current match, case-blind search, and the
// Quick Link menu it holds coming back in its design state after Close.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "editing/findform.h"
#include "frame/mainwindow.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/twips.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void select(platform::RichTextBox *box, int start, int length)
{
    box->setSelStart(start);
    box->setSelLength(length);
}
} // namespace

class TestFind : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void layout()
    {
        EditorFixture f;
        editing::FindForm *form = f.window()->frmlink();
        QCOMPARE(form->objectName(), QStringLiteral("frmlink"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Find"));
        QCOMPARE(form->size(), platform::formRect(form, 0, 0, 3165, 1290).size());
        QCOMPARE(form->Command1->geometry(), platform::formRect(form, 1080, 720, 855, 375));
        QCOMPARE(form->Command3->text(), QStringLiteral("&Find"));
        QCOMPARE(form->Command1->text(), QStringLiteral("Find &Next"));
        QCOMPARE(form->Command2->text(), QStringLiteral("&Close"));
        QCOMPARE(form->Label1->text(), QStringLiteral("Find What?"));
        QCOMPARE(form->Text1->nextInFocusChain(), form->Command1);
        QCOMPARE(form->Command1->nextInFocusChain(), form->Command2);
        QCOMPARE(form->Command2->nextInFocusChain(), form->Command3);
        // Loaded at start-up with no document: empty box, no Find Next.
        QCOMPARE(form->Text1->text(), QString());
        QVERIFY(!form->Command1->isEnabled());
        QVERIFY(!f.item("mnufindnext")->isVisible());
        QVERIFY(!f.item("mnufindnext")->isEnabled());
    }

    void mainMenuOpensOwnedWithSelection()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("one two one two"))->rtfText;
        select(box, 4, 3);
        QVERIFY(f.trigger("menufind"));
        editing::FindForm *form = f.window()->frmlink();
        QVERIFY(form->isVisible());
        QCOMPARE(form->parentWidget(), f.window());
        QVERIFY(!(form->windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(form->Text1->text(), QStringLiteral("two"));
        QVERIFY(form->Command1->isEnabled());

        // Find searches inside the selection and selects the same word.
        form->Command3->click();
        QCOMPARE(box->SelStart(), 4);
        QCOMPARE(box->SelLength(), 3);
        QCOMPARE(form->searchText(), QStringLiteral("two"));
        // Find Next moves on to the next one.
        form->Command1->click();
        QCOMPARE(box->SelStart(), 12);
        QCOMPARE(box->SelLength(), 3);
        // After the last match: nothing found, no wrap, no message; the
        // caret stays at the end of that match.
        form->Command1->click();
        QCOMPARE(box->SelStart(), 15);
        QCOMPARE(box->SelLength(), 0);
        QVERIFY(f.ui.messages.isEmpty());
    }

    void findNextStartsAtEndOfMatch()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("abab"))->rtfText;
        box->setSelStart(0);
        QVERIFY(f.trigger("menufind"));
        editing::FindForm *form = f.window()->frmlink();
        form->Text1->setText(QStringLiteral("ab"));
        form->Command3->click();
        QCOMPARE(box->SelStart(), 0);
        QCOMPARE(box->SelLength(), 2);
        form->Command1->click();
        QCOMPARE(box->SelStart(), 2);
        QCOMPARE(box->SelLength(), 2);
    }

    void findInSelectionOnly()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("cat\ndog cat"))->rtfText;
        editing::FindForm *form = f.window()->frmlink();
        form->Text1->setText(QStringLiteral("cat"));
        select(box, 5, 3); // "dog"
        form->Command3->click();
        QCOMPARE(box->SelStart(), 5); // not found: the selection stays
        QCOMPARE(box->SelLength(), 3);
        select(box, 5, 7); // "dog cat": positions count the break as two
        form->Command3->click();
        QCOMPARE(box->SelStart(), 9);
        QCOMPARE(box->SelLength(), 3);
        QCOMPARE(box->SelText(), QStringLiteral("cat"));
    }

    void caseBlind()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("print Hello;"))->rtfText;
        box->setSelStart(0);
        editing::FindForm *form = f.window()->frmlink();
        form->Text1->setText(QStringLiteral("HELLO"));
        form->Command3->click();
        QCOMPARE(box->SelText(), QStringLiteral("Hello"));
        QCOMPARE(box->SelStart(), 6);
        QTRY_COMPARE(QApplication::focusWidget(), box);
    }

    void findNextUsesLastFoundText()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("xx yy xx yy"))->rtfText;
        box->setSelStart(0);
        editing::FindForm *form = f.window()->frmlink();
        form->Text1->setText(QStringLiteral("yy"));
        // Nothing searched for yet: Find Next finds nothing.
        form->Command1->click();
        QCOMPARE(box->SelLength(), 0);
        form->Command3->click();
        QCOMPARE(box->SelStart(), 3);
        form->Text1->setText(QStringLiteral("xx"));
        form->Command1->click();
        QCOMPARE(box->SelStart(), 9); // still "yy"
        QCOMPARE(box->SelText(), QStringLiteral("yy"));
    }

    void emptyBoxDisablesFindNextUntilTyped()
    {
        EditorFixture f;
        f.newDocument(QStringLiteral("text"));
        f.activeText()->setSelStart(0);
        QVERIFY(f.trigger("menufind"));
        editing::FindForm *form = f.window()->frmlink();
        QCOMPARE(form->Text1->text(), QString());
        QVERIFY(!form->Command1->isEnabled());
        QTest::keyClicks(form->Text1, QStringLiteral("t"));
        QVERIFY(form->Command1->isEnabled());
    }

    void quickLinkOpensTopmostUnownedAndKeepsBox()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("alpha beta"))->rtfText;
        editing::FindForm *form = f.window()->frmlink();
        form->Text1->setText(QStringLiteral("kept"));
        select(box, 0, 5);
        QVERIFY(f.triggerQuick("menufind"));
        QVERIFY(form->isVisible());
        QVERIFY(!form->parentWidget());
        QVERIFY(form->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(form->testAttribute(Qt::WA_ShowWithoutActivating));
        QCOMPARE(form->frameGeometry().topLeft(), QPoint(300, 200));
        // 220 by 100 pixels of the design font, scaled as the form is.
        QCOMPARE(form->frameGeometry().size(), QSize(platform::formX(form, 220 * 15), platform::formY(form, 100 * 15)));
        QCOMPARE(form->Text1->text(), QStringLiteral("kept"));

        // From the main menu again: owned, box from the selection.
        QVERIFY(f.trigger("menufind"));
        QCOMPARE(form->parentWidget(), f.window());
        QVERIFY(!(form->windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(form->Text1->text(), QStringLiteral("alpha"));
    }

    void noDocumentDoesNothing()
    {
        EditorFixture f;
        QVERIFY(f.trigger("menufind"));
        editing::FindForm *form = f.window()->frmlink();
        QVERIFY(!form->isVisible());
        form->Text1->setText(QStringLiteral("x"));
        form->Command3->click();
        form->Command1->click();
        QCOMPARE(form->searchText(), QString());
        QCOMPARE(f.ui.unexpected, 0);
        QVERIFY(f.ui.messages.isEmpty());
    }

    void closeUnloadsQuickLinkMenuToDesignState()
    {
        platform::writeSetting(QStringLiteral("settings"), QStringLiteral("spellcheck"),
                               QStringLiteral("Check &Spelling"));
        EditorFixture f;
        f.newDocument(QStringLiteral("word"));
        QVERIFY(f.quickItem("mnqlon")->isChecked());
        QVERIFY(f.quickItem("mnucoloron")->isChecked());
        QCOMPARE(f.quickItem("mnuspelling")->text(), QStringLiteral("Check &Spelling"));
        QVERIFY(f.quickItem("mnuhtmlpreview")->isEnabled());

        f.activeText()->setSelStart(0);
        f.activeText()->setSelLength(4);
        QVERIFY(f.trigger("menufind"));
        editing::FindForm *form = f.window()->frmlink();
        form->Command3->click();
        form->Command2->click();
        flushDeletes();
        QVERIFY(!f.window()->loadedFrmlink());

        // Loaded afresh: design state, the box from the selection of now.
        f.activeText()->setSelStart(1);
        f.activeText()->setSelLength(2);
        for (const char *name : {"mnqlon", "mnqloff", "mnucoloron", "mnucoloroff", "mnuediton",
                                 "mnueditoff", "mnuvaron", "mnuvaroff", "mnucomcoloron", "mnucomcoloroff"})
            QVERIFY2(!f.quickItem(QString::fromLatin1(name))->isChecked(), name);
        QCOMPARE(f.quickItem("mnuspelling")->text(), QStringLiteral("Install Spell Check"));
        QVERIFY(!f.quickItem("mnuhtmlpreview")->isEnabled());
        editing::FindForm *fresh = f.window()->loadedFrmlink();
        QVERIFY(fresh); // a new form: the old one was deleted above
        QVERIFY(!fresh->isVisible());
        QCOMPARE(fresh->Text1->text(), QStringLiteral("or"));
        QCOMPARE(fresh->searchText(), QString());
        // The main menu keeps its own marks.
        QVERIFY(f.item("mnqlon")->isChecked());

        // A document window's load enables preview again.
        f.newDocument();
        QVERIFY(f.quickItem("mnuhtmlpreview")->isEnabled());
    }
};

QTEST_MAIN(TestFind)
#include "tst_find.moc"
