#include "tools/toolcommands.h"

namespace tools {

void registerSideWindowCommands()
{
}

} // namespace tools
