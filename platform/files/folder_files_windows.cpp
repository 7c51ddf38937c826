#include "files/folder_files.h"

#include <QDir>

#include <windows.h>

namespace files {

namespace {

// Windows hides a file by its attributes: hidden, and system, which Explorer hides too. A
// leading dot means nothing there.
constexpr DWORD kHiddenAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// The form of `path` the wide calls take at any length: past MAX_PATH with the \\?\ prefix.
std::wstring WidePath(const QString& nativePath)
{
    QString path = nativePath;
    if (path.size() >= MAX_PATH - 12 && !path.startsWith(QStringLiteral("\\\\?\\"))) {
        path = path.startsWith(QStringLiteral("\\\\"))
                   ? QStringLiteral("\\\\?\\UNC\\") + path.mid(2)
                   : QStringLiteral("\\\\?\\") + path;
    }
    return path.toStdWString();
}

bool IsListedFile(const WIN32_FIND_DATAW& entry, const QString& folder)
{
    const DWORD attributes = entry.dwFileAttributes;
    if ((attributes & (kHiddenAttributes | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return false;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return true;
    // A link counts as the file it leads to; a broken one, or one to a folder, not at all.
    const QString target = folder + QString::fromWCharArray(entry.cFileName);
    const DWORD targetAttributes = GetFileAttributesW(WidePath(target).c_str());
    return targetAttributes != INVALID_FILE_ATTRIBUTES &&
           (targetAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

// The names come as Windows holds them, UTF-16 with any lone surrogates kept.
QStringList ListFolderFiles(const QString& folder)
{
    QStringList names;
    if (folder.isEmpty())
        return names;
    QString native = QDir::toNativeSeparators(QDir(folder).absolutePath());
    if (!native.endsWith(u'\\'))
        native += u'\\';
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileExW(WidePath(native + u'*').c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (IsListedFile(entry, native))
            names.append(QString::fromWCharArray(entry.cFileName));
    } while (FindNextFileW(find, &entry) != FALSE);
    FindClose(find);
    return names;
}

} // namespace files
