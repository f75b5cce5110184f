#pragma once

#include "platform/ui.h"

namespace platform {

// The spelling correction dialog: shows the word in its context with
// suggestions and returns what the user chose.
SpellAnswer runSpellDialog(const SpellRequest &request);

} // namespace platform
