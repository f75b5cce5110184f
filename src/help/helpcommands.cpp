#include "help/helpcommands.h"

namespace help {

void registerHelpCommands()
{
}

} // namespace help
