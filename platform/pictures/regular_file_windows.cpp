#include "pictures/regular_file.h"

#include <io.h>
#include <windows.h>

namespace pictures {

// Windows keeps pipes and devices out of the folders' namespace, but for the reserved
// device names (NUL, CON, ...) that still open as files: those are no disk files.
bool OpenRegularFile(QFile& file, const QString& path)
{
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    if (handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK)
        return true;
    file.close();
    return false;
}

} // namespace pictures
