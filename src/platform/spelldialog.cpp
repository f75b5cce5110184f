#include "platform/spelldialog.h"

namespace platform {

SpellAnswer runSpellDialog(const SpellRequest &)
{
    return SpellAnswer{};
}

} // namespace platform
