#include "files/file_names.h"
#include "files/file_uri.h"
#include "files/pastable_path.h"

namespace files {

QString PastableFilePath(const QString& path)
{
    return ContainsNonText(path) || ContainsUnpastableText(path) ? FileUri(path) : path;
}

} // namespace files
