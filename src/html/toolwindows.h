#pragma once

namespace html {

// "New Image", the Tag Inserter and the Inserter.
void registerToolWindowCommands();

} // namespace html
