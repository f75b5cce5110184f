// What a screen reader learns through Qt's accessibility interfaces, and
// the keys of the windows, one group per window: the page viewer's web
// content, the status bar, documents, Find, Tag Inserter, Inserter, the
// program picker, the side windows, the tip of the day, the menus' switch
// pairs and the about box.

#include "support/browsermain.h"
#include "support/fixture.h"

#include "document/documentwindow.h"
#include "editing/findform.h"
#include "frame/mainwindow.h"
#include "frame/statusbar.h"
#include "help/about.h"
#include "help/tipofday.h"
#include "html/inserter.h"
#include "html/taginserter.h"
#include "html/viewerwindow.h"
#include "platform/browser.h"
#include "platform/programfolder.h"
#include "platform/richtextbox.h"
#include "platform/spelldialog.h"
#include "tools/launchers.h"
#include "tools/sidewindows.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace {

constexpr int kLoadTimeout = 20000;

QAccessibleInterface *accessible(QObject *object)
{
    return QAccessible::queryAccessibleInterface(object);
}

QString nameOf(QObject *object)
{
    QAccessibleInterface *iface = accessible(object);
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("<none>");
}

QAccessible::Role roleOf(QObject *object)
{
    QAccessibleInterface *iface = accessible(object);
    return iface ? iface->role() : QAccessible::NoRole;
}

// The first object below root (depth first) with the role and name.
QAccessibleInterface *findAccessible(QAccessibleInterface *root, QAccessible::Role role, const QString &name,
                                     int depth = 0)
{
    if (!root || depth > 40)
        return nullptr;
    if (root->role() == role && root->text(QAccessible::Name) == name)
        return root;
    for (int i = 0; i < root->childCount(); ++i) {
        if (QAccessibleInterface *hit = findAccessible(root->child(i), role, name, depth + 1))
            return hit;
    }
    return nullptr;
}

// The events a screen reader would be sent, with the name or description
// the object had when each was raised.
struct Heard
{
    QObject *object;
    QAccessible::Event type;
    QString text;
};
QList<Heard> g_heard;

void hear(QAccessibleEvent *event)
{
    QAccessibleInterface *iface = event->accessibleInterface();
    const QAccessible::Text which =
        event->type() == QAccessible::DescriptionChanged ? QAccessible::Description : QAccessible::Name;
    g_heard.append({event->object(), event->type(), iface ? iface->text(which) : QString()});
}

bool heard(QObject *object, QAccessible::Event type, const QString &text)
{
    return std::any_of(g_heard.begin(), g_heard.end(), [&](const Heard &h) {
        return h.object == object && h.type == type && h.text == text;
    });
}

// (A dialog counts as active while its owner is: wait for the dialog.)
bool activate(QWidget *window)
{
    window->activateWindow();
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        isolateSettings();
        // As with a screen reader listening: events are raised.
        QAccessible::installUpdateHandler(hear);
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
    }
    void init()
    {
        clearSettings();
        g_heard.clear();
    }

    void webContentIsReadable()
    {
        EditorFixture f;
        writeFile(platform::programFile(QStringLiteral("\\list.html")),
                  "<html><head><title>Scripts</title></head><body><h1>Guest book</h1>"
                  "<p><a href=\"guest.cgi\">Sign the book</a></p></body></html>");
        QVERIFY(f.trigger("mnuscriptlist"));
        html::PageViewer *viewer = html::pageViewer();
        QVERIFY(viewer);
        if (!viewer->brwWebBrowser->usesEngine())
            QSKIP("the browser engine can't start here; the viewer uses its stand-in");
        QTRY_COMPARE_WITH_TIMEOUT(viewer->windowTitle(), QStringLiteral("Scripts"), kLoadTimeout);
        QAccessibleInterface *root = accessible(viewer->brwWebBrowser);
        QTRY_VERIFY_WITH_TIMEOUT(findAccessible(root, QAccessible::Heading, QStringLiteral("Guest book")),
                                 kLoadTimeout);
        QVERIFY(findAccessible(root, QAccessible::Link, QStringLiteral("Sign the book")));
    }

    void statusBarSaysWhatItShows()
    {
        EditorFixture f;
        frame::StatusBar *bar = f.window()->sbStatusBar();
        for (int panel = 1; panel <= 4; ++panel) {
            auto *label = bar->findChild<QLabel *>(QStringLiteral("Panel%1").arg(panel));
            QCOMPARE(nameOf(label), bar->panelText(panel));
            QVERIFY(!accessible(label)->text(QAccessible::Description).isEmpty());
        }
        f.newDocument(QStringLiteral("x"));
        QCOMPARE(bar->panelText(2), QStringLiteral("File - Changed"));
        QVERIFY(heard(bar->findChild<QLabel *>(QStringLiteral("Panel2")), QAccessible::NameChanged,
                      QStringLiteral("File - Changed")));
    }

    void documentsAreNamedAfterTheirCaptions()
    {
        EditorFixture f;
        document::DocumentWindow *first = f.newDocument(QStringLiteral("one"));
        document::DocumentWindow *second = f.newDocument(QStringLiteral("two"));
        QCOMPARE(nameOf(first->rtfText), first->caption());
        QCOMPARE(nameOf(second->rtfText), second->caption());
        QVERIFY(first->caption() != second->caption());

        // Switching documents moves the focus to the other text, by name.
        QVERIFY(activate(f.window()));
        f.window()->mdiArea()->setActiveSubWindow(first->subWindow());
        QTRY_VERIFY(heard(first->rtfText, QAccessible::Focus, first->caption()));

        // A command-line document's byte read-out isn't shown yet, and says so.
        const QString path = f.scratch(QStringLiteral("page.cgi"));
        writeFile(path, "print 1;\n");
        EditorFixture g(path);
        QVERIFY(accessible(g.activeDocument()->filesize)->state().invisible);
    }

    void quickLinkFromTheKeyboard()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("line\nline"))->rtfText;
        QMenu *menu = f.window()->frmlink()->mnun();
        const QPoint caret = box->viewport()->mapToGlobal(box->cursorRect().bottomLeft());
        QTest::keyClick(box, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->pos(), caret);
        QCOMPARE(menu->activeAction(), menu->actions().constFirst()); // "Cancel", read at once
        menu->hide();
        QTest::keyClick(box, Qt::Key_Menu);
        QTRY_VERIFY(menu->isVisible());
        menu->hide();

        // With "Quick Link Off" neither key opens it.
        QVERIFY(f.trigger("mnqloff"));
        QTest::keyClick(box, Qt::Key_F10, Qt::ShiftModifier);
        QTest::keyClick(box, Qt::Key_Menu);
        QTest::qWait(50);
        QVERIFY(!f.window()->frmlink()->mnun()->isVisible());
    }

    void findDialog()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("cat dog cat"))->rtfText;
        box->setSelStart(0);
        QVERIFY(f.trigger("menufind"));
        QPointer<editing::FindForm> form = f.window()->frmlink();
        QCOMPARE(roleOf(form), QAccessible::Dialog);
        QCOMPARE(nameOf(form->Text1), QStringLiteral("Find What?"));
        QCOMPARE(nameOf(form->Command1), QStringLiteral("Find Next"));

        // The dialog's own Alt+F wins over the main window's File menu, and
        // after Find the main window and its document have the keyboard.
        QSignalSpy finds(form->Command3, &QPushButton::clicked);
        for (int round = 1; round <= 2; ++round) {
            QVERIFY(activate(form));
            form->Text1->setText(QStringLiteral("cat"));
            QTest::keyClick(form->Text1, Qt::Key_F, Qt::AltModifier);
            QTRY_COMPARE(finds.count(), round);
            QTRY_COMPARE(QApplication::activeWindow(), f.window());
            QCOMPARE(QApplication::focusWidget(), box);
            QVERIFY(!f.window()->menus().menu(QStringLiteral("mnuFile"))->isVisible());
        }
        QCOMPARE(box->SelText(), QStringLiteral("cat"));

        // Enter in the box finds; Escape closes.
        QVERIFY(activate(form));
        QTest::keyClick(form->Text1, Qt::Key_Return);
        QCOMPARE(finds.count(), 3);
        QVERIFY(activate(form));
        QTest::keyClick(form->Text1, Qt::Key_Escape);
        QTRY_VERIFY(!form);
    }

    void tagInserter()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QString())->rtfText;
        QVERIFY(f.trigger("mnutagwiz"));
        QPointer<html::TagInserter> t = html::TagInserter::instance();
        QCOMPARE(roleOf(t), QAccessible::Dialog);
        QCOMPARE(nameOf(t->Text1), QStringLiteral("Tag Name"));
        QCOMPARE(nameOf(t->Command4), QStringLiteral("Comments"));
        QCOMPARE(nameOf(t->Command1), QStringLiteral("Get Text"));
        QVERIFY(!accessible(t->Command4)->text(QAccessible::Description).isEmpty());

        // Tab and Ctrl+Tab leave the content box without typing a tab.
        QVERIFY(activate(t));
        t->rtf1->setFocus();
        QTest::keyClick(t->rtf1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), t->Command2);
        t->rtf1->setFocus();
        QTest::keyClick(t->rtf1, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), t->Command2);
        QCOMPARE(t->rtf1->Text(), QString());

        // Enter in the tag box inserts the tag, Escape closes.
        t->Text1->setText(QStringLiteral("b"));
        t->rtf1->setText(QStringLiteral("x"));
        QTest::keyClick(t->Text1, Qt::Key_Return);
        QCOMPARE(box->Text(), QStringLiteral("<b>x</b>"));
        QTest::keyClick(t->Text1, Qt::Key_Escape);
        QTRY_VERIFY(!t);
    }

    void inserter()
    {
        EditorFixture f;
        platform::RichTextBox *box = f.newDocument(QStringLiteral("old text"))->rtfText;
        QVERIFY(f.trigger("mnuautoinsert"));
        QPointer<html::Inserter> in = html::Inserter::instance();
        QCOMPARE(roleOf(in), QAccessible::Dialog);
        QCOMPARE(nameOf(in->Text1), in->Label1->text());
        QCOMPARE(nameOf(in->Text2), in->Label2->text());
        QCOMPARE(nameOf(in->Command1), QStringLiteral("Insert"));
        QCOMPARE(nameOf(in->Command2), QStringLiteral("Get Text"));

        QVERIFY(activate(in));
        in->Text1->setText(QStringLiteral("old"));
        in->Text2->setText(QStringLiteral("new"));
        QTest::keyClick(in->Text2, Qt::Key_Return);
        QCOMPARE(box->Text(), QStringLiteral("new text"));
        QVERIFY(activate(in));
        QTest::keyClick(in->Text2, Qt::Key_Escape);
        QTRY_VERIFY(!in);
    }

    void programPicker()
    {
        EditorFixture f;
        QVERIFY(f.trigger("programst"));
        QPointer<tools::DeskLink> desk = tools::openDeskLink();
        QCOMPARE(roleOf(desk), QAccessible::Dialog);
        // Named for what it is, not for the drive it shows.
        QCOMPARE(nameOf(desk->Drive1), QStringLiteral("Drive"));
        QCOMPARE(accessible(desk->Drive1)->text(QAccessible::Value), desk->Drive1->currentText());
        QCOMPARE(nameOf(desk->File1), desk->Label1->text());
        QVERIFY(activate(desk));
        QTest::keyClick(desk->File1, Qt::Key_Escape);
        QTRY_VERIFY(!desk);
    }

    void spellerSuggestionsAreNamed()
    {
        platform::SpellDialog dialog({QStringLiteral("teh"), QStringLiteral("teh cat"), 0,
                                      {QStringLiteral("the")}, nullptr});
        QCOMPARE(nameOf(dialog.lstSuggestions), QStringLiteral("Suggestions:"));
    }

    void sideWindows()
    {
        EditorFixture f;
        QVERIFY(f.trigger("mnuholder"));
        QPointer<tools::SideWindow> keeper = tools::SideWindow::instance(tools::SideWindow::CodeKeeper);
        QCOMPARE(roleOf(keeper), QAccessible::Window);
        QCOMPARE(nameOf(keeper), QStringLiteral("Code Keeper"));
        keeper->text()->setText(QStringLiteral("kept"));
        const QString file = keeper->contentFile();
        QVERIFY(activate(keeper));
        QTest::keyClick(keeper->text(), Qt::Key_Escape);
        QTRY_VERIFY(!keeper);
        QVERIFY(readFile(file).contains("kept"));
    }

    void tipOfTheDay()
    {
        help::setTipRandomSource([] {
            static int n = 0;
            return (n++ % 2) ? 0.9 : 0.1;
        });
        EditorFixture f;
        help::TipWindow *tip = help::tipWindow();
        QVERIFY(tip);
        QTRY_VERIFY(tip->isActiveWindow());
        QVERIFY(tip->isAncestorOf(QApplication::focusWidget()));
        QCOMPARE(focusChain({tip->lblTipText, tip->chkLoadTipsAtStartup, tip->cmdNextTip, tip->cmdOK}),
                 (QList<QWidget *>{tip->lblTipText, tip->chkLoadTipsAtStartup, tip->cmdNextTip, tip->cmdOK}));

        // "Next Tip", by its access key too, leaves the focus on the button
        // that tells the new tip.
        const QString before = tip->lblTipText->text();
        QTest::keyClick(tip, Qt::Key_N, Qt::AltModifier);
        QTRY_VERIFY(tip->lblTipText->text() != before);
        const QString after = tip->lblTipText->text();
        QCOMPARE(QApplication::focusWidget(), tip->cmdNextTip);
        QVERIFY(heard(tip->cmdNextTip, QAccessible::DescriptionChanged, after));
        help::setTipRandomSource(nullptr);
    }

    void switchPairsAreCheckable()
    {
        EditorFixture f;
        f.window()->frmlink()->close(); // the Quick Link copy in its design state
        QMenu *menus[] = {f.window()->menus().menu(QStringLiteral("mnuhtmlcolor")),
                          f.window()->frmlink()->quickLinkMenus().menu(QStringLiteral("mnuhtmlcolor"))};
        for (QMenu *menu : menus) {
            QAccessibleInterface *iface = accessible(menu);
            const QList<QAction *> actions = menu->actions();
            for (int i = 0; i < actions.size(); ++i) {
                if (actions[i]->isSeparator())
                    continue;
                QVERIFY2(iface->child(i)->state().checkable, qPrintable(actions[i]->text()));
                QCOMPARE(bool(iface->child(i)->state().checked), actions[i]->isChecked());
            }
            // An unchecked switch looks as it did before it was checkable.
            menu->popup(QPoint(0, 0));
            const QImage checkable = menu->grab().toImage();
            for (QAction *a : actions) {
                if (!a->isChecked())
                    a->setCheckable(false);
            }
            menu->update();
            QCOMPARE(menu->grab().toImage(), checkable);
            menu->hide();
        }
    }

    void hiddenMenuLeavesItsKeyToHelp()
    {
        EditorFixture f; // no document: "&Html Tags" is hidden
        QVERIFY(activate(f.window()));
        QTest::keyClick(f.window(), Qt::Key_H, Qt::AltModifier);
        QMenu *help = f.window()->menus().menu(QStringLiteral("mnuHelp"));
        QTRY_VERIFY(help->isVisible());
        QCOMPARE(help->activeAction(), f.item("mnuHelpContents"));
        help->hide();
    }

    void aboutBoxRuleIsDecoration()
    {
        EditorFixture f;
        QList<QAccessible::Role> roles;
        help::setAboutRunner([&](QDialog &dialog) {
            for (QFrame *line : static_cast<help::AboutBox &>(dialog).Line1)
                roles << roleOf(line);
            return 0;
        });
        QVERIFY(f.trigger("mnuHelpAbout"));
        help::setAboutRunner(nullptr);
        QCOMPARE(roles, (QList<QAccessible::Role>{QAccessible::Separator, QAccessible::Separator}));
    }
};

QUILLET_BROWSER_TEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
