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
// recoverystore.h) within half a second of a change, on another thread;
// a document's edits are appended to its entry (files/journal.h). A clean
// save or close removes a text's entry; SIGTERM, SIGHUP, SIGINT, the
// desktop session's end and the loss of the display write every pending
// change before the program ends. A write that fails is reported once, and
// so is the journal's recovery. The next start offers to restore what an
// editor that ended uncleanly left, and puts aside what it can't read.
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
// Writes a document's entry whole, so that it no longer leans on its file:
// a save is about to replace that file.
void holdWhole(platform::RichTextBox *box);

// Opens a notes pane for restored notes and gives its text control.
void setNotesRestorer(std::function<platform::RichTextBox *(const QString &pane)> restorer);

// The journal's own processor time on the user-interface thread since the
// last reset, for the benchmark: the longest change noted (what a
// keystroke pays) and the longest snapshot or slice of one.
struct Cost
{
    qint64 longestChangeNs = 0;
    qint64 longestStepNs = 0;
    int snapshots = 0; // entries written whole
    int restarts = 0;  // gatherings or edits that no longer fit the text (a fault)
    qint64 bytesWritten = 0; // by the journal's thread, since the process began
};
Cost cost(bool reset = false);

// At start-up, before the tip of the day: offers, one by one, the texts of
// editors that ended uncleanly.
void offerRestore();

} // namespace files::recovery
