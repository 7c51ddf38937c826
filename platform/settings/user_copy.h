#pragma once

#include <QString>

namespace settings {

// Where the user's own copy of the settings file at `besidePath` lives on this system;
// empty when the system names no place for it.
QString UserSettingsCopyPath(const QString& besidePath);

} // namespace settings
