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

// Failures the settings writer behaves as if it met, so that tests can reproduce a
// read-only folder, a read-only file, a full disk or a crash before the rename whatever
// the rights of the user who runs them.
struct SettingsWriteFaults
{
    bool folderReadOnly = false; // no file can be created beside the settings file
    bool fileReadOnly = false;   // the settings file cannot be opened for writing
    qint64 bytesUntilFull = -1;  // writing fails after this many bytes; -1: never
    bool renameFails = false;    // the finished temporary never replaces the file
};

// Makes the following writes meet `faults`; nullptr restores normal writing.
void SetSettingsWriteFaults(const SettingsWriteFaults* faults);

} // namespace basMosaq
