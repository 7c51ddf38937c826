#include "files/file_uri.h"

#include <QDir>

namespace files {

QByteArray UriPath(const QString& absolutePath)
{
    return '/' + QDir::fromNativeSeparators(absolutePath).toUtf8();
}

} // namespace files
