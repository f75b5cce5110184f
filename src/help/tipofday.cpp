#include "help/helpcommands.h"
#include "help/tipofday.h"

namespace help {

void showTipOfTheDay(QWidget *)
{
}

void registerTipCommands()
{
}

} // namespace help
