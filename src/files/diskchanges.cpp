#include "document/filemodel.h"
#include "document/documentwindow.h"
#include "files/filecommands.h"
#include "frame/mainwindow.h"
#include "platform/errors.h"
#include "platform/settingsstore.h"
#include "platform/ui.h"

#include <QApplication>
#include <QPointer>

namespace files {

void checkFileOnDisk(document::DocumentWindow &doc)
{
    // One question at a time, and none over another dialog.
    static bool checking = false;
    if (checking || QApplication::activeModalWidget())
        return;
    document::FileModel &file = doc.file();
    const document::FileModel::OnDisk state = file.onDisk();
    if (state == document::FileModel::OnDisk::Same)
        return;
    const document::DiskStamp now = document::DiskStamp::of(file.path());
    if (file.wasAnnounced(now))
        return;
    file.setAnnounced(now);
    checking = true;
    QPointer<document::DocumentWindow> guard(&doc);
    if (state == document::FileModel::OnDisk::Vanished) {
        // The text is now the only copy: closing asks before it goes.
        file.setUnsavedEdits(true);
        platform::ui().messageBox(frame::frmMain(),
                                  QStringLiteral("%1 no longer exists on disk.\nThe editor keeps its text; "
                                                 "save it to write the file again.")
                                      .arg(file.path()),
                                  platform::appTitle(), platform::Buttons::OK, platform::Icon::Warning);
    } else {
        const platform::Answer answer = platform::ui().messageBox(
            frame::frmMain(),
            QStringLiteral("%1 has been changed on disk by another program.\n"
                           "Reload it (the editor's text is replaced), or keep the editor's text?")
                .arg(file.path()),
            platform::appTitle(), platform::Buttons::ReloadKeep, platform::Icon::Warning);
        if (answer == platform::Answer::Reload && guard)
            platform::ignoreErrors([&] { reloadDocument(doc); });
    }
    checking = false;
}

} // namespace files
