#pragma once

#include <QByteArray>

namespace platform {

// The desktop shows a busy pointer from a launch (a menu entry, a file
// manager's double-click) until the program started shows a window. A start
// that hands its file to the running editor shows none, so it ends the
// feedback itself before leaving: on X11, with the start-up notification
// "remove" message for its DESKTOP_STARTUP_ID, sent on $DISPLAY. Elsewhere,
// or without an id, nothing is sent. True when the message was sent.
bool endStartupFeedback(const QByteArray &startupId);

// The message, as the notification protocol quotes it.
QByteArray startupRemoveMessage(const QByteArray &startupId);

} // namespace platform
