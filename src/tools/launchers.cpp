#include "tools/toolcommands.h"

namespace tools {

void registerLauncherCommands()
{
}

} // namespace tools
