#pragma once

#include <QString>

#include <functional>

class QObject;
class QWidget;

namespace document {
class DocumentWindow;
}
namespace platform {
class RichTextBox;
}

// The recovery journal: the unsaved text of every document window and of
// both notes panes, written under the recovery folder (platform/
// recoverystore.h) within two seconds of the last change, on another
// thread. A keystroke only notes the time. A clean save or close removes a
// text's entry; SIGTERM, SIGHUP, SIGINT and the desktop session's end
// write every pending change before the program ends. The next start
// offers to restore what an editor that ended uncleanly left.
namespace files::recovery {

// Opens this process's session; from then on watched texts are journaled.
void start();
// A clean end: pending changes of texts still unsaved are written, and the
// session closes.
void finish();

void watchDocument(document::DocumentWindow *doc);
// pane: the notes window's name ("Sholder", "appbar"); title: its caption.
void watchNotes(platform::RichTextBox *box, const QString &pane, const QString &title);
// The text was saved, or closed by the user's choice: its entry goes.
void forget(platform::RichTextBox *box);
// Writes the pending changes (of one text, or of all) now.
void flush(platform::RichTextBox *box = nullptr);

// Opens a notes pane for restored notes and gives its text control.
void setNotesRestorer(std::function<platform::RichTextBox *(const QString &pane)> restorer);

// The journal's own processor time on the user-interface thread since the
// last reset, for the benchmark: the longest change noted (what a
// keystroke pays) and the longest snapshot or slice of one.
struct Cost
{
    qint64 longestChangeNs = 0;
    qint64 longestStepNs = 0;
    int snapshots = 0;
    int restarts = 0; // gatherings that found their pieces no longer fit (a fault)
};
Cost cost(bool reset = false);

// At start-up, before the tip of the day: offers, one by one, the texts of
// editors that ended uncleanly.
void offerRestore();

} // namespace files::recovery
