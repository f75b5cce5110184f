// The toolbar: its 21 entries and pictures, and what a click on each
// button does, with and without a document, and with the page viewer
// active. Clicks go to the buttons themselves.

#include "support/browsermain.h"
#include "support/fixture.h"

#include "document/documentwindow.h"
#include "editing/findform.h"
#include "frame/mainwindow.h"
#include "frame/toolbar.h"
#include "html/viewerwindow.h"
#include "platform/richtextbox.h"
#include "platform/twips.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

struct Entry
{
    const char *key; // nullptr: separator
    int picture;
};

const Entry kEntries[21] = {
    {"New", 1},         {"Open", 2},    {"Save", 3},         {nullptr, 0},       {"Print", 4},
    {nullptr, 0},       {"Cut", 5},     {"Copy", 6},         {"Paste", 7},       {"Delete", 14},
    {"Find", 16},       {nullptr, 0},   {"Bold", 8},         {"Italic", 9},      {"Underline", 10},
    {nullptr, 0},       {"Align Left", 11}, {"Center", 12},  {"Align Right", 13}, {nullptr, 0},
    {"Preview Html", 18},
};

QToolBar *toolbar(EditorFixture &f)
{
    return f.window()->tbToolBar();
}

QAction *button(EditorFixture &f, const QString &key)
{
    for (QAction *a : toolbar(f)->actions()) {
        if (!a->isSeparator() && a->objectName() == key)
            return a;
    }
    return nullptr;
}

// A left click on the button that shows the key.
void click(EditorFixture &f, const QString &key)
{
    QAction *a = button(f, key);
    QVERIFY2(a, qPrintable(key));
    QWidget *w = toolbar(f)->widgetForAction(a);
    QVERIFY(w);
    QTest::mouseClick(w, Qt::LeftButton);
    QCoreApplication::processEvents();
}

QImage pictureImage(const QIcon &icon)
{
    return icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
}

// A document with "xx abc yy" and abc selected.
platform::RichTextBox *abcSelected(EditorFixture &f)
{
    document::DocumentWindow *doc = f.newDocument(QStringLiteral("xx abc yy"));
    if (!doc)
        return nullptr;
    doc->rtfText->setSelStart(3);
    doc->rtfText->setSelLength(3);
    return doc->rtfText;
}

} // namespace

class TestToolbar : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init()
    {
        clearSettings();
        QApplication::clipboard()->clear();
    }

    void entriesInOrderWithKeysAndPictures()
    {
        EditorFixture f;
        QToolBar *tb = toolbar(f);
        QCOMPARE(tb->objectName(), QStringLiteral("tbToolBar"));
        QCOMPARE(tb->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QCOMPARE(tb->iconSize(), QSize(16, 16));
        const QList<QAction *> actions = tb->actions();
        QCOMPARE(actions.size(), 21);
        const QList<QIcon> &pictures = frame::PictureList::imlToolbarIcons();
        int buttons = 0;
        for (int i = 0; i < 21; ++i) {
            QAction *a = actions.at(i);
            const Entry &e = kEntries[i];
            if (!e.key) {
                QVERIFY2(a->isSeparator(), qPrintable(QString::number(i + 1)));
                continue;
            }
            ++buttons;
            const QString key = QString::fromLatin1(e.key);
            QVERIFY(!a->isSeparator());
            QCOMPARE(a->objectName(), key);
            QCOMPARE(a->toolTip(), key);
            QCOMPARE(pictureImage(a->icon()), pictureImage(pictures.at(e.picture - 1)));
            auto *tbutton = qobject_cast<QToolButton *>(tb->widgetForAction(a));
            QVERIFY(tbutton);
            QCOMPARE(tbutton->toolButtonStyle(), Qt::ToolButtonIconOnly);
            QCOMPARE(tbutton->toolTip(), key);
            QCOMPARE(tbutton->size(), QSize(platform::twipsToPixelsX(609), platform::twipsToPixelsY(582)));
            QVERIFY(a->isEnabled());
        }
        QCOMPARE(buttons, 16);
        // Only View > "&Menu Bar" shows and hides the bar.
        std::unique_ptr<QMenu> bars(f.window()->createPopupMenu());
        QVERIFY(!bars || bars->isEmpty());
    }

    void pictureList()
    {
        const QList<QIcon> &pictures = frame::PictureList::imlToolbarIcons();
        QCOMPARE(pictures.size(), 18);
        const char *keys[18] = {"New",  "Open",   "Save",       "Print",       "Cut",    "Copy",
                                "Paste", "Bold",  "Italic",     "Underline",   "Align Left", "Center",
                                "Align Right", "Delete", "Camera", "Find", "Spell Check", ""};
        for (int i = 1; i <= 18; ++i) {
            QCOMPARE(frame::PictureList::key(i), QString::fromLatin1(keys[i - 1]));
            const QImage image = pictureImage(pictures.at(i - 1));
            QCOMPARE(image.size(), QSize(16, 16));
            // Drawn on a transparent background: the corners show through.
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        }
        QCOMPARE(frame::PictureList::key(0), QString());
        QCOMPARE(frame::PictureList::key(19), QString());
        // No button shows the camera or the spelling picture.
        EditorFixture f;
        for (QAction *a : toolbar(f)->actions()) {
            if (a->isSeparator())
                continue;
            const QImage shown = pictureImage(a->icon());
            QVERIFY2(shown != pictureImage(pictures.at(14)), qPrintable(a->objectName()));
            QVERIFY2(shown != pictureImage(pictures.at(16)), qPrintable(a->objectName()));
        }
    }

    void snippetButtonsWrapSelection_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Bold") << "Bold" << "xx <B>abc</B> yy";
        QTest::newRow("Italic") << "Italic" << "xx <I>abc</I> yy";
        QTest::newRow("Underline") << "Underline" << "xx <U>abc</U> yy";
        QTest::newRow("Align Left") << "Align Left" << "xx <div align=left>abc</div> yy";
        QTest::newRow("Center") << "Center" << "xx <div align=center>abc</div> yy";
        QTest::newRow("Align Right") << "Align Right" << "xx <div align=right>abc</div> yy";
        QTest::newRow("Delete") << "Delete" << "xx  yy";
    }

    void snippetButtonsWrapSelection()
    {
        QFETCH(QString, key);
        QFETCH(QString, expected);
        EditorFixture f;
        platform::RichTextBox *box = abcSelected(f);
        QVERIFY(box);
        click(f, key);
        QCOMPARE(box->Text(), expected);
        // The caret after the inserted text, nothing selected.
        QCOMPARE(box->SelStart(), expected.size() - 3);
        QCOMPARE(box->SelLength(), 0);
        QCOMPARE(f.window()->panelText(2), QStringLiteral("File - Changed"));
    }

    void menuAlignmentQuotesWhereButtonDoesNot()
    {
        EditorFixture f;
        platform::RichTextBox *box = abcSelected(f);
        QVERIFY(box);
        QVERIFY(f.trigger("mnuhtltag3"));
        QCOMPARE(box->Text(), QStringLiteral("xx <div align=\"right\">abc</div> yy"));
    }

    void boldWithoutSelectionAndDeleteWithoutSelection()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("ab"))->rtfText;
        box->setSelStart(1);
        click(f, QStringLiteral("Delete"));
        QCOMPARE(box->Text(), QStringLiteral("ab"));
        click(f, QStringLiteral("Bold"));
        QCOMPARE(box->Text(), QStringLiteral("a<B></B>b"));
        QCOMPARE(box->SelStart(), 8);
        QCOMPARE(box->SelLength(), 0);
    }

    void fileButtonsRunTheirCommands()
    {
        EditorFixture f;
        click(f, QStringLiteral("New"));
        QCOMPARE(f.window()->documents().size(), 1);
        QVERIFY(f.activeDocument()->caption().startsWith(QLatin1String("Untitled ")));

        f.ui.cancelFile();
        click(f, QStringLiteral("Open"));
        QCOMPARE(f.ui.fileRequests.size(), 1);
        QVERIFY(!f.ui.fileRequests.at(0).save);

        // An untitled document is saved through the Save As dialog.
        f.activeText()->setSelText(QStringLiteral("text"));
        const QString path = f.scratch("saved.pl");
        f.ui.chooseFile(path);
        click(f, QStringLiteral("Save"));
        QCOMPARE(f.ui.fileRequests.size(), 2);
        QVERIFY(f.ui.fileRequests.at(1).save);
        QCOMPARE(f.activeDocument()->caption(), path);

        f.ui.print(false);
        click(f, QStringLiteral("Print"));
        QCOMPARE(f.ui.printRequests.size(), 1);
        QCOMPARE(f.ui.printRequests.at(0).title, QStringLiteral("Print"));
        QCOMPARE(f.ui.unexpected, 0);
    }

    void clipboardButtons()
    {
        EditorFixture f;
        platform::RichTextBox *box = abcSelected(f);
        QVERIFY(box);
        click(f, QStringLiteral("Copy"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("abc"));
        QCOMPARE(box->Text(), QStringLiteral("xx abc yy"));
        box->setSelStart(0);
        box->setSelLength(2);
        click(f, QStringLiteral("Cut"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("xx"));
        QCOMPARE(box->Text(), QStringLiteral(" abc yy"));
        box->setSelStart(box->TextLength());
        click(f, QStringLiteral("Paste"));
        QCOMPARE(box->Text(), QStringLiteral(" abc yyxx"));
    }

    void findButtonShowsFindDialogWithSelection()
    {
        EditorFixture f;
        click(f, QStringLiteral("Find"));
        QVERIFY(!f.window()->loadedFrmlink()->isVisible());
        QVERIFY(abcSelected(f));
        click(f, QStringLiteral("Find"));
        editing::FindForm *form = f.window()->loadedFrmlink();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        QCOMPARE(form->Text1->text(), QStringLiteral("abc"));
    }

    void nothingWithoutDocument()
    {
        EditorFixture f;
        for (const char *key : {"Bold", "Italic", "Underline", "Align Left", "Center", "Align Right", "Delete",
                                "Find", "Preview Html", "Cut", "Copy", "Paste"})
            click(f, QString::fromLatin1(key));
        QVERIFY(f.window()->mdiArea()->subWindowList().isEmpty());
        QVERIFY(!html::pageViewer());
        QVERIFY(!f.window()->loadedFrmlink()->isVisible());
        QCOMPARE(f.ui.unexpected, 0);
        QVERIFY(f.ui.messages.isEmpty());
    }

    void nothingWithViewerActive()
    {
        EditorFixture f;
        platform::RichTextBox *box = abcSelected(f);
        QVERIFY(box);
        html::PageViewer *viewer = html::showPageViewer();
        html::focusPageViewer(viewer);
        QCOMPARE(f.window()->activeChild(), viewer);
        for (const char *key : {"Bold", "Italic", "Underline", "Align Left", "Center", "Align Right", "Delete",
                                "Preview Html"})
            click(f, QString::fromLatin1(key));
        QCOMPARE(box->Text(), QStringLiteral("xx abc yy"));
        QCOMPARE(f.window()->activeChild(), viewer);
    }

    void separatorsAndUnknownKeysRunNothing()
    {
        EditorFixture f;
        platform::RichTextBox *box = abcSelected(f);
        QVERIFY(box);
        QToolBar *tb = toolbar(f);
        for (QAction *a : tb->actions()) {
            if (!a->isSeparator())
                continue;
            a->trigger();
            if (QWidget *w = tb->widgetForAction(a))
                QTest::mouseClick(w, Qt::LeftButton);
        }
        // Keys match exactly, case included.
        frame::buttonClick(QStringLiteral("bold"));
        frame::buttonClick(QStringLiteral("Camera"));
        frame::buttonClick(QString());
        QCoreApplication::processEvents();
        QCOMPARE(box->Text(), QStringLiteral("xx abc yy"));
        QCOMPARE(box->SelLength(), 3);
        QCOMPARE(f.window()->documents().size(), 1);
        QVERIFY(f.ui.fileRequests.isEmpty());
        QVERIFY(f.ui.printRequests.isEmpty());
        QCOMPARE(f.ui.unexpected, 0);
    }
};

QUILLET_BROWSER_TEST_MAIN(TestToolbar)

#include "tst_toolbar.moc"
