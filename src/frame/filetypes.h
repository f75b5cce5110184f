#pragma once

namespace frame {

// Registers the editor with the desktop as the opener of ".cgi" and ".pl"
// files. Silent: a failure leaves the association missing, nothing else.
void registerFileTypes();

} // namespace frame
