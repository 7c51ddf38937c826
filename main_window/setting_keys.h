#pragma once

#include <QString>

// The section and the keys of the window's settings file, as stored files hold them.
inline constexpr QLatin1String kMainSection("Main");
inline constexpr QLatin1String kLastPathKey("Last Path");
inline constexpr QLatin1String kWindowPositionKey("Window Position");
inline constexpr QLatin1String kMaximizedKey("Maximized");
