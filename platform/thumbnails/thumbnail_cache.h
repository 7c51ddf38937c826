#pragma once

// The desktop's shared thumbnail cache, as the freedesktop Thumbnail Managing Standard
// lays it out: PNG files named by the MD5 of the picture's URI, in folders of four sizes
// under $XDG_CACHE_HOME/thumbnails. File managers and image viewers read and write the
// same entries.

#include "files/file_uri.h"

#include <QByteArrayView>
#include <QImage>
#include <QString>

#include <array>
#include <optional>

namespace thumbnails {

struct CacheFlavor
{
    const char* folder;
    int size; // the longest side of its entries
};

// From the smallest to the largest.
inline constexpr std::array<CacheFlavor, 4> kCacheFlavors = {{
    {"normal", 128},
    {"large", 256},
    {"x-large", 512},
    {"xx-large", 1024},
}};

// The file's URI, under which its entry is stored.
using files::FileUri;

// The entry's file name: the MD5 of the URI in hexadecimal, and ".png".
QString CacheEntryName(const QString& uri);

// $XDG_CACHE_HOME/thumbnails, or where it is unset, empty or relative ~/.cache/thumbnails;
// on Windows nothing then: no cache.
QString DefaultThumbnailCacheFolder();

// What an entry must say of its picture to stand for it.
struct CacheKey
{
    QString uri;
    qint64 modified = 0; // seconds since 1970, as stat gives them
    qint64 size = -1;    // the file's size in bytes; -1 when unknown
};

// The picture of an entry's PNG data when the entry stands for `key`: its Thumb::URI and
// Thumb::MTime match, and so does its Thumb::Size where it has one, as GLib checks them.
// Nothing for damaged data, another picture or a stale entry.
std::optional<QImage> ReadCacheEntry(QByteArrayView png, const CacheKey& key);

// What an entry records of its picture besides the key.
struct CacheEntryFacts
{
    QString mimeType;
    QSize pictureSize; // the picture's full size; empty when unknown
};

// The PNG data of an entry for `image`, carrying the key and the facts in uncompressed
// tEXt chunks, the only kind GLib reads.
QByteArray EncodeCacheEntry(const QImage& image, const CacheKey& key, const CacheEntryFacts& facts);

class ThumbnailCache
{
public:
    // `folder` holds the flavors' folders; it need not exist yet.
    explicit ThumbnailCache(const QString& folder);

    const QString& Folder() const { return folder_; }

    // The smallest valid entry for `key` whose picture has at least `longestSide` pixels on
    // its longer side, or whose flavor is large enough when the picture is smaller.
    std::optional<QImage> Find(const CacheKey& key, int longestSide) const;

    // Writes `image` as the entry of the flavor `flavor` for the picture: a temporary
    // file, then a rename, so that readers never see half an entry. Files get mode 0600,
    // folders 0700. False when anything failed; nothing is left behind then.
    bool Store(const CacheFlavor& flavor, const QImage& image, const CacheKey& key,
               const CacheEntryFacts& facts) const;

    // Whether `path` lies inside the cache, whose own files get no entries.
    bool Contains(const QString& path) const;

private:
    QString folder_;
};

} // namespace thumbnails
