// Every item of both menu trees picked the way a user picks it, through the
// menus themselves, with and without documents, and Exit last from each.
// Built with the sanitizers, this is where freed menus and windows show.

#include "support/browsermain.h"
#include "support/fixture.h"

#include "document/documentwindow.h"
#include "editing/findform.h"
#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "frame/menutree.h"
#include "help/about.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryFile>
#include <QTest>
#include <QScopeGuard>
#include <QTimer>

#include <new>
#include <stdexcept>

#include <unistd.h>

namespace {

// Collects what the process writes to standard error while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    QString text()
    {
        restore();
        m_file.seek(0);
        return QString::fromUtf8(m_file.readAll());
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }
    QTemporaryFile m_file;
    int m_saved = -1;
};

// The chain of menus from the top down to the one holding an item.
QList<QMenu *> menuPath(QAction *item)
{
    QList<QMenu *> path;
    for (QObject *o = item->parent(); o; o = o->parent()) {
        if (auto *menu = qobject_cast<QMenu *>(o))
            path.prepend(menu);
    }
    return path;
}

// Clicks an item of an open menu at its place on screen.
void clickItem(QMenu *menu, QAction *item)
{
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

// Opens the Quick Link menu with a right-button press in a document.
QMenu *popUpQuickLink(EditorFixture &f)
{
    document::DocumentWindow *doc = f.activeDocument();
    if (!doc)
        return nullptr;
    QTest::mouseClick(doc->rtfText->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    editing::FindForm *form = f.window()->loadedFrmlink();
    return form && form->mnun()->isVisible() ? form->mnun() : nullptr;
}

// Picks an item through its menus: the top menu opens (from the menu bar,
// or the Quick Link menu from a right-button press), each submenu opens by
// a click on its entry, then the item is clicked. Answers whether the item
// was there to be picked.
bool pick(EditorFixture &f, frame::Tree tree, QAction *item)
{
    const QList<QMenu *> path = menuPath(item);
    if (path.isEmpty())
        return false;
    QMenu *menu = path.first();
    if (tree == frame::Tree::QuickLink) {
        if (popUpQuickLink(f) != menu)
            return false;
    } else {
        menu->popup(f.window()->mapToGlobal(QPoint(0, 0)));
    }
    for (int i = 1; i < path.size(); ++i) {
        QAction *entry = path.at(i)->menuAction();
        if (!entry->isVisible() || !entry->isEnabled())
            return false;
        // A submenu opens at once from the keyboard (a click opens it only
        // after the style's delay).
        menu->setActiveAction(entry);
        QTest::keyClick(menu, Qt::Key_Right);
        menu = path.at(i);
        if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 1000))
            return false;
    }
    if (!item->isVisible() || !item->isEnabled())
        return false;
    clickItem(menu, item);
    return true;
}

// Every item of a tree that a pick can reach, by name, in menu order.
QStringList itemNames(const frame::MenuSet &set)
{
    QStringList names;
    for (QAction *a : set.ordered) {
        if (!a->isSeparator() && !a->menu() && !a->objectName().isEmpty())
            names << a->objectName();
    }
    return names;
}

// Lines the editor wrote to standard error about errors it caught.
QStringList errorReports(const QString &err)
{
    QStringList out;
    for (const QString &line : err.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("quilex: ")))
            out << line;
    }
    return out;
}

// Closes what a pick left open that would stand in the next pick's way:
// popup menus and modal windows. A modal dialog still open while the pick
// runs is one the scripted Ui didn't answer: it is noted, then closed so
// that the pick can end.
class Tidier
{
public:
    bool inPick = false;
    QStringList blocking;

    void tidy()
    {
        while (QWidget *w = QApplication::activePopupWidget())
            w->close();
        while (QWidget *w = QApplication::activeModalWidget()) {
            if (inPick)
                blocking << QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
            w->close();
        }
    }
};

} // namespace

class TestMenuWalk : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { isolateSettings(); }
    void init() { clearSettings(); }

    void quickLinkExitEndsCleanly()
    {
        // Exit picked in the Quick Link menu ends the program while that
        // menu is still handling the click: the menu must outlive it.
        EditorFixture f;
        f.newDocument();
        QAction *exit = f.quickItem(QStringLiteral("mnuFileExit"));
        QPointer<QMenu> fileMenu = menuPath(exit).last();
        bool menuAliveAfterExit = false;
        QObject::connect(exit, &QAction::triggered, [&] { menuAliveAfterExit = !fileMenu.isNull(); });
        QSignalSpy closed(f.window(), &frame::MainWindow::closed);
        QVERIFY(pick(f, frame::Tree::QuickLink, exit));
        QCOMPARE(closed.size(), 1);
        QVERIFY(menuAliveAfterExit);
        // Once the click is over, the form and its menu are gone.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!fileMenu);
        QVERIFY(!f.window()->loadedFrmlink());
    }

    void everyItemOfBothMenus_data()
    {
        QTest::addColumn<bool>("quickLink");
        QTest::addColumn<bool>("documents");
        QTest::newRow("main menu, no documents") << false << false;
        QTest::newRow("main menu, documents") << false << true;
        // The Quick Link menu opens only in a document.
        QTest::newRow("Quick Link menu") << true << true;
    }

    void everyItemOfBothMenus()
    {
        QFETCH(bool, quickLink);
        QFETCH(bool, documents);
        const frame::Tree tree = quickLink ? frame::Tree::QuickLink : frame::Tree::Main;
        EditorFixture f;
        QTimer watchdog; // a modal dialog outside the scripted Ui would block a pick
        // The about box is the one modal window that asks nothing: shown,
        // then closed as its OK would (the watchdog doesn't count it, however
        // long the events it waits for take).
        help::setAboutRunner([&watchdog](QDialog &box) {
            const bool watching = watchdog.isActive();
            watchdog.stop();
            box.show();
            QCoreApplication::processEvents();
            box.accept();
            if (watching)
                watchdog.start();
            return int(QDialog::Accepted);
        });
        const auto forgetRunner = qScopeGuard([] { help::setAboutRunner(nullptr); });
        const QString script = f.scratch(QStringLiteral("walk.cgi"));
        writeFile(script, "#!/usr/bin/perl\nprint \"<b>$x</b>\\n\"; # note\n");
        // Whatever runs a program or opens an address finds one to record.
        f.starts.succeed = true;

        auto ensureDocument = [&] {
            if (!documents) {
                // Documents a pick made are closed, unsaved and unasked.
                for (document::DocumentWindow *doc : f.window()->documents()) {
                    doc->markSaved();
                    f.window()->framclean();
                    doc->subWindow()->close();
                }
                return;
            }
            if (f.window()->documents().isEmpty()) {
                f.ui.chooseFile(script);
                f.window()->runMenuCommand(QStringLiteral("mnuFileOpen"));
                f.newDocument(QStringLiteral("<p>Hello $name = 'x'; # there</p>"));
            }
            if (!f.activeDocument()) {
                document::DocumentWindow *doc = f.window()->documents().constFirst();
                f.window()->mdiArea()->setActiveSubWindow(doc->subWindow());
            }
            // Picks that work on a selection find one.
            f.activeText()->setSelStart(0);
            f.activeText()->setSelLength(5);
            // Quick Link switched off by a pick: on again, so that the menu
            // can open.
            if (quickLink && f.item(QStringLiteral("mnqloff"))->isChecked())
                f.trigger(QStringLiteral("mnqlon"));
        };

        const QStringList names = itemNames(quickLink ? f.window()->frmlink()->quickLinkMenus() : f.window()->menus());
        QVERIFY(names.contains(QStringLiteral("mnuFileExit")));
        Tidier tidier;
        QObject::connect(&watchdog, &QTimer::timeout, [&] { tidier.tidy(); });
        watchdog.start(250);
        QStringList picked, unreachable;
        StderrCapture err;
        for (const QString &name : names) {
            if (name == QLatin1String("mnuFileExit"))
                continue; // last
            ensureDocument();
            QAction *item = quickLink ? f.quickItem(name) : f.item(name);
            QVERIFY2(item, qPrintable(name));
            tidier.inPick = true;
            const bool reached = pick(f, tree, item);
            tidier.inPick = false;
            (reached ? picked : unreachable) << name;
            QCoreApplication::processEvents();
            tidier.tidy();
            // Each pick's answers are its own: what a dialog was told to
            // choose and didn't is dropped.
            f.ui.clear();
            f.window()->setWindowState(Qt::WindowNoState);
            f.window()->show();
        }

        // Exit last; whatever asks is answered No.
        ensureDocument();
        QSignalSpy closed(f.window(), &frame::MainWindow::closed);
        QAction *exit = quickLink ? f.quickItem(QStringLiteral("mnuFileExit")) : f.item(QStringLiteral("mnuFileExit"));
        QVERIFY(pick(f, tree, exit));
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        watchdog.stop();
        QCOMPARE(closed.size(), 1);
        QCOMPARE(errorReports(err.text()), QStringList());
        QVERIFY2(tidier.blocking.isEmpty(), qPrintable(tidier.blocking.join(", ")));
        // Every item is reached but those made hidden or disabled.
        QStringList madeUnreachable;
        for (const frame::MenuEntry &e : frame::menuEntries()) {
            if (e.flags & (frame::MenuEntry::Hidden | frame::MenuEntry::Disabled))
                madeUnreachable << QString::fromLatin1(quickLink && e.quickName ? e.quickName : e.name);
        }
        for (const QString &name : std::as_const(unreachable))
            QVERIFY2(madeUnreachable.contains(name), qPrintable(name + QStringLiteral(" could not be picked")));
        QVERIFY(picked.size() > 80);
    }

    void unexpectedErrorsAreReportedWithTheCommandName()
    {
        using platform::ControlError;
        frame::addCommand(QStringLiteral("tstControlError"),
                          [](frame::Tree) { throw ControlError(ControlError::Cancel, QStringLiteral("Cancel")); });
        frame::addCommand(QStringLiteral("tstBadStep"), [](frame::Tree) {
            platform::ignoreErrors([] { throw std::runtime_error("step broke"); });
            platform::endOnError([] { throw std::bad_alloc(); });
        });
        frame::addCommand(QStringLiteral("tstBroken"), [](frame::Tree) { throw std::logic_error("edge broke"); });
        frame::addCommand(QStringLiteral("tstNested"), [](frame::Tree tree) { frame::runCommand("tstBroken", tree); });
        StderrCapture err;
        QVERIFY(frame::runCommand(QStringLiteral("tstControlError"), frame::Tree::Main));
        QVERIFY(frame::runCommand(QStringLiteral("tstBadStep"), frame::Tree::Main));
        QVERIFY(frame::runCommand(QStringLiteral("tstNested"), frame::Tree::QuickLink));
        platform::ignoreErrors([] { throw 42; });
        const QStringList lines = err.text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines, (QStringList{"quilex: command tstBadStep: unexpected error: step broke",
                                     "quilex: command tstBadStep: unexpected error: std::bad_alloc",
                                     "quilex: command tstBroken: unexpected error: edge broke",
                                     "quilex: unexpected error: unknown exception"}));
    }
};

QUILLET_BROWSER_TEST_MAIN(TestMenuWalk)
#include "tst_menuwalk.moc"
