#pragma once

#include <QImage>

#include <cstdint>
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
