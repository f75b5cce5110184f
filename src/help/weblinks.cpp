#include "help/helpcommands.h"

namespace help {

void registerWebLinkCommands()
{
}

} // namespace help
