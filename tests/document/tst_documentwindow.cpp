// The document window: its layout, the close prompt with save-on-close,
// the Quick Link menu on a right-button press, and the read-outs.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "editing/findform.h"
#include "files/commondialog.h"
#include "frame/mainwindow.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/twips.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QApplication>
#include <QTest>
#include <QTimer>

using document::DocumentWindow;
using platform::Answer;

namespace {

const QString kPrompt = QStringLiteral(" Do You Want To Save Changes?");

} // namespace

class TestDocumentWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void newWindowsAreNumberedAndLaidOut()
    {
        EditorFixture f;
        DocumentWindow *one = f.newDocument();
        DocumentWindow *two = f.newDocument();
        QCOMPARE(one->caption(), QStringLiteral("Untitled 1"));
        QCOMPARE(two->caption(), QStringLiteral("Untitled 2"));
        QVERIFY(!two->hasFile());
        QCOMPARE(two->objectName(), QStringLiteral("frmDocument"));
        QCOMPARE(two->rtfText->objectName(), QStringLiteral("rtfText"));
        // The read-outs in a row along the top edge.
        // The read-outs in a row along the top edge, left to right, at
        // least at their design places (further right where the one before
        // needs the room), the text below them.
        const int top = platform::formY(two, 5);
        QCOMPARE(two->lblCurrLineNo->pos(), QPoint(platform::formX(two, 100), top));
        QCOMPARE(two->linetotal->y(), top);
        QCOMPARE(two->filesize->y(), top);
        QVERIFY(two->linetotal->x() >= platform::formX(two, 1700));
        QVERIFY(two->filesize->x() >= platform::formX(two, 4000));
        QVERIFY(two->filesize->x() > two->linetotal->x());
        QVERIFY(two->filesize->isVisible());
        const QRect r = two->rtfText->geometry();
        QCOMPARE(r.left(), platform::formX(two, 60));
        QVERIFY(r.top() >= platform::formY(two, 200));
        QVERIFY(r.top() >= top + two->linetotal->fontMetrics().height());
        QCOMPARE(r.right(), two->width() - platform::formX(two, 100) + r.left() - 1);
        QCOMPARE(r.bottom(), two->height() - 1);
        QCOMPARE(two->rtfText->RightMargin(), platform::pixelsToTwipsX(r.width()) - 400);
        // The document-only menus are back.
        QVERIFY(f.item("mnuhtmltags")->isVisible());
        QVERIFY(f.item("mnuedit")->isVisible());
        QVERIFY(f.item("mnuautoinsert")->isEnabled());
        QVERIFY(f.item("mnuhtmlpreview")->isEnabled());
        QVERIFY(f.quickItem("mnuhtmlpreview")->isEnabled());
        // Closing the second window doesn't free its number.
        two->subWindow()->close();
        QCOMPARE(f.newDocument()->caption(), QStringLiteral("Untitled 3"));
        // Nothing hides the menus again.
        for (DocumentWindow *d : f.window()->documents())
            d->subWindow()->close();
        QVERIFY(f.item("mnuhtmltags")->isVisible());
    }

    void newWindowFitsItsMainWindow()
    {
        EditorFixture f;
        f.window()->resize(1400, 1000);
        QMdiArea *mdi = f.window()->mdiArea();
        const QSize area = mdi->maximumViewportSize();
        QRect last;
        for (int i = 0; i < 6; ++i) {
            const QRect r = f.newDocument()->subWindow()->geometry();
            QVERIFY2(r.width() >= area.width() * 3 / 4 && r.height() >= area.height() * 3 / 4,
                     "three quarters of a large window area");
            // Cascaded, and never out of the area.
            QVERIFY(QRect(QPoint(0, 0), area).contains(r));
            QVERIFY(i == 0 || r.topLeft() != last.topLeft());
            last = r;
        }
    }

    void windowTooSmallKeepsTheText()
    {
        EditorFixture f;
        DocumentWindow *doc = f.newDocument();
        const QRect before = doc->rtfText->geometry();
        const QPoint readout = doc->linetotal->pos();
        doc->resize(platform::twipsToPixelsX(90), platform::twipsToPixelsY(150));
        QCOMPARE(doc->rtfText->geometry(), before);
        QCOMPARE(doc->linetotal->pos(), readout);
    }

    void closeWithoutMarkerAsksNothing()
    {
        EditorFixture f;
        DocumentWindow *doc = f.newDocument();
        QVERIFY(doc->subWindow()->close());
        QCOMPARE(f.ui.messages.size(), 0);
    }

    void namedDocumentYesWritesWithoutDialog()
    {
        EditorFixture f;
        const QString path = f.scratch("named.pl");
        writeFile(path, "old\r\n");
        f.ui.chooseFile(path);
        QVERIFY(f.trigger("mnuFileOpen"));
        DocumentWindow *doc = f.activeDocument();
        QCOMPARE(doc->caption(), path);
        doc->rtfText->setSelStart(doc->rtfText->TextLength());
        doc->rtfText->setSelText(QStringLiteral("new"));
        QCOMPARE(f.window()->panelText(2), QStringLiteral("File - Changed"));
        f.ui.answer(Answer::Yes);
        QVERIFY(doc->subWindow()->close());
        QCOMPARE(f.ui.messages.size(), 1);
        QCOMPARE(f.ui.messages[0].text, kPrompt);
        QCOMPARE(f.ui.messages[0].title, QStringLiteral("File Has Changed"));
        QCOMPARE(int(f.ui.messages[0].buttons), int(platform::Buttons::YesNo));
        QCOMPARE(int(f.ui.messages[0].icon), int(platform::Icon::None));
        QCOMPARE(f.ui.fileRequests.size(), 1); // only the Open
        QCOMPARE(readFile(path), QByteArray("old\r\nnew"));
        QCOMPARE(f.window()->dlgCommonDialog().DialogTitle(), QStringLiteral("Save Changes"));
        QCOMPARE(f.window()->panelText(2), QString());
    }

    void answerNoSavesNothing()
    {
        EditorFixture f;
        DocumentWindow *doc = f.newDocument(QStringLiteral("text"));
        f.ui.answer(Answer::No);
        QVERIFY(doc->subWindow()->close());
        QCOMPARE(f.ui.fileRequests.size(), 0);
        QCOMPARE(f.window()->panelText(2), QString());
    }

    void untitledYesShowsSaveAsPrefilled()
    {
        EditorFixture f;
        f.window()->dlgCommonDialog().setFileName(QStringLiteral("/left/by/last.cgi"));
        DocumentWindow *doc = f.newDocument(QStringLiteral("x = 1;"));
        const QString path = f.scratch("saved.cgi");
        f.ui.answer(Answer::Yes);
        f.ui.chooseFile(path);
        QVERIFY(doc->subWindow()->close());
        QCOMPARE(f.ui.fileRequests.size(), 1);
        QCOMPARE(f.ui.fileRequests[0].title, QStringLiteral("Save As"));
        QVERIFY(f.ui.fileRequests[0].save);
        QCOMPARE(f.ui.fileRequests[0].fileName, QStringLiteral("/left/by/last.cgi"));
        QCOMPARE(f.ui.fileRequests[0].filters.size(), 13);
        QCOMPARE(f.ui.fileRequests[0].filters.at(10), QStringLiteral("Config Files (*.cfg)"));
        QCOMPARE(readFile(path), QByteArray("x = 1;")); // a new document is written with LF
    }

    void cancelInSaveAsKeepsTheWindowOpen()
    {
        EditorFixture f;
        DocumentWindow *doc = f.newDocument(QStringLiteral("keep me"));
        f.ui.answer(Answer::Yes);
        f.ui.cancelFile();
        QVERIFY(!doc->subWindow()->close());
        QCOMPARE(f.window()->documents().size(), 1);
        QCOMPARE(doc->rtfText->Text(), QStringLiteral("keep me"));
    }

    // The real question box: Escape and its close box are no "No".
    void escapeOrCloseBoxAtThePromptKeepsTheWindow_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::addColumn<bool>("exit");
        QTest::newRow("Escape at Close") << true << false;
        QTest::newRow("close box at Close") << false << false;
        QTest::newRow("Escape at Exit") << true << true;
    }

    void escapeOrCloseBoxAtThePromptKeepsTheWindow()
    {
        QFETCH(bool, escape);
        QFETCH(bool, exit);
        EditorFixture f;
        DocumentWindow *doc = f.newDocument(QStringLiteral("typed"));
        QString asked;
        QTimer::singleShot(0, [&] {
            QWidget *box = QApplication::activeModalWidget();
            QVERIFY(box);
            asked = box->windowTitle();
            if (escape)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->close();
        });
        platform::setUi(nullptr);
        f.trigger(exit ? "mnuFileExit" : "mnuFileClose");
        platform::setUi(&f.ui);
        QCOMPARE(asked, QStringLiteral("File Has Changed"));
        QCOMPARE(f.window()->documents().size(), 1);
        QCOMPARE(doc->rtfText->Text(), QStringLiteral("typed"));
        QVERIFY(f.window()->isVisible());
    }

    void unwritablePathReportsAndKeepsTheWindow()
    {
        EditorFixture f;
        DocumentWindow *doc = f.newDocument(QStringLiteral("precious"));
        const QString bad = QStringLiteral("/proc/self/cannot/write.pl");
        f.ui.answer(Answer::Yes);
        f.ui.chooseFile(bad);
        QVERIFY(!doc->subWindow()->close());
        QCOMPARE(f.ui.messages.size(), 2);
        QVERIFY(f.ui.messages[1].text.contains(bad));
        QVERIFY(f.ui.messages[1].text.size() > bad.size() + 12); // with the system's reason
        QCOMPARE(doc->caption(), QStringLiteral("Untitled 1"));
        QCOMPARE(f.window()->documents().size(), 1);
    }

    void sharedMarkerAsksForAnUneditedWindow()
    {
        // The marker is shared: closing an unedited window after editing
        // another asks, and Yes writes the window being closed.
        EditorFixture f;
        const QString path = f.scratch("quiet.pl");
        writeFile(path, "quiet\n");
        f.ui.chooseFile(path);
        QVERIFY(f.trigger("mnuFileOpen"));
        DocumentWindow *quiet = f.activeDocument();
        DocumentWindow *busy = f.newDocument(QStringLiteral("busy"));
        QCOMPARE(f.window()->panelText(2), QStringLiteral("File - Changed"));
        f.ui.answer(Answer::Yes);
        QVERIFY(quiet->subWindow()->close()); // busy is the active one
        QCOMPARE(f.ui.messages.size(), 1);
        QCOMPARE(readFile(path), QByteArray("quiet\n"));
        QCOMPARE(f.window()->documents(), QList<DocumentWindow *>{busy});
    }

    void ownEditsAskEvenWithAnEmptyMarker()
    {
        // Exit with two edited documents: the second is asked about too.
        EditorFixture f;
        DocumentWindow *a = f.newDocument(QStringLiteral("first"));
        DocumentWindow *b = f.newDocument(QStringLiteral("second"));
        Q_UNUSED(a);
        Q_UNUSED(b);
        f.ui.answer(Answer::No);
        f.ui.answer(Answer::No);
        f.close();
        QCOMPARE(f.ui.messages.size(), 2);
        QCOMPARE(f.ui.unexpected, 0);
    }

    void fileNamedLikeUntitledCountsAsNamed()
    {
        EditorFixture f;
        DocumentWindow *doc = f.newDocument(QStringLiteral("z"));
        const QString path = f.scratch("untitled.pl");
        doc->setCaption(path);
        QVERIFY(doc->hasFile()); // "/tmp/...": only a caption starting "Untitled" is untitled
        doc->setCaption(QStringLiteral("Untitledness.pl"));
        QVERIFY(!doc->hasFile());
    }

    void quickLinkOnRightButton()
    {
        EditorFixture f;
        DocumentWindow *doc = f.newDocument(QStringLiteral("abc"));
        QMenu *menu = f.window()->frmlink()->mnun();
        QTest::mouseClick(doc->rtfText->viewport(), Qt::RightButton, {}, QPoint(10, 10));
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("Cancel"));
        menu->hide();
        QVERIFY(f.trigger("mnqloff"));
        QTest::mouseClick(doc->rtfText->viewport(), Qt::RightButton, {}, QPoint(10, 10));
        QCoreApplication::processEvents();
        QVERIFY(!f.window()->frmlink()->mnun()->isVisible());
        QCOMPARE(platform::readSetting("settings", "ql", "on"), QStringLiteral("off"));
    }

    void readOutTexts()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        EditorFixture f;
        DocumentWindow *doc = f.newDocument();
        QString many;
        for (int i = 0; i < 12344; ++i)
            many += QStringLiteral("x\r\n");
        doc->rtfText->setSelText(many);
        QCOMPARE(doc->linetotal->text(), QStringLiteral("Total Number Of Lines = 12,345"));
        QCOMPARE(doc->lblCurrLineNo->text(), QStringLiteral("Line Number = 12,345"));
        QCOMPARE(doc->filesize->text(), QStringLiteral("Total Bytes = 0"));
        doc->rtfText->setSelStart(0);
        QCOMPARE(doc->lblCurrLineNo->text(), QStringLiteral("Line Number= 1"));
        // The byte count is that of the file the dialog last named.
        const QString path = f.scratch("sized.txt");
        writeFile(path, QByteArray(1234, 'q'));
        f.window()->dlgCommonDialog().setFileName(path);
        doc->rtfText->setSelStart(2);
        QCOMPARE(doc->filesize->text(), QStringLiteral("Total Bytes = 1234"));
        // Any key sets the marker, an arrow key too.
        f.window()->framclean();
        QTest::keyClick(doc->rtfText, Qt::Key_Right);
        QCOMPARE(f.window()->panelText(2), QStringLiteral("File - Changed"));
        QLocale::setDefault(QLocale::c());
    }

    void wrappedLinesCount()
    {
        EditorFixture f;
        DocumentWindow *doc = f.newDocument();
        doc->rtfText->setSelText(QStringLiteral("word ").repeated(80));
        const int lines = doc->rtfText->GetLineCount();
        QVERIFY(lines > 3);
        QCOMPARE(doc->linetotal->text(), QStringLiteral("Total Number Of Lines = %1").arg(lines));
        QCOMPARE(doc->lblCurrLineNo->text(), QStringLiteral("Line Number = %1").arg(lines));
    }
};

QTEST_MAIN(TestDocumentWindow)
#include "tst_documentwindow.moc"
