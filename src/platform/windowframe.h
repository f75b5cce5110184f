#pragma once

#include <QMargins>
#include <QRect>

#include <optional>

class QWidget;

namespace platform {

// The frame the window manager draws around a top-level window. Stored
// window geometry is outer geometry, frame included, so placing a window
// needs the frame's margins; the window manager tells them only some time
// after the window is shown. Tests answer by script.
class WindowFrames
{
public:
    virtual ~WindowFrames() = default;
    // The frame's margins around the window's inside; nothing while they
    // are not known yet (before the window is shown, or without a window
    // manager).
    virtual std::optional<QMargins> margins(const QWidget *window) = 0;
};

// The frames in force: the window system's unless a test installed its own.
WindowFrames &windowFrames();
// Installs a replacement (not owned); nullptr restores the window system's.
void setWindowFrames(WindowFrames *replacement);

// The window's outer geometry in pixels: its inside plus the frame.
QRect outerGeometry(const QWidget *window);

// The outer rectangle moved and shrunk as little as needed to be usable on
// a screen: no larger than the screen's work area, and with its top edge
// (where the title bar is) reachable. A rectangle already usable is
// returned unchanged.
QRect fitOnScreen(const QRect &outer);

// Whether an outer rectangle is what a maximized window fills: the whole
// work area of a screen, frame overhang included.
bool coversWorkArea(const QRect &outer);

// Places a top-level window so that its outer frame is the given rectangle
// (in pixels), fitted on a screen first. While the frame is not known the
// inside takes the whole rectangle; once the window manager tells the
// frame, the window is placed again, once.
void placeOuter(QWidget *window, const QRect &outer);

} // namespace platform
