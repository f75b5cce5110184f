#include "html/toolwindows.h"

namespace html {

void registerImageCommands()
{
}

} // namespace html
