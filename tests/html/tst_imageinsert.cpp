// "New Image": the shared dialog's settings, the tag with the path exactly
// as chosen, Cancel, and no dialog without a document.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "files/commondialog.h"
#include "frame/mainwindow.h"
#include "platform/richtextbox.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

namespace {
const QString kFilter = QStringLiteral(
    "BMP Files (*.bmp)|*.bmp|JPG Files (*.jpg)|*.jpg|JPEG Files (*.jpeg)|*.jpeg|PNG Files(*.png)|*.png|"
    "GIF Files (*.gif)|*.gif|ALL Files (*.*)|*.*|");
}

class TestImageInsert : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void insertsChosenPathReplacingSelection()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("<p>old</p>"))->rtfText;
        f.window()->framclean();
        box->setSelStart(3);
        box->setSelLength(3);
        const QString path = QStringLiteral("/home/me/My Pictures/Logo (1).GIF");
        f.ui.chooseFile(path);
        QVERIFY(f.trigger("mnunewimage"));
        QCOMPARE(box->Text(), QStringLiteral("<p><IMG SRC=\"/home/me/My Pictures/Logo (1).GIF\" ALT=\"\"></p>"));
        QCOMPARE(box->SelStart(), box->TextLength() - 4);
        QCOMPARE(box->SelLength(), 0);
        QCOMPARE(f.window()->panelText(2), QStringLiteral("File - Changed"));

        QCOMPARE(f.ui.fileRequests.size(), 1);
        const platform::FileRequest &r = f.ui.fileRequests.first();
        QVERIFY(!r.save);
        QCOMPARE(r.title, QStringLiteral("Add New Image"));
        QCOMPARE(r.fileName, QString());
        QCOMPARE(r.filters, QStringList({"BMP Files (*.bmp)", "JPG Files (*.jpg)", "JPEG Files (*.jpeg)",
                                         "PNG Files(*.png)", "GIF Files (*.gif)", "ALL Files (*.*)"}));
        files::CommonDialog &dlg = f.window()->dlgCommonDialog();
        QCOMPARE(dlg.Filter(), kFilter);
        QVERIFY(dlg.CancelError());
        QCOMPARE(dlg.FileName(), path);
    }

    void opensEmptyAndKeepsLastFilterEntry()
    {
        EditorFixture f;
        f.newDocument();
        f.ui.chooseFile(QStringLiteral("/pics/a.png"), 3);
        QVERIFY(f.trigger("mnunewimage"));
        f.ui.chooseFile(QStringLiteral("/pics/b.png"));
        QVERIFY(f.trigger("mnunewimage"));
        QCOMPARE(f.ui.fileRequests.size(), 2);
        QCOMPARE(f.ui.fileRequests.at(1).fileName, QString());
        QCOMPARE(f.ui.fileRequests.at(1).filterIndex, 3);
        QCOMPARE(f.activeText()->Text(),
                 QStringLiteral("<IMG SRC=\"/pics/a.png\" ALT=\"\"><IMG SRC=\"/pics/b.png\" ALT=\"\">"));
    }

    void cancelLeavesEverything()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("keep this"))->rtfText;
        f.window()->framclean();
        box->setSelStart(5);
        box->setSelLength(4);
        f.ui.cancelFile();
        QVERIFY(f.trigger("mnunewimage"));
        QCOMPARE(f.ui.fileRequests.size(), 1);
        QCOMPARE(box->Text(), QStringLiteral("keep this"));
        QCOMPARE(box->SelText(), QStringLiteral("this"));
        QCOMPARE(f.window()->panelText(2), QString());
        QVERIFY(f.ui.messages.isEmpty());
    }

    void noDialogWithoutDocument()
    {
        EditorFixture f;
        QVERIFY(f.trigger("mnunewimage"));
        // A child without a text control, as the page viewer is.
        QMdiSubWindow *sub = f.window()->addChild(new QWidget);
        sub->show();
        f.window()->mdiArea()->setActiveSubWindow(sub);
        QVERIFY(f.trigger("mnunewimage"));
        QVERIFY(f.ui.fileRequests.isEmpty());
        QCOMPARE(f.ui.unexpected, 0);
        QVERIFY(!f.quickItem("mnunewimage"));
    }
};

QTEST_MAIN(TestImageInsert)
#include "tst_imageinsert.moc"
