#include "document/filemodel.h"
#include "document/documentwindow.h"
#include "files/commondialog.h"
#include "files/filecommands.h"
#include "files/recovery.h"
#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/atomicfile.h"
#include "platform/errors.h"
#include "platform/richtextbox.h"
#include "platform/settingsstore.h"
#include "platform/ui.h"
#include "storage/fileprobe.h"

#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace files {

namespace {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

Answer ask(const QString &text, Buttons buttons)
{
    return platform::ui().messageBox(frame::frmMain(), text, platform::appTitle(), buttons, Icon::Warning);
}

// The questions a save asks before it writes over something: a file other
// than the document's own, formatting that plain text loses, a file that
// changed on disk since it was read.
bool replaceOtherFile(document::DocumentWindow &doc, const QString &target)
{
    // Only a file is replaced; anything else is refused when written.
    if (doc.file().isOwnFile(target) || !QFileInfo(target).isFile())
        return true;
    return ask(QStringLiteral("%1 already exists. Replace it?").arg(QFileInfo(target).fileName()),
               Buttons::YesNo)
        == Answer::Yes;
}

bool dropFormatting(document::DocumentWindow &doc)
{
    if (!doc.file().loadedAsRichText())
        return true;
    const QString name = QFileInfo(doc.file().path().isEmpty() ? doc.caption() : doc.file().path()).fileName();
    return ask(QStringLiteral("%1 holds formatted text. Saving it as plain text loses the formatting. "
                              "Save as plain text?")
                   .arg(name),
               Buttons::YesNo)
        == Answer::Yes;
}

bool overwriteChangedFile(document::DocumentWindow &doc, const QString &target)
{
    if (!doc.file().isOwnFile(target) || doc.file().onDisk() != document::FileModel::OnDisk::Changed)
        return true;
    return ask(QStringLiteral("%1 has been changed on disk since it was opened or last saved.\n"
                              "Overwrite it with the editor's text?")
                   .arg(target),
               Buttons::OverwriteCancel)
        == Answer::Overwrite;
}

// Text the file's encoding can't hold (a character typed into a
// Windows-1252 file) is written as UTF-8 only when the user says so.
bool encodeAsUtf8(document::DocumentWindow &doc)
{
    platform::RichTextBox &box = *doc.rtfText;
    if (box.canEncode())
        return true;
    const QString name = QFileInfo(doc.file().path().isEmpty() ? doc.caption() : doc.file().path()).fileName();
    if (ask(QStringLiteral("%1 holds characters that Windows-1252 can't hold.\nSave as UTF-8?").arg(name),
            Buttons::YesNo)
        != Answer::Yes)
        return false;
    platform::TextFileFormat format = box.fileFormat();
    format.encoding = platform::TextFileFormat::Utf8;
    format.bom = false;
    box.setFileFormat(format);
    return true;
}

SaveResult write(document::DocumentWindow &doc, const QString &target)
{
    if (!dropFormatting(doc) || !overwriteChangedFile(doc, target) || !encodeAsUtf8(doc))
        return SaveResult::Cancelled;
    // The journal holds the new text, whole, before the file is touched, so
    // that even a kill in the middle of an in-place write loses nothing.
    recovery::holdWhole(doc.rtfText);
    const QByteArray bytes = doc.rtfText->encodedText();
    QString error;
    platform::WriteOptions options;
    options.recorded = true;
    if (!platform::writeFileAtomically(target, bytes, &error, options)) {
        platform::ui().messageBox(frame::frmMain(), QStringLiteral("Cannot save %1\n%2").arg(target, error),
                                  platform::appTitle(), Buttons::OK, Icon::Warning);
        return SaveResult::Failed;
    }
    doc.file().saved(target, bytes);
    recovery::forget(doc.rtfText);
    doc.setCaption(target);
    return SaveResult::Saved;
}

// The Save dialog, asked again while the user declines to replace another
// file. Cancel raises the dialog's cancel error.
QString askTarget(document::DocumentWindow &doc, SaveKind kind, frame::Tree tree)
{
    CommonDialog &dlg = frame::frmMain()->dlgCommonDialog();
    dlg.setDialogTitle(QStringLiteral("Save As"));
    dlg.setCancelError(true);
    if (kind == SaveKind::SaveAs)
        dlg.setFileName(QString());
    dlg.setFilter(tree == frame::Tree::Main || kind == SaveKind::OnClose ? scriptFilter()
                                                                         : shortScriptFilter());
    for (;;) {
        dlg.ShowSave();
        // A name that isn't valid UTF-8 would be saved as another file
        // beside it.
        if (!dlg.FileName().isEmpty() && !storage::isUtf8Name(dlg.FileName())) {
            refuseToOpen(dlg.FileName());
            continue;
        }
        if (dlg.FileName().isEmpty() || replaceOtherFile(doc, dlg.FileName()))
            return dlg.FileName();
    }
}

SaveResult save(document::DocumentWindow &doc, SaveKind kind, frame::Tree tree)
{
    frame::MainWindow *w = frame::frmMain();
    CommonDialog &dlg = w->dlgCommonDialog();
    if (kind != SaveKind::SaveAs && doc.hasFile()) {
        dlg.setFileName(doc.caption());
        dlg.setFilter(shortScriptFilter());
        dlg.setDialogTitle(QStringLiteral("Save Changes"));
        dlg.setCancelError(true);
        doc.setCaption(dlg.FileName());
        SaveResult result = SaveResult::Cancelled;
        if (!dlg.FileName().isEmpty()) {
            // A file that can't be written is reported; caption and marker
            // stay as they were.
            result = write(doc, dlg.FileName());
            if (result != SaveResult::Saved)
                return result;
        }
        if (kind == SaveKind::Save && tree == frame::Tree::Main)
            w->framclean();
        return result;
    }
    const QString target = askTarget(doc, kind, tree);
    if (target.isEmpty())
        return SaveResult::Cancelled;
    return write(doc, target);
}

document::DocumentWindow &requireDocument()
{
    document::DocumentWindow *doc = frame::frmMain()->activeDocument();
    if (!doc)
        throw platform::ControlError(platform::ControlError::ObjectRequired, QStringLiteral("Object required"));
    return *doc;
}

} // namespace

SaveResult saveDocument(document::DocumentWindow &doc, SaveKind kind, frame::Tree tree)
{
    try {
        return save(doc, kind, tree);
    } catch (const platform::ControlError &e) {
        return e.number() == platform::ControlError::Cancel ? SaveResult::Cancelled : SaveResult::Failed;
    }
}

void registerSaveCommands()
{
    frame::addCommand(QStringLiteral("mnuFileSave"), [](frame::Tree tree) {
        platform::endOnError([tree] { saveDocument(requireDocument(), SaveKind::Save, tree); });
    });
    frame::addCommand(QStringLiteral("mnuFileSaveAs"), [](frame::Tree tree) {
        platform::ignoreErrors([tree] {
            if (document::DocumentWindow *doc = frame::frmMain()->activeDocument())
                saveDocument(*doc, SaveKind::SaveAs, tree);
        });
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
