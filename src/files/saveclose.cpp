#include "document/documentwindow.h"
#include "files/commondialog.h"
#include "files/filecommands.h"
#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace files {

namespace {

document::DocumentWindow &requireDocument()
{
    document::DocumentWindow *doc = frame::frmMain()->activeDocument();
    if (!doc)
        throw platform::ControlError(platform::ControlError::ObjectRequired, QStringLiteral("Object required"));
    return *doc;
}

void save(frame::Tree tree)
{
    frame::MainWindow *w = frame::frmMain();
    document::DocumentWindow &doc = requireDocument();
    CommonDialog &dlg = w->dlgCommonDialog();
    if (doc.hasFile()) {
        dlg.setFileName(doc.caption());
        dlg.setFilter(shortScriptFilter());
        dlg.setDialogTitle(QStringLiteral("Save Changes"));
        dlg.setCancelError(true);
        doc.setCaption(dlg.FileName());
        if (!dlg.FileName().isEmpty()) {
            // A file that can't be written is reported; caption and marker
            // stay as they were.
            if (!doc.writeDocumentFile(dlg.FileName()))
                return;
            doc.setCaption(dlg.FileName());
        }
        if (tree == frame::Tree::Main)
            w->framclean();
        return;
    }
    dlg.setDialogTitle(QStringLiteral("Save As"));
    dlg.setCancelError(true);
    dlg.setFilter(tree == frame::Tree::Main ? scriptFilter() : shortScriptFilter());
    dlg.ShowSave();
    if (!dlg.FileName().isEmpty()) {
        if (!doc.writeDocumentFile(dlg.FileName()))
            return;
        doc.setCaption(dlg.FileName());
    }
}

void saveAs(frame::Tree tree)
{
    frame::MainWindow *w = frame::frmMain();
    document::DocumentWindow *doc = w->activeDocument();
    if (!doc)
        return;
    CommonDialog &dlg = w->dlgCommonDialog();
    dlg.setDialogTitle(QStringLiteral("Save As"));
    dlg.setCancelError(true);
    dlg.setFileName(QString());
    dlg.setFilter(tree == frame::Tree::Main ? scriptFilter() : shortScriptFilter());
    dlg.ShowSave();
    if (!dlg.FileName().isEmpty()) {
        if (!doc->writeDocumentFile(dlg.FileName()))
            return;
        doc->setCaption(dlg.FileName());
    }
}

} // namespace

void registerSaveCommands()
{
    frame::addCommand(QStringLiteral("mnuFileSave"), [](frame::Tree tree) {
        platform::endOnError([tree] { save(tree); });
    });
    frame::addCommand(QStringLiteral("mnuFileSaveAs"), [](frame::Tree tree) {
        platform::endOnError([tree] { saveAs(tree); });
    });
    frame::addCommand(QStringLiteral("mnuFileClose"), [](frame::Tree) {
        platform::ignoreErrors([] {
            frame::MainWindow *w = frame::frmMain();
            if (QMdiSubWindow *sub = w->mdiArea()->currentSubWindow())
                sub->close();
        });
    });
    frame::addCommand(QStringLiteral("mnuFileExit"), [](frame::Tree) { frame::frmMain()->close(); });
}

} // namespace files
