#pragma once

#include <QMargins>
#include <optional>

class QWidget;
class QWindow;

// What the window helpers need of an X11 window manager. Every function does nothing (or
// answers nothing) on another platform.
namespace tv::x11 {

// True when the program runs on Qt's xcb platform.
bool Active();

// The frame the window manager gives, or will give, the window: asked for before the window is
// mapped with _NET_REQUEST_FRAME_EXTENTS and read from _NET_FRAME_EXTENTS. Nothing when the
// window manager does not answer in time or does not support the request.
std::optional<QMargins> FrameExtents(QWidget* window);

// Asks the window manager to put a mapped window into the band above the others (on) or to take
// it out, with a _NET_WM_STATE client message: the window stays the same X window. False where
// that cannot be asked (another platform, no native window, a window manager without
// _NET_WM_STATE_ABOVE).
bool SetAbove(QWindow* window, bool on);

// Asks for a title bar and a border only, with no buttons, through _MOTIF_WM_HINTS on the
// window's native window. Does nothing while it has none: it never creates one.
void SetTitleBarOnly(QWindow* window);

} // namespace tv::x11
