#pragma once

#include "frame/menutree.h"

#include <QString>

namespace document {
class DocumentWindow;
}

namespace files {

// Creates, numbers and shows a new document window with the counter.
document::DocumentWindow *newDocument(int &counter);

// The one open routine: loads path into the document's text and makes it
// the document's file (asFile false: a template, which is no one's file).
// A load that fails raises the control's error and leaves the document as
// it was.
void loadDocument(document::DocumentWindow &doc, const QString &path, bool asFile = true);

// Tells the user why path can't be opened, when it can't (a folder, a
// device, a name that is not valid UTF-8); true when it was refused. Every
// open asks before it makes a window.
bool refuseToOpen(const QString &path);

// Loads the document's file again, keeping its caption, and colours it as
// an open does.
void reloadDocument(document::DocumentWindow &doc);

// The one save routine, for Save, Save As, the close prompt and Exit.
enum class SaveResult { Saved, Cancelled, Failed };
enum class SaveKind {
    Save,    // File > Save (F12)
    SaveAs,  // File > Save As...
    OnClose, // the close prompt's save-on-close
};
SaveResult saveDocument(document::DocumentWindow &doc, SaveKind kind, frame::Tree tree = frame::Tree::Main);

// Says once that the document's file changed or vanished on disk, offering
// to reload it or keep the editor's text.
void checkFileOnDisk(document::DocumentWindow &doc);

// At start-up: offers the old bytes of saves in place that a kill cut
// short, and removes what interrupted replaces left.
void offerInterruptedSaves();

void registerNewOpenCommands();
void registerSaveCommands();
void registerPrintCommands();

} // namespace files
