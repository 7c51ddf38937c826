#include "thumbnails/cache_files.h"

#include <QDir>

namespace thumbnails {

bool CreatePrivateFolder(const QString& path)
{
    return QDir().mkdir(path,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace thumbnails
