#include "thumbnails/thumbnail_cache.h"

#include <QDir>

namespace thumbnails {

// Windows keeps its thumbnails in a database of its own that no program shares: the
// freedesktop cache is used only where a desktop of that kind (MSYS2, Cygwin) names it.
QString DefaultThumbnailCacheFolder()
{
    const QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        return QString();
    return QDir::cleanPath(base + QStringLiteral("/thumbnails"));
}

} // namespace thumbnails
