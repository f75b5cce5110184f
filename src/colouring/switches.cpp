#include "colouring/passes.h"

#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/settingsstore.h"

#include <QAction>

namespace colouring {

void registerSwitchCommands()
{
    struct Pair
    {
        const char *key, *on, *off;
    };
    static const Pair pairs[] = {{"setto", "mnucoloron", "mnucoloroff"},
                                 {"var", "mnuvaron", "mnuvaroff"},
                                 {"edit", "mnuediton", "mnueditoff"},
                                 {"com", "mnucomcoloron", "mnucomcoloroff"}};
    for (const Pair &p : pairs) {
        for (int state = 0; state < 2; ++state) {
            const QString picked = QString::fromLatin1(state ? p.on : p.off);
            const QString other = QString::fromLatin1(state ? p.off : p.on);
            const QString key = QString::fromLatin1(p.key);
            const QString value = state ? QStringLiteral("on") : QStringLiteral("off");
            frame::addCommand(picked, [picked, other, key, value](frame::Tree tree) {
                frame::MainWindow *w = frame::frmMain();
                if (tree == frame::Tree::Main)
                    frame::checkPair(w->menuItem(picked), w->menuItem(other));
                else
                    frame::checkPair(w->quickItem(picked), w->quickItem(other));
                platform::writeSetting(QStringLiteral("settings"), key, value);
            });
        }
    }
}

} // namespace colouring
