#include "help/helpcommands.h"

namespace help {

void registerAboutCommands()
{
}

} // namespace help
