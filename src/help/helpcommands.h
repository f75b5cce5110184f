#pragma once

namespace help {

void registerHelpCommands();

} // namespace help
