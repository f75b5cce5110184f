#include "frame/commands.h"

#include "platform/errors.h"

#include <QHash>

namespace frame {

namespace {
QHash<QString, Handler> &table()
{
    static QHash<QString, Handler> t;
    return t;
}
} // namespace

void addCommand(const QString &name, Handler handler)
{
    table().insert(name, std::move(handler));
}

bool runCommand(const QString &name, Tree tree)
{
    const auto it = table().constFind(name);
    if (it == table().constEnd())
        return false;
    // A command never lets an error out into the event loop; one that isn't
    // a control's is reported under the command's name.
    const platform::CommandScope scope(name);
    platform::ignoreErrors([&] { it.value()(tree); });
    return true;
}

} // namespace frame
