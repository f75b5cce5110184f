#pragma once

namespace frame {
class MainWindow;
}

namespace script {

void registerScriptCommands();

// At start-up: the Script menu's switches show their settings.
void startUp(frame::MainWindow *window);

} // namespace script
