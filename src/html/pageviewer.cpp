#include "html/pageviewer.h"

namespace html {

void previewHtml(PreviewForm)
{
}

void registerViewerCommands()
{
}

} // namespace html
