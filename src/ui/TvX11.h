#pragma once

#include <QByteArray>
#include <QMargins>
#include <cstdint>
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

// Asks the window manager for the frame it will give the window, without waiting: the next
// FrameExtents of the window, while it is not mapped, reads the answer that came meanwhile
// instead of asking again. Creates the window's native window.
void RequestFrameExtents(QWidget* window);

// Asks for a title bar and a border only, with no buttons, through _MOTIF_WM_HINTS on the
// window's native window. Does nothing while it has none: it never creates one.
void SetTitleBarOnly(QWindow* window);

// Whether the window manager names the window as the active one (_NET_ACTIVE_WINDOW), as it
// stands on the server now; nothing when it cannot tell (no such property, another platform).
std::optional<bool> IsActiveWindow(QWidget* window);

// The X server's time now, asked on a short connection of its own (a property change and its
// notification); 0 when there is no X server.
uint32_t ServerTime();

// Brings a mapped window to the front with the focus through the window manager: the launch's
// time stamp (0: the server's time now) becomes the window's user time and goes with
// _NET_ACTIVE_WINDOW as an application's request, so that the window manager's focus-stealing
// rules judge the launch and nothing takes the focus behind their back. Then ends the launch's
// startup notification startupId, if there is one. False when the window is not mapped.
bool ActivateWindow(QWidget* window, const QByteArray& startupId, uint32_t time);

} // namespace tv::x11
