#include "html/toolwindows.h"

namespace html {

void registerTagInserterCommands()
{
}

} // namespace html
