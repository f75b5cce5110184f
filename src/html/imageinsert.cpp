#include "files/commondialog.h"
#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "html/snippets.h"
#include "html/toolwindows.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"

namespace html {

namespace {

const QString kImageFilter = QStringLiteral(
    "BMP Files (*.bmp)|*.bmp|JPG Files (*.jpg)|*.jpg|JPEG Files (*.jpeg)|*.jpeg|PNG Files(*.png)|*.png|"
    "GIF Files (*.gif)|*.gif|ALL Files (*.*)|*.*|");

void newImage()
{
    frame::MainWindow *w = frame::frmMain();
    // No document, no dialog.
    w->requireText().Text();
    files::CommonDialog &dlg = w->dlgCommonDialog();
    dlg.setDialogTitle(QStringLiteral("Add New Image"));
    dlg.setCancelError(true);
    dlg.setFileName(QString());
    dlg.setFilter(kImageFilter);
    dlg.ShowOpen();
    const QString path = dlg.FileName();
    if (path.isEmpty())
        return;
    // The path goes in exactly as chosen.
    insertFixed(QStringLiteral("<IMG SRC=\"") + path + QStringLiteral("\" ALT=\"\">"));
}

} // namespace

void registerImageCommands()
{
    frame::addCommand(QStringLiteral("mnunewimage"), [](frame::Tree) { platform::endOnError(newImage); });
}

} // namespace html
