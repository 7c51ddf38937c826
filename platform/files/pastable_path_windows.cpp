#include "files/file_names.h"
#include "files/file_uri.h"
#include "files/pastable_path.h"

namespace files {

// The clipboard's text is UTF-16, as names are: a name with a lone surrogate goes as it is,
// where its URI, written in UTF-8, could not name it.
QString PastableFilePath(const QString& path)
{
    return ContainsUnpastableText(path) && !ContainsNonText(path) ? FileUri(path) : path;
}

} // namespace files
