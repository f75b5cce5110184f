#pragma once

#include "frame/menutree.h"

#include <QString>

#include <functional>

namespace frame {

// What a menu item does, by item name. The handler is told which copy of
// the menus it was picked from, for the commands whose copies differ.
using Handler = std::function<void(Tree)>;

void addCommand(const QString &name, Handler handler);
// Runs the command of an item; false when there is none.
bool runCommand(const QString &name, Tree tree);

// Every subsystem's commands, registered once.
void registerAllCommands();

} // namespace frame
