// The Tag Inserter window: its layout, one instance at a time, the element
// and comment it builds from its boxes or the document's selection, and
// silence without a document.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "frame/mainwindow.h"
#include "html/taginserter.h"
#include "platform/richtextbox.h"
#include "platform/twips.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>

using html::TagInserter;

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

TagInserter *openWindow(EditorFixture &f)
{
    if (!f.trigger(QStringLiteral("mnutagwiz")))
        return nullptr;
    return f.window()->findChild<TagInserter *>(QStringLiteral("tagwiz"));
}

platform::RichTextBox *docWith(EditorFixture &f, const QString &text, int start, int length)
{
    platform::RichTextBox *box = f.newDocument(text)->rtfText;
    f.window()->framclean();
    box->setSelStart(start);
    box->setSelLength(length);
    return box;
}
} // namespace

class TestTagInserter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void layout()
    {
        EditorFixture f;
        TagInserter *t = openWindow(f);
        QVERIFY(t);
        QVERIFY(t->isVisible());
        QCOMPARE(t->windowTitle(), QStringLiteral("Tag Inserter"));
        QCOMPARE(t->parentWidget(), f.window());
        QVERIFY(t->windowFlags() & Qt::Tool);
        QVERIFY(t->windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
        QCOMPARE(t->minimumSize(), t->maximumSize());
        QCOMPARE(t->size(), twips(t, 0, 0, 5520, 3105).size());
        QCOMPARE(t->Label1->text(), QStringLiteral("Tag Name"));
        QCOMPARE(t->Label1->geometry(), twips(t, 120, 120, 750, 195));
        QCOMPARE(t->Text1->geometry(), twips(t, 960, 120, 3495, 285));
        QCOMPARE(t->rtf1->geometry(), twips(t, 0, 480, 5415, 2055));
        QCOMPARE(t->Command2->geometry(), twips(t, 120, 2640, 975, 375));
        QCOMPARE(t->Command4->geometry(), twips(t, 1200, 2640, 1095, 375));
        QCOMPARE(t->Command1->geometry(), twips(t, 2400, 2640, 975, 375));
        QCOMPARE(t->Command5->geometry(), twips(t, 3480, 2640, 855, 375));
        QCOMPARE(t->Command3->geometry(), twips(t, 4440, 2640, 975, 375));
        QCOMPARE(t->Command2->text(), QStringLiteral("&Insert Tag"));
        QCOMPARE(t->Command4->text(), QStringLiteral("Comments"));
        QCOMPARE(t->Command1->text(), QStringLiteral("Get Text"));
        QCOMPARE(t->Command5->text(), QStringLiteral("Reset"));
        QCOMPARE(t->Command3->text(), QStringLiteral("&Close"));
        // Tab order: Text1, rtf1, Command2, Command3, Command1, Command4, Command5.
        const QList<QWidget *> order = {t->Text1,    t->rtf1,     t->Command2, t->Command3,
                                        t->Command1, t->Command4, t->Command5};
        QCOMPARE(focusChain(order), order);
        // Centred over the main window.
        const QPoint centre = f.window()->frameGeometry().center();
        QVERIFY((t->frameGeometry().center() - centre).manhattanLength() <= 2);
        QVERIFY(!f.quickItem("mnutagwiz"));
    }

    void attributesRepeatedInClosingTag()
    {
        EditorFixture f;
        platform::RichTextBox *box = docWith(f, QStringLiteral("[]"), 1, 0);
        TagInserter *t = openWindow(f);
        t->Text1->setText(QStringLiteral("font color=red"));
        t->rtf1->setText(QStringLiteral("Hi"));
        t->Command2->click();
        QCOMPARE(box->Text(), QStringLiteral("[<font color=red>Hi</font color=red>]"));
        QCOMPARE(box->SelStart(), box->TextLength() - 1);
        QCOMPARE(box->SelLength(), 0);
        QCOMPARE(f.window()->panelText(2), QStringLiteral("File - Changed"));
    }

    void emptyTagBox()
    {
        EditorFixture f;
        platform::RichTextBox *box = docWith(f, QString(), 0, 0);
        TagInserter *t = openWindow(f);
        t->rtf1->setText(QStringLiteral("x"));
        t->Command2->click();
        QCOMPARE(box->Text(), QStringLiteral("<>x</>"));
    }

    void bodyFromContentBoxOrSelection()
    {
        EditorFixture f;
        platform::RichTextBox *box = docWith(f, QStringLiteral("a abc z"), 2, 3);
        TagInserter *t = openWindow(f);
        // Opened with abc selected: the content box took it.
        QCOMPARE(t->rtf1->Text(), QStringLiteral("abc"));
        t->rtf1->setText(QString());
        t->Text1->setText(QStringLiteral("em"));
        t->Command2->click();
        QCOMPARE(box->Text(), QStringLiteral("a <em>abc</em> z"));

        // Nothing selected either: the empty element.
        t->Command2->click();
        QCOMPARE(box->Text(), QStringLiteral("a <em>abc</em><em></em> z"));

        // A non-empty content box replaces the selection.
        box->setSelStart(0);
        box->setSelLength(1);
        t->rtf1->setText(QStringLiteral("two\nlines"));
        t->Command2->click();
        QCOMPARE(box->Text(), QStringLiteral("<em>two\r\nlines</em> <em>abc</em><em></em> z"));
    }

    void comments()
    {
        EditorFixture f;
        platform::RichTextBox *box = docWith(f, QStringLiteral("note"), 0, 0);
        TagInserter *t = openWindow(f);
        t->Command4->click();
        QCOMPARE(box->Text(), QStringLiteral("<!--  -->note"));
        box->setSelStart(9);
        box->setSelLength(4);
        t->Command4->click();
        QCOMPARE(box->Text(), QStringLiteral("<!--  --><!-- note -->"));
        QCOMPARE(box->SelStart(), box->TextLength());
        box->setSelStart(0);
        t->rtf1->setText(QStringLiteral("c"));
        t->Command4->click();
        QCOMPARE(box->Text(), QStringLiteral("<!-- c --><!--  --><!-- note -->"));
    }

    void getTextAndReset()
    {
        EditorFixture f;
        platform::RichTextBox *box = docWith(f, QStringLiteral("pick me"), 5, 2);
        TagInserter *t = openWindow(f);
        t->rtf1->setText(QStringLiteral("old"));
        t->Command1->click();
        QCOMPARE(t->rtf1->Text(), QStringLiteral("me"));
        box->setSelStart(0);
        t->Command1->click();
        QCOMPARE(t->rtf1->Text(), QString());

        t->Text1->setText(QStringLiteral("b"));
        t->rtf1->setText(QStringLiteral("x"));
        t->Command5->click();
        QCOMPARE(t->Text1->text(), QString());
        QCOMPARE(t->rtf1->Text(), QString());
        t->Command2->click();
        QCOMPARE(box->Text(), QStringLiteral("<></>pick me"));
    }

    void singleInstanceAndUnloadOnClose()
    {
        EditorFixture f;
        docWith(f, QStringLiteral("sel"), 0, 3);
        TagInserter *t = openWindow(f);
        t->Text1->setText(QStringLiteral("typed"));
        t->rtf1->setText(QStringLiteral("content"));
        TagInserter *again = openWindow(f);
        QCOMPARE(again, t);
        QCOMPARE(f.window()->findChildren<TagInserter *>().size(), 1);
        QCOMPARE(t->Text1->text(), QStringLiteral("typed"));
        QCOMPARE(t->rtf1->Text(), QStringLiteral("content"));

        t->Command3->click();
        flushDeletes();
        QVERIFY(!TagInserter::instance());
        TagInserter *fresh = openWindow(f);
        QVERIFY(fresh);
        QCOMPARE(fresh->Text1->text(), QString());
        QCOMPARE(fresh->rtf1->Text(), QStringLiteral("sel"));
    }

    void silentWithoutDocument()
    {
        EditorFixture f;
        TagInserter *t = openWindow(f);
        QVERIFY(t);
        QCOMPARE(t->rtf1->Text(), QString());
        t->Text1->setText(QStringLiteral("b"));
        t->rtf1->setText(QStringLiteral("kept"));
        t->Command2->click();
        t->Command4->click();
        t->Command1->click();
        QCOMPARE(t->rtf1->Text(), QStringLiteral("kept"));

        // A child without a text control, as the page viewer is.
        platform::RichTextBox *box = docWith(f, QStringLiteral("doc"), 0, 0);
        QMdiSubWindow *sub = f.window()->addChild(new QWidget);
        sub->show();
        f.window()->mdiArea()->setActiveSubWindow(sub);
        t->Command2->click();
        t->Command4->click();
        t->Command1->click();
        QCOMPARE(box->Text(), QStringLiteral("doc"));
        QCOMPARE(t->rtf1->Text(), QStringLiteral("kept"));
        QCOMPARE(f.window()->panelText(2), QString());
        QCOMPARE(f.ui.unexpected, 0);
        QVERIFY(f.ui.messages.isEmpty());
    }

    void closesWithMainWindow()
    {
        EditorFixture f;
        TagInserter *t = openWindow(f);
        QVERIFY(t);
        f.close();
        flushDeletes();
        QVERIFY(!TagInserter::instance());
    }
};

QTEST_MAIN(TestTagInserter)
#include "tst_taginserter.moc"
