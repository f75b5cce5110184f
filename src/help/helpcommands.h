#pragma once

namespace help {

// Tip of the day, about box and web links.
void registerHelpCommands();

void registerTipCommands();     // tipofday.cpp
void registerAboutCommands();   // about.cpp
void registerWebLinkCommands(); // weblinks.cpp

} // namespace help
