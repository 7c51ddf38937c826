#include "thumbnails/cache_files.h"

#include <QDir>

#include <cstdio>

namespace thumbnails {

bool RenameOver(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool CreatePrivateFolder(const QString& path)
{
    return QDir().mkdir(path,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QByteArray UriPath(const QString& absolutePath)
{
    return QFile::encodeName(absolutePath);
}

} // namespace thumbnails
