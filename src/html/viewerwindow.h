#pragma once

namespace html {

// Closes the page viewer if it is open.
void closePageViewer();

} // namespace html
