#pragma once

#include <QString>

#include <functional>

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
// keepScroll: it is a new version of the page shown, scrolled where that
// one is.
void showPreviewFile(PageViewer *viewer, const QString &path, const document::DocumentWindow *doc,
                     bool keepScroll = false);

// Told each time Preview Html has shown a document's page in the viewer.
void setPreviewListener(std::function<void(document::DocumentWindow *doc, PageViewer *viewer)> listener);

// Shows one of the program's own pages ("\help.html", "\list.html") in the
// maximised viewer, creating the file empty when it is missing. Every step
// ignores its own errors.
void showProgramPage(const QString &nameWithSeparator);

void registerViewerCommands();

} // namespace html
