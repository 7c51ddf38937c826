#include "thumbnails/cache_files.h"

#include <QDir>

#include <windows.h>

namespace thumbnails {

bool RenameOver(const QString& from, const QString& to)
{
    return MoveFileExW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING) != 0;
}

bool CreatePrivateFolder(const QString& path)
{
    return QDir().mkdir(path);
}

} // namespace thumbnails
