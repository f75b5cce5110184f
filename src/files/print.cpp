#include "files/filecommands.h"

namespace files {

void registerPrintCommands()
{
}

} // namespace files
