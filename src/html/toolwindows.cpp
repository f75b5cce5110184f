#include "html/toolwindows.h"

namespace html {

void registerToolWindowCommands()
{
}

} // namespace html
