#include "files/replacement_file.h"

#include <QDir>

#include <io.h>
#include <windows.h>

namespace files {

bool SyncToDisk(QFile& file)
{
    return file.flush() && ::_commit(file.handle()) == 0;
}

bool RenameOver(const QString& from, const QString& to)
{
    return MoveFileExW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING) != 0;
}

} // namespace files
