#include "tools/toolcommands.h"

namespace tools {

void registerToolCommands()
{
}

} // namespace tools
