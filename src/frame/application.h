#pragma once

namespace frame {
class MainWindow;
}
namespace platform {
class SingleInstance;
}

namespace app {

// The application's name and desktop entry, as the desktop sees them.
void nameApplication();

// Creates the application and the main window, runs start-up with the
// command line (every argument, joined by single spaces, as one path) and
// then the event loop. A start with a file while an editor runs for this
// user and display hands the file to that editor and ends; a first
// argument "--new-instance" starts an editor of its own all the same.
int run(int argc, char **argv);

// Serves later starts: each file they hand over opens in the window as
// the command-line open does, and the window comes to the front.
void serveLaterStarts(platform::SingleInstance &instance, frame::MainWindow &window);

} // namespace app
