#include "support/file_rights.h"

#include <QDir>

#include <windows.h>

bool PermissionsBindThisProcess()
{
    return false;
}

bool MakeFifo(const QString& /*path*/)
{
    return false;
}

std::optional<unsigned> PermissionBits(const QString& /*path*/)
{
    return std::nullopt;
}

bool SetHidingAttribute(const QString& path, HidingAttribute attribute)
{
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD added =
        attribute == HidingAttribute::Hidden ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_SYSTEM;
    return SetFileAttributesW(name.c_str(), (attributes & ~FILE_ATTRIBUTE_NORMAL) | added) != FALSE;
}
