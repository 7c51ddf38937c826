#include "thumbnails/file_replace.h"

#include <QFile>

#include <cstdio>

namespace thumbnails {

bool ReplaceFile(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace thumbnails
