#include "html/toolwindows.h"

namespace html {

void registerInserterCommands()
{
}

} // namespace html
