// Every item of both menu trees picked the way a user picks it, through the
// menus themselves, with and without documents, and Exit last from each.
// Built with the sanitizers, this is where freed menus and windows show.

#include "support/fixture.h"

#include "document/documentwindow.h"
#include "editing/findform.h"
#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

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
        clickItem(menu, entry);
        menu = path.at(i);
        // A submenu opens a moment after its entry is pressed.
        if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 1000))
            return false;
    }
    if (!item->isVisible() || !item->isEnabled())
        return false;
    clickItem(menu, item);
    return true;
}

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

QTEST_MAIN(TestMenuWalk)
#include "tst_menuwalk.moc"
