#include "colouring/passes.h"
#include "document/documentwindow.h"
#include "editing/findform.h"
#include "files/commondialog.h"
#include "files/filecommands.h"
#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/programfolder.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace files {

using platform::ignoreErrors;

document::DocumentWindow *newDocument(int &counter)
{
    frame::MainWindow *w = frame::frmMain();
    // A document window shows the main window with it.
    if (!w->isVisible())
        w->show();
    ++counter;
    auto *doc = new document::DocumentWindow;
    QMdiSubWindow *sub = w->addChild(doc);
    doc->setCaption(QStringLiteral("Untitled ") + QString::number(counter));
    sub->show();
    w->mdiArea()->setActiveSubWindow(sub);
    return doc;
}

namespace {

document::DocumentWindow *newFor(frame::Tree tree)
{
    if (tree == frame::Tree::Main)
        return frame::frmMain()->newdoc();
    return newDocument(editing::quickLinkCounter());
}

void openFile()
{
    frame::MainWindow *w = frame::frmMain();
    CommonDialog &dlg = w->dlgCommonDialog();
    dlg.setDialogTitle(QStringLiteral("Open"));
    dlg.setCancelError(true);
    dlg.setFileName(QString());
    dlg.setFilter(openFilter());
    dlg.ShowOpen();
    if (dlg.FileName().isEmpty())
        return;
    const QString path = dlg.FileName();
    document::DocumentWindow *doc = w->newdoc();
    platform::RichTextBox &box = *doc->rtfText;
    box.LoadFile(path);
    doc->setCaption(path);
    colouring::htmlTagPass(box);
    doc->filesize->setVisible(true);
    w->setPanelText(2, QString());
    colouring::editAreaPass(box);
    colouring::variablePass(box);
    colouring::commentPass(box);
}

// The Quick Link menu's Open loads into the document that was clicked.
void openIntoActive()
{
    frame::MainWindow *w = frame::frmMain();
    CommonDialog &dlg = w->dlgCommonDialog();
    dlg.setDialogTitle(QStringLiteral("Open"));
    dlg.setCancelError(true);
    dlg.setFileName(QString());
    dlg.setFilter(shortScriptFilter());
    dlg.ShowOpen();
    if (dlg.FileName().isEmpty())
        return;
    const QString path = dlg.FileName();
    document::DocumentWindow *doc = w->activeDocument();
    if (!doc)
        throw platform::ControlError(platform::ControlError::ObjectRequired, QStringLiteral("Object required"));
    doc->rtfText->LoadFile(path);
    doc->setCaption(path);
    colouring::htmlTagPass(*doc->rtfText, frame::Tree::QuickLink);
    doc->filesize->setVisible(true);
}

void htmlTemplate(frame::Tree tree)
{
    frame::MainWindow *w = frame::frmMain();
    document::DocumentWindow *doc = nullptr;
    ignoreErrors([&] { doc = newFor(tree); });
    if (!doc)
        return;
    ignoreErrors([&] { doc->rtfText->LoadFile(platform::programFile(QStringLiteral("\\newhtml.qz"))); });
    ignoreErrors([&] {
        QAction *preview = tree == frame::Tree::Main ? w->menuItem(QStringLiteral("mnuhtmlpreview"))
                                                     : w->quickItem(QStringLiteral("mnuhtmlpreview"));
        preview->setVisible(true);
        preview->setEnabled(true);
    });
    ignoreErrors([&] { colouring::htmlTagPass(*doc->rtfText, tree); });
}

} // namespace

void registerNewOpenCommands()
{
    frame::addCommand(QStringLiteral("mnuBlankFile"), [](frame::Tree tree) { newFor(tree); });
    frame::addCommand(QStringLiteral("mnuWindowNewWindow"), [](frame::Tree tree) { newFor(tree); });
    frame::addCommand(QStringLiteral("mnuFileOpen"), [](frame::Tree tree) {
        platform::endOnError([tree] {
            if (tree == frame::Tree::Main)
                openFile();
            else
                openIntoActive();
        });
    });
    frame::addCommand(QStringLiteral("mnuhtemplate"), [](frame::Tree tree) { htmlTemplate(tree); });
}

} // namespace files

namespace frame {

document::DocumentWindow *MainWindow::newdoc()
{
    return files::newDocument(m_documentCounter);
}

void MainWindow::openload()
{
    using platform::ignoreErrors;
    const QString text = m_commandLine;
    document::DocumentWindow *doc = nullptr;
    ignoreErrors([&] { doc = newdoc(); });
    if (!doc)
        return;
    platform::RichTextBox &box = *doc->rtfText;
    ignoreErrors([&] { box.LoadFile(text); });
    ignoreErrors([&] { doc->setCaption(text); });
    ignoreErrors([&] { colouring::htmlTagPass(box); });
    ignoreErrors([&] { colouring::editAreaPass(box); });
    ignoreErrors([&] { colouring::variablePass(box); });
    ignoreErrors([&] { colouring::commentPass(box); });
    ignoreErrors([&] { doc->filesize->setVisible(false); });
    ignoreErrors([&] {
        const bool on = platform::readSetting(QStringLiteral("settings"), QStringLiteral("setto"),
                                              QStringLiteral("on")) == QLatin1String("on");
        checkPair(menuItem(on ? QStringLiteral("mnucoloron") : QStringLiteral("mnucoloroff")), nullptr);
    });
    setPanelText(2, QString());
}

} // namespace frame
