#include "tools/toolcommands.h"

namespace tools {

void registerToolCommands()
{
    registerSideWindowCommands();
    registerLauncherCommands();
    registerSpellCommands();
}

} // namespace tools
