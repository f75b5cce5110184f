#include "frame/filetypes.h"

namespace frame {

void registerFileTypes()
{
}

} // namespace frame
