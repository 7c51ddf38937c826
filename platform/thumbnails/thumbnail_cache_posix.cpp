#include "thumbnails/thumbnail_cache.h"

#include <QDir>

namespace thumbnails {

QString DefaultThumbnailCacheFolder()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(base + QStringLiteral("/thumbnails"));
}

} // namespace thumbnails
