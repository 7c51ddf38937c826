#pragma once

// The picture of a thumbnail, taken where it costs least: a camera's embedded preview,
// the desktop's shared thumbnail cache, and only then a decode of the file, which leaves a
// cache entry behind for the next time.

#include "pictures/picture.h"

#include <QString>

namespace thumbnails {

struct ThumbnailSources
{
    bool embeddedPreviews = true;
    // The shared cache's folder; empty: no cache.
    QString cacheFolder;
    // Whether a decode writes the cache entry it did not find.
    bool writeCache = true;
};

// Loads the picture at `path` for a thumbnail drawn as `request` says, from the first
// source that serves: the preview, the cache, the file itself. The picture is what
// LoadPicture would deliver: the full size of the file's picture, and pixels for the
// drawn size. A file that cannot be read fails, whatever the cache holds for it.
pictures::PictureLoad LoadThumbnailPicture(const QString& path,
                                           const pictures::PictureRequest& request,
                                           const ThumbnailSources& sources);

} // namespace thumbnails
