#include "colouring/passes.h"
#include "document/filemodel.h"
#include "document/documentwindow.h"
#include "editing/findform.h"
#include "files/commondialog.h"
#include "files/filecommands.h"
#include "files/recovery.h"
#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/programfolder.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/ui.h"
#include "storage/fileprobe.h"

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
    recovery::watchDocument(doc);
    QMdiSubWindow *sub = w->addChild(doc);
    doc->setCaption(QStringLiteral("Untitled ") + QString::number(counter));
    sub->show();
    w->mdiArea()->setActiveSubWindow(sub);
    return doc;
}

void loadDocument(document::DocumentWindow &doc, const QString &path, bool asFile)
{
    const document::DiskStamp stamp = document::DiskStamp::of(path);
    doc.rtfText->LoadFile(path);
    if (asFile)
        doc.file().loaded(path, stamp, doc.rtfText->loadedAsRichText(), doc.rtfText->loadedContentHash());
    else
        doc.file().detach();
}

bool refuseToOpen(const QString &path)
{
    const QString why = storage::openRefusal(path);
    if (why.isEmpty())
        return false;
    platform::ui().messageBox(frame::frmMain(), why, platform::appTitle(), platform::Buttons::OK,
                              platform::Icon::Warning);
    return true;
}

void reloadDocument(document::DocumentWindow &doc)
{
    platform::RichTextBox &box = *doc.rtfText;
    loadDocument(doc, doc.file().path());
    ignoreErrors([&] { colouring::htmlTagPass(box); });
    ignoreErrors([&] { colouring::editAreaPass(box); });
    ignoreErrors([&] { colouring::variablePass(box); });
    ignoreErrors([&] { colouring::commentPass(box); });
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
    if (dlg.FileName().isEmpty() || refuseToOpen(dlg.FileName()))
        return;
    const QString path = dlg.FileName();
    document::DocumentWindow *doc = w->newdoc();
    platform::RichTextBox &box = *doc->rtfText;
    loadDocument(*doc, path);
    doc->setCaption(path);
    colouring::htmlTagPass(box);
    doc->filesize->setVisible(true);
    w->setPanelText(2, QString());
    colouring::editAreaPass(box);
    colouring::variablePass(box);
    colouring::commentPass(box);
}

// The Quick Link menu's Open loads into the document that was clicked;
// edits not saved there are first offered for saving, as a close would.
void openIntoActive()
{
    frame::MainWindow *w = frame::frmMain();
    CommonDialog &dlg = w->dlgCommonDialog();
    dlg.setDialogTitle(QStringLiteral("Open"));
    dlg.setCancelError(true);
    dlg.setFileName(QString());
    dlg.setFilter(shortScriptFilter());
    dlg.ShowOpen();
    if (dlg.FileName().isEmpty() || refuseToOpen(dlg.FileName()))
        return;
    const QString path = dlg.FileName();
    document::DocumentWindow *doc = w->activeDocument();
    if (!doc)
        throw platform::ControlError(platform::ControlError::ObjectRequired, QStringLiteral("Object required"));
    if (!doc->askToSaveChanges())
        return;
    loadDocument(*doc, path);
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
    ignoreErrors([&] { loadDocument(*doc, platform::programFile(QStringLiteral("\\newhtml.qz")), false); });
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
