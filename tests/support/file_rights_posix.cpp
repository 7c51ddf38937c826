#include "support/file_rights.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

bool PermissionsBindThisProcess()
{
    return ::geteuid() != 0;
}

bool MakeFifo(const QString& path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

std::optional<unsigned> PermissionBits(const QString& path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return unsigned(info.st_mode & 07777);
}

bool SetHidingAttribute(const QString& /*path*/, HidingAttribute /*attribute*/)
{
    return false;
}
