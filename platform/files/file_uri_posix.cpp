#include "files/file_names.h"
#include "files/file_uri.h"

namespace files {

QByteArray UriPath(const QString& absolutePath)
{
    return NameBytes(absolutePath);
}

} // namespace files
