#pragma once

namespace app {

// Creates the application and the main window, runs start-up with the
// command line (every argument, joined by single spaces, as one path) and
// then the event loop.
int run(int argc, char **argv);

} // namespace app
