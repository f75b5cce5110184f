// At start-up, before the recovery journal's offer: saves that a kill cut
// short. A write in place kept the old bytes under the state folder before
// it changed the file; the user chooses between them and the file as it
// is now, and the journal's text (when it holds the unsaved text) is
// offered next, by the recovery offer. A replace's leftover temporary file
// is simply removed.

#include "files/filecommands.h"
#include "frame/mainwindow.h"
#include "platform/settingsstore.h"
#include "platform/ui.h"
#include "storage/fileprobe.h"
#include "storage/saverecord.h"

namespace files {

void offerInterruptedSaves()
{
    for (const auto &save : storage::claimInterruptedSaves()) {
        const platform::Answer answer = platform::ui().messageBox(
            frame::frmMain(),
            QStringLiteral("Saving %1 was interrupted when Quillet Lite last ended: the file may hold part "
                           "of the new text and part of the old.\n"
                           "Put back the file as it was before that save? No leaves the file as it is.\n"
                           "If the recovery journal holds the text being saved, it is offered next.")
                .arg(storage::displayName(save->target())),
            platform::appTitle(), platform::Buttons::YesNo, platform::Icon::Warning);
        if (answer == platform::Answer::Cancel)
            continue; // asked again next time
        if (answer == platform::Answer::No) {
            save->discard();
            continue;
        }
        QString error;
        if (!save->putBack(&error))
            platform::ui().messageBox(frame::frmMain(),
                                      QStringLiteral("Cannot put back %1\n%2\nIt is offered again at the next start.")
                                          .arg(storage::displayName(save->target()), error),
                                      platform::appTitle(), platform::Buttons::OK, platform::Icon::Warning);
    }
}

} // namespace files
