#include "files/commondialog.h"
#include "files/filecommands.h"
#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"

namespace files {

namespace {

using platform::ControlError;
using platform::ignoreErrors;

// Prints the active document's selection, or all of it, on the printer
// chosen in the shared dialog. Every step ignores its own errors; only the
// dialog's Cancel keeps the text from being printed.
void mnuFilePrint_Click()
{
    frame::MainWindow *w = frame::frmMain();
    platform::RichTextBox *box = w ? w->activeText() : nullptr;
    if (!box)
        return;
    CommonDialog &dlg = w->dlgCommonDialog();
    ignoreErrors([&] { dlg.setDialogTitle(QStringLiteral("Print")); });
    ignoreErrors([&] { dlg.setCancelError(true); });
    ignoreErrors([&] { dlg.setFlags(CommonDialog::ReturnDC | CommonDialog::NoPageNums); });
    ignoreErrors([&] {
        if (box->SelLength() != 0)
            dlg.setFlags(dlg.Flags() + CommonDialog::PrintSelection);
    });
    bool cancelled = false;
    try {
        dlg.ShowPrinter();
    } catch (const ControlError &e) {
        cancelled = e.number() == ControlError::Cancel;
    } catch (const std::exception &e) {
        platform::reportUnexpectedError(e.what());
    } catch (...) {
        platform::reportUnexpectedError(nullptr);
    }
    if (!cancelled)
        ignoreErrors([&] { box->SelPrint(dlg.hDC()); });
}

// The same print dialog, with the flags the last print left. Nothing is
// printed; the next print dialog merely opens with what was chosen.
void mnuFilePageSetup_Click()
{
    frame::MainWindow *w = frame::frmMain();
    if (!w)
        return;
    CommonDialog &dlg = w->dlgCommonDialog();
    ignoreErrors([&] { dlg.setDialogTitle(QStringLiteral("Page Setup")); });
    ignoreErrors([&] { dlg.setCancelError(true); });
    ignoreErrors([&] { dlg.ShowPrinter(CommonDialog::PageSetup); });
}

} // namespace

void registerPrintCommands()
{
    frame::addCommand(QStringLiteral("mnuFilePrint"), [](frame::Tree) { mnuFilePrint_Click(); });
    frame::addCommand(QStringLiteral("mnuFilePageSetup"), [](frame::Tree) { mnuFilePageSetup_Click(); });
}

} // namespace files
