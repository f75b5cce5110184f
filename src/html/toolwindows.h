#pragma once

namespace html {

// "New Image", the Tag Inserter and the Inserter.
void registerToolWindowCommands();

void registerImageCommands();       // imageinsert.cpp
void registerTagInserterCommands(); // taginserter.cpp
void registerInserterCommands();    // inserter.cpp

} // namespace html
