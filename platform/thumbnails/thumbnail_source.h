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

// Where a thumbnail's pixels came from.
enum class ThumbnailOrigin {
    Preview,    // the camera's preview embedded in the file
    CacheEntry, // an entry of the shared cache, read from it or just written to it
    Decode,     // the file's own pixels, decoded for this thumbnail alone
};

struct ThumbnailLoad
{
    pictures::PictureLoad load;
    ThumbnailOrigin origin = ThumbnailOrigin::Decode;

    explicit operator bool() const { return static_cast<bool>(load); }
};

// Loads the picture at `path` for a thumbnail drawn as `request` says, from the first
// source that serves: the preview, the cache, the file itself. The picture is what
// LoadPicture would deliver: the full size of the file's picture, and pixels for the
// drawn size. A file that cannot be read fails, whatever the cache holds for it.
ThumbnailLoad LoadThumbnailPicture(const QString& path, const pictures::PictureRequest& request,
                                   const ThumbnailSources& sources);

// The sources that give a thumbnail loaded from `first` back with the same pixels: the
// cache entry it was drawn from, else the preview or the file, never an entry that its
// first load left behind meanwhile. They never write the cache.
ThumbnailSources SourcesToLoadAgain(ThumbnailOrigin origin, const ThumbnailSources& first);

} // namespace thumbnails
