#pragma once

namespace tools {

// Side windows, launchers and spell check.
void registerToolCommands();

void registerSideWindowCommands(); // sidewindows.cpp
void registerLauncherCommands();   // launchers.cpp
void registerSpellCommands();      // spellcheck.cpp

} // namespace tools
