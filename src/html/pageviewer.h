#pragma once

namespace html {

// Which command asked for a preview: the menu form tiles the windows
// before and after writing the preview file, the toolbar form only after.
enum class PreviewForm { Menu, Toolbar };

// Writes the active document's text to the preview file beside the
// program and shows it in the page viewer. Raises the first error.
void previewHtml(PreviewForm form);

void registerViewerCommands();

} // namespace html
