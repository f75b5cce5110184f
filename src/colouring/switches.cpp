#include "colouring/passes.h"

#include "frame/commands.h"
#include "frame/mainwindow.h"
#include "platform/settingsstore.h"

#include <QAction>

namespace colouring {

void registerSwitchCommands()
{
    for (const Switch &p : kSwitches) {
        for (int state = 0; state < 2; ++state) {
            const QString picked = QString::fromLatin1(state ? p.onItem : p.offItem);
            const QString other = QString::fromLatin1(state ? p.offItem : p.onItem);
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
