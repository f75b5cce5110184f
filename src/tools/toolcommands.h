#pragma once

namespace tools {

// Side windows, launchers and spell check.
void registerToolCommands();

} // namespace tools
