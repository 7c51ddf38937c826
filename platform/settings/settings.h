#pragma once

#include <QString>

namespace settings {

// Where the program's settings live: the file beside the executable, named after it, and
// the user's own copy that stands in for it where that file cannot be written, as Windows
// keeps one in its VirtualStore for programs that expect to write beside themselves.
struct SettingsLocation
{
    QString beside;
    // Read whenever it exists, and written once the file beside the executable cannot be;
    // empty where the system names no place for it.
    QString userCopy;
};

// ReadSetting and WriteSetting on the settings of `location`. The first write that the
// file beside the executable refuses starts the user's copy from that file, with every
// line and comment.
QString ReadSettingAt(const SettingsLocation& location, const QString& section, const QString& key,
                      const QString& defaultValue = QString());
int WriteSettingAt(const SettingsLocation& location, const QString& section, const QString& key,
                   const QString& value);

// The program's own settings, worked out once.
SettingsLocation ProgramSettings();

// The settings file beside the program's executable.
QString SettingsFilePath();

// The settings file that belongs to the executable at `executablePath`.
QString SettingsPathForExecutable(const QString& executablePath);

// The settings that belong to the executable at `executablePath`.
SettingsLocation SettingsLocationForExecutable(const QString& executablePath);

// The copy of the file at `path` that Windows' VirtualStore under `localAppData` keeps:
// "<localAppData>\VirtualStore" followed by the path without its drive or network share,
// with backslashes.
QString VirtualStorePath(const QString& localAppData, const QString& path);

// Failures the settings writer behaves as if it met, so that tests can reproduce a
// read-only folder, a read-only file, a full disk, a failed sync or a crash before the
// rename whatever the rights of the user who runs them.
struct SettingsWriteFaults
{
    bool folderReadOnly = false; // no file can be created beside the settings file
    bool fileReadOnly = false;   // the settings file cannot be opened for writing
    qint64 bytesUntilFull = -1;  // writing fails after this many bytes; -1: never
    bool syncFails = false;      // the disk reports an error when the text is synced
    bool renameFails = false;    // the finished temporary never replaces the file
    QString onlyIn = QString();  // when set, only files in this folder meet the faults
};

// Makes the following writes meet `faults`; nullptr restores normal writing.
void SetSettingsWriteFaults(const SettingsWriteFaults* faults);

} // namespace settings

// What the window reads and writes of its settings.
namespace basMosaq {

// Reads `key` of `section` from `file`, or from the program's own settings when `file` is
// empty. A missing file, section or key yields `defaultValue`.
QString ReadSetting(const QString& section, const QString& key,
                    const QString& defaultValue = QString(), const QString& file = QString());

// Writes `value` under `key` of `section`, into `file` or the program's own settings. An
// empty value removes the key, an empty key removes the whole section. Returns nonzero on
// success, 0 on failure; a failure leaves the file as it was.
int WriteSetting(const QString& section, const QString& key, const QString& value,
                 const QString& file = QString());

} // namespace basMosaq
