#pragma once

class QWidget;

namespace help {

// Shows the tip of the day at start-up (it closes itself at once when
// tips are switched off).
void showTipOfTheDay(QWidget *mainWindow);

} // namespace help
