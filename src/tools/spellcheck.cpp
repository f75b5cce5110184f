#include "tools/toolcommands.h"

namespace tools {

void registerSpellCommands()
{
}

} // namespace tools
