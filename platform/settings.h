#pragma once

#include <QString>

namespace basMosaq {

// Reads `key` of `section` from `file`, or from the program's own settings file when
// `file` is empty. A missing file, section or key yields `defaultValue`.
QString ReadSetting(const QString& section, const QString& key,
                    const QString& defaultValue = QString(), const QString& file = QString());

// Writes `value` under `key` of `section`. An empty value removes the key, an empty key
// removes the whole section. Returns nonzero on success, 0 on failure.
int WriteSetting(const QString& section, const QString& key, const QString& value,
                 const QString& file = QString());

// The program's settings file: beside the executable, named after it, worked out once.
QString SettingsFilePath();

// The settings file that belongs to the executable at `executablePath`.
QString SettingsPathForExecutable(const QString& executablePath);

} // namespace basMosaq
