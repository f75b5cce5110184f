#include "frame/mainwindow.h"

#include "colouring/passes.h"
#include "document/documentwindow.h"
#include "editing/findform.h"
#include "files/commondialog.h"
#include "files/filecommands.h"
#include "files/recovery.h"
#include "frame/commands.h"
#include "frame/filetypes.h"
#include "frame/layout.h"
#include "frame/statusbar.h"
#include "frame/toolbar.h"
#include "help/tipofday.h"
#include "platform/accessibility.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/twips.h"
#include "platform/ui.h"
#include "platform/windowframe.h"
#include "script/scriptcommands.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

namespace frame {

using platform::readSetting;

namespace {
MainWindow *g_instance = nullptr;

const QString kSettings = QStringLiteral("settings");
const QString kGeometry = QStringLiteral("Settings");
} // namespace

void connectMenuCommands(const MenuSet &set, Tree tree, QObject *context)
{
    for (auto it = set.actions.constBegin(); it != set.actions.constEnd(); ++it) {
        QAction *action = it.value();
        if (action->menu())
            continue;
        const QString name = it.key();
        QObject::connect(action, &QAction::triggered, context, [action, name, tree] {
            // A checkable item toggles itself when picked; the commands set
            // their marks themselves.
            if (action->isCheckable())
                action->setChecked(!action->isChecked());
            runCommand(name, tree);
        });
    }
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    g_instance = this;
    platform::installAccessibility();
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);

    m_dialog = new files::CommonDialog(this);
    m_dialog->setParent(this);

    m_status = new StatusBar(this);
    setStatusBar(m_status);

    m_toolbar = createToolBar(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/quilex-48.png")));
    addToolBar(Qt::LeftToolBarArea, m_toolbar);

    registerAllCommands();
    buildMenus();
    watchFilesOnDisk();
}

MainWindow::~MainWindow()
{
    // The base class closes the window and deletes the document area after
    // this; what the area signals then must not reach handlers that use
    // this window, which no longer is one.
    disconnect(m_mdi, nullptr, this, nullptr);
    files::recovery::finish();
    // A Find form without a parent (shown from the Quick Link menu) isn't
    // deleted with the window.
    delete m_frmlink;
    if (g_instance == this)
        g_instance = nullptr;
}

MainWindow *MainWindow::instance()
{
    return g_instance;
}

void MainWindow::buildMenus()
{
    platform::skipHiddenMenuKeys(menuBar());
    m_menus = buildMainMenus(menuBar());
    connectMenuCommands(m_menus, Tree::Main, this);
    if (QMenu *window = m_menus.menu(QStringLiteral("mnuWindow")))
        connect(window, &QMenu::aboutToShow, this, &MainWindow::updateWindowMenu);
}

void MainWindow::updateWindowMenu()
{
    // The Window menu lists the open windows for activation.
    QMenu *window = m_menus.menu(QStringLiteral("mnuWindow"));
    if (!window)
        return;
    qDeleteAll(m_windowListActions);
    m_windowListActions.clear();
    delete m_windowListSeparator;
    m_windowListSeparator = nullptr;
    const QList<QMdiSubWindow *> subs = m_mdi->subWindowList();
    if (subs.isEmpty())
        return;
    m_windowListSeparator = window->addSeparator();
    int n = 0;
    for (QMdiSubWindow *sub : subs) {
        ++n;
        QAction *a = window->addAction(
            (n < 10 ? QStringLiteral("&%1 ").arg(n) : QString()) + sub->windowTitle());
        a->setCheckable(true);
        a->setChecked(sub == m_mdi->currentSubWindow());
        connect(a, &QAction::triggered, this, [this, sub] {
            if (m_mdi->subWindowList().contains(sub))
                m_mdi->setActiveSubWindow(sub);
        });
        m_windowListActions << a;
    }
}

// ---------------------------------------------------------------- children

QWidget *MainWindow::activeChild() const
{
    QMdiSubWindow *sub = m_mdi->currentSubWindow();
    if (!sub || !m_mdi->subWindowList().contains(sub))
        return nullptr;
    return sub->widget();
}

document::DocumentWindow *MainWindow::activeDocument() const
{
    return qobject_cast<document::DocumentWindow *>(activeChild());
}

platform::RichTextBox *MainWindow::activeText() const
{
    document::DocumentWindow *doc = activeDocument();
    return doc ? doc->rtfText : nullptr;
}

platform::RichTextBox &MainWindow::requireText() const
{
    platform::RichTextBox *box = activeText();
    if (!box)
        throw platform::ControlError(platform::ControlError::ObjectRequired,
                                     QStringLiteral("Object required"));
    return *box;
}

QList<document::DocumentWindow *> MainWindow::documents() const
{
    QList<document::DocumentWindow *> out;
    for (QMdiSubWindow *sub : m_mdi->subWindowList()) {
        if (auto *doc = qobject_cast<document::DocumentWindow *>(sub->widget()))
            out << doc;
    }
    return out;
}

QMdiSubWindow *MainWindow::addChild(QWidget *widget)
{
    QMdiSubWindow *sub = m_mdi->addSubWindow(widget);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(windowIcon());
    QSize size = sub->sizeHint();
    if (qobject_cast<document::DocumentWindow *>(widget)) {
        // A document window takes three quarters of the window area each
        // way, as new child windows do by default, and never less than its
        // design size; it stays inside the area where that allows.
        const QSize area = m_mdi->maximumViewportSize();
        size = size.expandedTo(area * 3 / 4).boundedTo(area).expandedTo(sub->minimumSizeHint());
        // Each a title bar's height down and right of the last one, back
        // at the top left corner where it would no longer fit.
        QPoint at;
        const QList<QMdiSubWindow *> before = m_mdi->subWindowList(QMdiArea::CreationOrder);
        for (auto it = before.crbegin(); it != before.crend(); ++it) {
            if (*it != sub && (*it)->isVisible() && !(*it)->isMinimized() && !(*it)->isMaximized()) {
                const int step = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub);
                at = (*it)->pos() + QPoint(step, step);
                break;
            }
        }
        if (at.x() + size.width() > area.width() || at.y() + size.height() > area.height())
            at = QPoint();
        sub->move(at);
    }
    sub->resize(size);
    return sub;
}

QString MainWindow::panelText(int panel) const
{
    return m_status->panelText(panel);
}

void MainWindow::setPanelText(int panel, const QString &text)
{
    m_status->setPanelText(panel, text);
}

void MainWindow::framclean()
{
    m_status->setPanelText(2, QString());
}

editing::FindForm *MainWindow::frmlink()
{
    if (!m_frmlink)
        m_frmlink = new editing::FindForm(this);
    return m_frmlink;
}

editing::FindForm *MainWindow::loadedFrmlink() const
{
    return m_frmlink.data();
}

QAction *MainWindow::quickItem(const QString &name)
{
    return frmlink()->quickLinkMenus().action(name);
}

void MainWindow::runMenuCommand(const QString &name)
{
    runCommand(name, Tree::Main);
}

// ---------------------------------------------------------------- start-up

void MainWindow::restoreGeometryFromStore()
{
    using platform::readNumberSetting;
    const int left = readNumberSetting(kGeometry, QStringLiteral("MainLeft"), 1000);
    const int top = readNumberSetting(kGeometry, QStringLiteral("MainTop"), 1000);
    const int width = readNumberSetting(kGeometry, QStringLiteral("MainWidth"), 6500);
    const int height = readNumberSetting(kGeometry, QStringLiteral("MainHeight"), 6500);
    const QRect outer = platform::twipsRect(left, top, width, height);
    m_restoredTwips = {left, top, width, height};
    m_restoredPixels = outer;
    // A window closed maximized stored the work area it filled: it comes
    // back maximized, over a normal size of its own.
    if (platform::coversWorkArea(outer)) {
        platform::placeOuter(this, platform::fitOnScreen(QRect(
            platform::twipsToPixelsX(1000), platform::twipsToPixelsY(1000),
            platform::twipsToPixelsX(6500), platform::twipsToPixelsY(6500))));
        setWindowState(windowState() | Qt::WindowMaximized);
        return;
    }
    platform::placeOuter(this, outer);
}

namespace {

// A settings file that could not be read in full is said once the event
// loop runs and no other question is open, over whichever main window is
// there then.
void sayWhenFree(const QString &message)
{
    QTimer::singleShot(0, qApp, [message] {
        if (QApplication::activeModalWidget()) {
            QTimer::singleShot(200, qApp, [message] { sayWhenFree(message); });
            return;
        }
        platform::ui().messageBox(frmMain(), message, platform::appTitle(), platform::Buttons::OK,
                                  platform::Icon::Warning);
    });
}

} // namespace

void MainWindow::startUp(const QString &commandLine)
{
    m_commandLine = commandLine;
    platform::setSettingsDamageReporter(sayWhenFree);
    // Unsaved text is journaled from the first document on.
    files::recovery::start();

    // 1. File types.
    platform::ignoreErrors([] { registerFileTypes(); });
    // 2. Geometry.
    restoreGeometryFromStore();
    // 3. Caption.
    // "v" + major + "." + minor and revision run together: 1.0.5 is v1.05.
    setWindowTitle(QStringLiteral("Quillet (LT) v%1.%2%3")
                       .arg(QUILLET_VERSION_MAJOR)
                       .arg(QUILLET_VERSION_MINOR)
                       .arg(QUILLET_VERSION_REVISION));
    // 4. The command-line file.
    if (!m_commandLine.isEmpty())
        openload();
    // 5.
    if (!activeChild())
        menuItem(QStringLiteral("mnuhtmlpreview"))->setEnabled(false);
    // 6. Quick Link marks (loads the form holding the Quick Link menu).
    const bool qlOn = readSetting(kSettings, QStringLiteral("ql"), QStringLiteral("on")) == QLatin1String("on");
    const QString ql = qlOn ? QStringLiteral("mnqlon") : QStringLiteral("mnqloff");
    checkPair(menuItem(ql), nullptr);
    checkPair(quickItem(ql), nullptr);
    // 7.-10. Colouring marks.
    for (const colouring::Switch &s : colouring::kSwitches) {
        const bool on = readSetting(kSettings, QString::fromLatin1(s.key), QStringLiteral("on"))
            == QLatin1String("on");
        const QString item = QString::fromLatin1(on ? s.onItem : s.offItem);
        checkPair(menuItem(item), nullptr);
        checkPair(quickItem(item), nullptr);
    }
    // 11. Spell-check caption.
    if (readSetting(kSettings, QStringLiteral("spellcheck"), QStringLiteral("Install Spell Check"))
        == QLatin1String("Check &Spelling")) {
        menuItem(QStringLiteral("mnuspelling"))->setText(QStringLiteral("Check &Spelling"));
        quickItem(QStringLiteral("mnuspelling"))->setText(QStringLiteral("Check &Spelling"));
    }
    // 12. Toolbar edge.
    applyToolbarSetting(this, readSetting(kSettings, QStringLiteral("tbset"), QStringLiteral("vbAlignLeft")));
    // 13.-15. Menus that need a document.
    if (!activeChild()) {
        menuItem(QStringLiteral("mnuhtmltags"))->setVisible(false);
        menuItem(QStringLiteral("mnuautoinsert"))->setEnabled(false);
        menuItem(QStringLiteral("mnuedit"))->setVisible(false);
        menuItem(QStringLiteral("mnuScript"))->setVisible(false);
    }
    script::startUp(this);
    // What an editor that ended uncleanly left unsaved, before the tip:
    // first the files its saves left half written, then its unsaved text.
    files::offerInterruptedSaves();
    files::recovery::offerRestore();
    // 16. Tip of the day.
    platform::ignoreErrors([this] { help::showTipOfTheDay(this); });
}

// ---------------------------------------------------------------- shut-down

void MainWindow::storeGeometry()
{
    if (isMinimized())
        return;
    const QRect outer = platform::outerGeometry(this);
    // A value whose pixels are still those it was restored to is written
    // back as it was read, so an unmoved window stores the same numbers.
    const auto twips = [](int pixels, int restoredPixels, int restoredTwips, int (*convert)(int)) {
        return pixels == restoredPixels ? restoredTwips : convert(pixels);
    };
    platform::writeSetting(kGeometry, QStringLiteral("MainLeft"),
                           QString::number(twips(outer.left(), m_restoredPixels.left(), m_restoredTwips.left,
                                                 platform::pixelsToTwipsX)));
    platform::writeSetting(kGeometry, QStringLiteral("MainTop"),
                           QString::number(twips(outer.top(), m_restoredPixels.top(), m_restoredTwips.top,
                                                 platform::pixelsToTwipsY)));
    platform::writeSetting(kGeometry, QStringLiteral("MainWidth"),
                           QString::number(twips(outer.width(), m_restoredPixels.width(),
                                                 m_restoredTwips.width, platform::pixelsToTwipsX)));
    platform::writeSetting(kGeometry, QStringLiteral("MainHeight"),
                           QString::number(twips(outer.height(), m_restoredPixels.height(),
                                                 m_restoredTwips.height, platform::pixelsToTwipsY)));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // 1. The document windows close first, each with its close prompt. A
    // document whose save failed stays open, and so does the program.
    const QList<QMdiSubWindow *> subs = m_mdi->subWindowList();
    for (QMdiSubWindow *sub : subs) {
        if (!sub->close()) {
            event->ignore();
            return;
        }
    }
    // Owned tool windows close with the main window, running their own
    // closing steps (the side windows save their notes). One that stays
    // open, because its notes could not be saved, keeps the program open.
    const QList<QWidget *> owned = findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *w : owned) {
        if (w->isWindow() && w->isVisible() && w != m_frmlink && !w->close()) {
            event->ignore();
            return;
        }
    }
    // 2. Geometry, unless minimized.
    platform::ignoreErrors([this] { storeGeometry(); });
    // 3. The Find dialog form and the Quick Link menu it holds. Exit may
    // have been picked in that very menu, which is still handling the click:
    // the form goes once control is back in the event loop (or with the
    // main window, whichever comes first).
    if (m_frmlink) {
        m_frmlink->close();
        m_frmlink->deleteLater();
    }
    event->accept();
    Q_EMIT closed();
}

} // namespace frame
