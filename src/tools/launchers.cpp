#include "tools/launchers.h"

#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/accessibility.h"
#include "platform/errors.h"
#include "platform/programstart.h"
#include "platform/settingsstore.h"
#include "platform/twips.h"
#include "platform/ui.h"
#include "tools/toolcommands.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>

namespace tools {

using platform::ignoreErrors;

namespace {

QPointer<DeskLink> g_deskLink;


QString cleanFolder(const QString &path)
{
    return QDir::cleanPath(QDir(path).absolutePath());
}

} // namespace

// ---------------------------------------------------------------- folder list

FolderList::FolderList(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    const int icon = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    setIconSize(QSize(icon, icon));
    // Double-click or Enter opens a folder, as the folder list always did.
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        const QString target = item->data(Qt::UserRole).toString();
        if (target == m_path)
            return;
        ignoreErrors([&] {
            setPath(target);
            Q_EMIT Change();
        });
    });
}

void FolderList::setPath(const QString &path)
{
    const QString folder = cleanFolder(path);
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable() || !QDir(folder).isReadable())
        throw platform::ControlError(platform::ControlError::PathFileAccess,
                                     QStringLiteral("Path/File access error"));
    m_path = folder;
    fill();
}

void FolderList::fill()
{
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirIcon);
    // The way down from the root to the current folder.
    QStringList chain;
    for (QDir d(m_path);; ) {
        chain.prepend(d.absolutePath());
        if (d.isRoot() || !d.cdUp())
            break;
    }
    QListWidgetItem *current = nullptr;
    for (const QString &folder : chain) {
        const QString name = QDir(folder).isRoot() ? folder : QFileInfo(folder).fileName();
        auto *item = new QListWidgetItem(openIcon, name, this);
        item->setData(Qt::UserRole, folder);
        item->setToolTip(folder);
        current = item;
    }
    // Then the folders inside it.
    const QFileInfoList subs = QDir(m_path).entryInfoList(
        QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QFileInfo &sub : subs) {
        auto *item = new QListWidgetItem(closedIcon, sub.fileName(), this);
        item->setData(Qt::UserRole, cleanFolder(sub.absoluteFilePath()));
        item->setToolTip(sub.absoluteFilePath());
    }
    if (current)
        setCurrentItem(current);
}

// ---------------------------------------------------------------- file list

ProgramList::ProgramList(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { Q_EMIT Click(item->text()); });
}

void ProgramList::setPath(const QString &path)
{
    m_path = cleanFolder(path);
    Refresh();
}

void ProgramList::Refresh()
{
    clear();
    if (m_path.isEmpty())
        return;
    // Only programs: executable regular files (links to them count).
    const QFileInfoList files = QDir(m_path).entryInfoList(
        QDir::Files | QDir::Executable, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QFileInfo &file : files) {
        if (file.isFile() && file.isExecutable())
            addItem(file.fileName());
    }
}

void ProgramList::keyPressEvent(QKeyEvent *event)
{
    // The keyboard's way to click the file under the caret.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter
         || event->key() == Qt::Key_Space)
        && currentItem()) {
        Q_EMIT Click(currentItem()->text());
        return;
    }
    QListWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------- the window

DeskLink::DeskLink(QWidget *owner) : QDialog(owner, Qt::Dialog)
{
    setObjectName(QStringLiteral("desklink"));
    setWindowTitle(QStringLiteral("Find And Start Program"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, false);

    Label1 = new QLabel(QStringLiteral("Click File Name You Want To Run"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    platform::setTwipsGeometry(Label1, 120, 120, 5565, 255);

    Drive1 = new QComboBox(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setAccessibleName(QStringLiteral("Drive"));
    Drive1->setAccessibleDescription(QStringLiteral("The volume whose folders are listed"));
    platform::setTwipsGeometry(Drive1, 120, 480, 2655, 315);

    Dir1 = new FolderList(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setAccessibleName(QStringLiteral("Folders"));
    Dir1->setAccessibleDescription(QStringLiteral("Enter opens a folder"));
    platform::setTwipsGeometry(Dir1, 120, 900, 2655, 2175);

    File1 = new ProgramList(this);
    File1->setObjectName(QStringLiteral("File1"));
    platform::setTwipsGeometry(File1, 2880, 480, 2805, 2220);
    Label1->setBuddy(File1);
    platform::nameAfterLabel(File1, Label1);
    File1->setAccessibleDescription(QStringLiteral("The programs in the folder; Enter starts one"));

    Label2 = new QPushButton(QStringLiteral("Close Me"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFlat(true);
    Label2->setAutoDefault(false);
    Label2->setCursor(Qt::PointingHandCursor);
    platform::setTwipsGeometry(Label2, 2880, 2790, 2805, 315);
    platform::layoutForm(this, 5805, 3195);

    setTabOrder(Drive1, Dir1);
    setTabOrder(Dir1, File1);
    setTabOrder(File1, Label2);
    platform::escapeClicks(this, Label2);

    // The lists start on the current drive and folder.
    const QString here = cleanFolder(QDir::currentPath());
    const QStringList roots = drives();
    Drive1->addItems(roots);
    const QString root = QStorageInfo(here).rootPath();
    const int index = Drive1->findText(root);
    if (index >= 0)
        Drive1->setCurrentIndex(index);
    ignoreErrors([&] { Dir1->setPath(here); });
    ignoreErrors([&] { File1->setPath(Dir1->path()); });

    connect(Drive1, &QComboBox::activated, this, [this](int) { Drive1_Change(); });
    connect(Dir1, &FolderList::Change, this, &DeskLink::Dir1_Change);
    connect(File1, &ProgramList::Click, this, &DeskLink::File1_Click);
    connect(Label2, &QPushButton::clicked, this, &DeskLink::Label2_Click);

    // Centred over the owner.
    if (owner) {
        const QRect area = owner->window()->frameGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

QStringList DeskLink::drives()
{
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString root = volume.rootPath();
        if (!roots.contains(root))
            roots << root;
    }
    std::sort(roots.begin(), roots.end());
    roots.removeAll(QStringLiteral("/"));
    roots.prepend(QStringLiteral("/"));
    return roots;
}

void DeskLink::Drive1_Change()
{
    // A drive that can't be read leaves both lists as they were.
    ignoreErrors([this] { Dir1->setPath(Drive1->currentText()); });
    ignoreErrors([this] { File1->setPath(Dir1->path()); });
}

void DeskLink::Dir1_Change()
{
    ignoreErrors([this] { File1->Refresh(); });
    ignoreErrors([this] { File1->setPath(Dir1->path()); });
}

void DeskLink::File1_Click(const QString &fileName)
{
    // The picker stays open, so several programs can be started in a row.
    ignoreErrors([&] {
        platform::programStart().Shell(Dir1->path() + QLatin1Char('/') + fileName,
                                       platform::MinimizedFocus);
    });
}

void DeskLink::Label2_Click()
{
    close();
}

DeskLink *openDeskLink()
{
    return g_deskLink.data();
}

// ---------------------------------------------------------------- commands

namespace {

void startProgramPicker()
{
    if (g_deskLink) {
        g_deskLink->show();
        g_deskLink->raise();
        g_deskLink->activateWindow();
        return;
    }
    g_deskLink = new DeskLink(frame::frmMain());
    g_deskLink->show();
    g_deskLink->activateWindow();
}

void runCommandLine()
{
    const std::optional<QString> answer = platform::ui().inputBox(
        frame::frmMain(), QStringLiteral("Command Line:"), platform::appTitle(), QString());
    // Cancel is an empty answer: the bare "START " is started all the same.
    platform::programStart().Shell(QStringLiteral("START ") + answer.value_or(QString()),
                                   platform::NormalFocus);
}

} // namespace

void registerLauncherCommands()
{
    frame::addCommand(QStringLiteral("programst"),
                      [](frame::Tree) { platform::endOnError(startProgramPicker); });
    frame::addCommand(QStringLiteral("mnruncom"),
                      [](frame::Tree) { platform::endOnError(runCommandLine); });
    frame::addCommand(QStringLiteral("telstart"), [](frame::Tree) {
        platform::endOnError(
            [] { platform::programStart().Shell(QStringLiteral("Telnet.exe"), platform::NormalFocus); });
    });
    frame::addCommand(QStringLiteral("mnuopennotepad"), [](frame::Tree) {
        platform::endOnError(
            [] { platform::programStart().Shell(QStringLiteral("NotePad.exe"), platform::NormalFocus); });
    });
}

} // namespace tools
