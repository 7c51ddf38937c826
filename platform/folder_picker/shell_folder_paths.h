#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// What the shell's folder picker is given and gives back, as text and numbers: no shell
// call is made here.
namespace folder_picker {

// The shell's number of the special folder a designator's number names. Numbers that
// carry flag bits (such as the one that creates a missing folder) or lie outside the
// shell's range name none: a number read from a settings file never makes the shell act.
std::optional<int> ShellSpecialFolder(int number);

// An absolute folder path as the shell parses it: backslashes, `.` and `..` resolved,
// repeated and trailing separators dropped, a drive as `X:\`, a share as
// `\\server\share`. Empty for a relative path, or a share without its name: the shell
// would resolve those against folders the user did not name.
QString ShellParsingName(const QString& path);

// The chosen folder's path from the shell's buffer: the text before the first NUL, a drive
// as `X:\` and any other folder without a trailing separator.
QString ChosenFolderPath(QStringView buffer);

} // namespace folder_picker
