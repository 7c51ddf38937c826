#pragma once

#include <QString>

// The keys of the toolbar's commands: each button carries its key, and tbrMain_ButtonClick
// runs the command that the key names.
inline constexpr QLatin1String kBrowseCommand("Browse");
inline constexpr QLatin1String kEditCommand("Edit"); // the button captioned Select
inline constexpr QLatin1String kRefreshCommand("Refresh");
inline constexpr QLatin1String kExitCommand("Exit");
