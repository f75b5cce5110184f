#pragma once

#include <QString>

namespace frame {

class MainWindow;

// Docks the toolbar at the edge a "tbset" value names; any other value
// leaves it where it is.
void applyToolbarSetting(MainWindow *window, const QString &value);

void registerLayoutCommands();

// The arrangements of the document area: windows one above the other,
// side by side, and minimized windows lined up along the bottom.
void tileHorizontally(MainWindow *window);
void tileVertically(MainWindow *window);
void arrangeIcons(MainWindow *window);

} // namespace frame
