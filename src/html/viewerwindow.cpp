#include "html/viewerwindow.h"

namespace html {

void closePageViewer()
{
}

} // namespace html
