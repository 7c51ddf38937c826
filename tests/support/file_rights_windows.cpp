#include "support/file_rights.h"

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
