#include "html/toolwindows.h"

namespace html {

void registerToolWindowCommands()
{
    registerImageCommands();
    registerTagInserterCommands();
    registerInserterCommands();
}

} // namespace html
