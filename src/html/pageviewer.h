#pragma once

#include <QString>

namespace document {
class DocumentWindow;
}

namespace html {

class PageViewer;

// Which command asked for a preview: the menu form tiles the windows
// before and after writing the preview file, the toolbar form only after.
enum class PreviewForm { Menu, Toolbar };

// Writes the active document's text to the preview file beside the
// program and shows it in the page viewer. Does nothing without an active
// document (the viewer itself being active counts as none). Raises the
// first error; what was done before it stays done.
void previewHtml(PreviewForm form);

// Shows the preview file in the viewer, its relative addresses resolving
// in the folder of the document it was written from (when it has one).
void showPreviewFile(PageViewer *viewer, const QString &path, const document::DocumentWindow *doc);

// Shows one of the program's own pages ("\help.html", "\list.html") in the
// maximised viewer, creating the file empty when it is missing. Every step
// ignores its own errors.
void showProgramPage(const QString &nameWithSeparator);

void registerViewerCommands();

} // namespace html
