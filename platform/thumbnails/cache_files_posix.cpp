#include "files/file_names.h"
#include "thumbnails/cache_files.h"

#include <QDir>

#include <cstdio>

namespace thumbnails {

bool RenameOver(const QString& from, const QString& to)
{
    return std::rename(files::NameBytes(from).constData(), files::NameBytes(to).constData()) == 0;
}

bool CreatePrivateFolder(const QString& path)
{
    return QDir().mkdir(path,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace thumbnails
