#include "help/helpcommands.h"

namespace help {

void registerHelpCommands()
{
    registerTipCommands();
    registerAboutCommands();
    registerWebLinkCommands();
}

} // namespace help
