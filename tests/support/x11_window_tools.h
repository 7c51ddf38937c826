#pragma once

#include <QImage>
#include <QMargins>
#include <QRect>

#include <cstdint>
#include <optional>
#include <string>

// Small X11 requests that xdotool lacks, for end-to-end tests. `display` is a display
// name such as ":5"; `window` an X window id.

// Asks the window to close as a window manager's close button does: a WM_DELETE_WINDOW
// client message. Unlike destroying the window, this lets its program end normally.
// True when the message was delivered to the X server.
bool RequestWindowClose(const std::string& display, std::uint32_t window);

// The window's pixels as shown on the screen; a null image when they cannot be read
// (the window is unmapped, gone, or not of 24-bit depth).
QImage GrabWindow(const std::string& display, std::uint32_t window);

// The window's own area on the screen, in root coordinates, without a window manager's
// frame; none when it is gone.
std::optional<QRect> ClientRect(const std::string& display, std::uint32_t window);

// The frame a window manager has put around the window, as it announces it
// (_NET_FRAME_EXTENTS); empty margins when there is none.
QMargins FrameExtents(const std::string& display, std::uint32_t window);

// The window's area with its frame: what a user sees of it, and what the program saves as
// its placement.
std::optional<QRect> OuterRect(const std::string& display, std::uint32_t window);

// Whether the window manager shows the window maximized both ways (_NET_WM_STATE).
bool IsMaximized(const std::string& display, std::uint32_t window);
