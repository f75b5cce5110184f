#include "document/filemodel.h"
#include "document/documentwindow.h"
#include "files/filecommands.h"
#include "frame/mainwindow.h"
#include "platform/documentloader.h"
#include "platform/errors.h"
#include "platform/settingsstore.h"
#include "platform/ui.h"

#include <QApplication>
#include <QPointer>

namespace files {

namespace {

// How long the check waits for a file's bytes before it lets the answer
// come later: a small file is compared at once, a large one never holds
// up the window.
constexpr int kWaitForBytesMs = 50;

using OnDisk = document::FileModel::OnDisk;

void announce(document::DocumentWindow &doc, OnDisk state)
{
    // One question at a time, and none over another dialog.
    static bool asking = false;
    if (state == OnDisk::Same || asking || QApplication::activeModalWidget())
        return;
    document::FileModel &file = doc.file();
    const document::DiskStamp now = document::DiskStamp::of(file.path());
    if (file.wasAnnounced(now))
        return;
    file.setAnnounced(now);
    asking = true;
    QPointer<document::DocumentWindow> guard(&doc);
    auto tell = [&](const QString &text) {
        // The text is now the only copy: closing asks before it goes.
        file.setUnsavedEdits(true);
        platform::ui().messageBox(frame::frmMain(), text, platform::appTitle(), platform::Buttons::OK,
                                  platform::Icon::Warning);
    };
    if (state == OnDisk::Vanished) {
        tell(QStringLiteral("%1 no longer exists on disk.\nThe editor keeps its text; "
                            "save it to write the file again.")
                 .arg(file.path()));
    } else if (state == OnDisk::NotRegular) {
        tell(QStringLiteral("%1 is no longer a regular file; it is now %2.\nThe editor keeps its text.")
                 .arg(file.path(), storage::describeKind(now.kind)));
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
    asking = false;
}

} // namespace

void checkFileOnDisk(document::DocumentWindow &doc)
{
    if (QApplication::activeModalWidget())
        return;
    document::FileModel &file = doc.file();
    const OnDisk state = file.onDiskByStamp();
    if (state != OnDisk::TimesOnly) {
        announce(doc, state);
        return;
    }
    // Only the bytes can tell; they are read on another thread.
    const QString path = file.path();
    const document::DiskStamp stamp = file.stamp();
    const document::DiskStamp now = document::DiskStamp::of(path);
    QPointer<document::DocumentWindow> guard(&doc);
    platform::hashRegularFileLater(path, now.size, kWaitForBytesMs, &doc,
                                   [guard, path, stamp, now](std::optional<quint64> hash) {
                                       if (!guard)
                                           return;
                                       document::FileModel &f = guard->file();
                                       // Saved, reloaded or reopened meanwhile: that counts.
                                       if (f.path() != path || f.stamp() != stamp)
                                           return;
                                       if (hash && *hash == f.contentHash() && document::DiskStamp::of(path) == now)
                                           f.takeStamp(now); // touched only
                                       else
                                           announce(*guard, OnDisk::Changed);
                                   });
}

} // namespace files
