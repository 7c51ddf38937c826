#include "thumbnails/cache_files.h"

#include <QDir>

namespace thumbnails {

bool CreatePrivateFolder(const QString& path)
{
    return QDir().mkdir(path);
}

} // namespace thumbnails
