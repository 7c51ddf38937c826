#include "folder_picker/shell_folder_paths.h"

#include <QStringList>

namespace folder_picker {

namespace {

// The shell's special folders are numbered below 0x100; the bits above are flags.
constexpr int kSpecialFolderMask = 0xFF;

bool IsDriveLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool StartsWithDrive(QStringView path)
{
    return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == u':';
}

QString DriveRoot(QChar letter)
{
    return letter.toUpper() + QStringLiteral(":\\");
}

// The names of a path's folders, with `.` and empty names dropped and `..` taking the
// name before it away; never above the top.
QStringList ResolvedNames(QStringView rest)
{
    QStringList names;
    for (const QStringView name : rest.split(u'\\', Qt::SkipEmptyParts)) {
        if (name == u"..") {
            if (!names.isEmpty())
                names.removeLast();
        } else if (name != u".") {
            names.append(name.toString());
        }
    }
    return names;
}

} // namespace

std::optional<int> ShellSpecialFolder(int number)
{
    if (number < 0 || number > kSpecialFolderMask)
        return std::nullopt;
    return number;
}

QString ShellParsingName(const QString& path)
{
    QString native = path;
    native.replace(u'/', u'\\');
    if (StartsWithDrive(native))
        return DriveRoot(native[0]) + ResolvedNames(QStringView(native).mid(2)).join(u'\\');
    if (native.startsWith(QStringLiteral("\\\\"))) {
        const QStringList names = ResolvedNames(QStringView(native).mid(2));
        if (names.size() < 2)
            return {};
        return QStringLiteral("\\\\") + names.join(u'\\');
    }
    return {};
}

QString ChosenFolderPath(QStringView buffer)
{
    const qsizetype end = buffer.indexOf(QChar(u'\0'));
    QString path = (end < 0 ? buffer : buffer.first(end)).toString();
    // A share's leading pair of separators stays.
    while (path.size() > 2 && path.endsWith(u'\\'))
        path.chop(1);
    if (path.size() == 2 && StartsWithDrive(path))
        return DriveRoot(path[0]);
    return path;
}

} // namespace folder_picker
