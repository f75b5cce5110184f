#pragma once

namespace app {

// The application's name and desktop entry, as the desktop sees them.
void nameApplication();

// Creates the application and the main window, runs start-up with the
// command line (every argument, joined by single spaces, as one path) and
// then the event loop.
int run(int argc, char **argv);

} // namespace app
