#include "thumbnails/thumbnail_source.h"

#include "pictures/picture_format.h"
#include "pictures/regular_file.h"
#include "thumbnails/embedded_preview.h"
#include "thumbnails/thumbnail_cache.h"
#include "thumbnails/tuning.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace thumbnails {

using pictures::Picture;
using pictures::PictureFormat;
using pictures::PictureLoad;
using pictures::PictureRequest;

namespace {

const char* MimeType(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Jpeg:
        return "image/jpeg";
    case PictureFormat::Bmp:
        return "image/bmp";
    case PictureFormat::Gif:
        return "image/gif";
    default:
        return "";
    }
}

int LongestSide(QSize size)
{
    return std::max(size.width(), size.height());
}

// The smallest flavor of the cache whose entries have the drawn pixels.
const CacheFlavor* FlavorFor(QSize drawn)
{
    for (const CacheFlavor& flavor : kCacheFlavors) {
        if (flavor.size >= LongestSide(drawn))
            return &flavor;
    }
    return nullptr;
}

ThumbnailLoad Finished(Picture picture, const PictureRequest& request, ThumbnailOrigin origin)
{
    return {pictures::FinishPicture(
                pictures::PictureSuccess(std::move(picture.image), picture.size), request),
            origin};
}

ThumbnailLoad Decoded(PictureLoad load)
{
    return {std::move(load), ThumbnailOrigin::Decode};
}

// Decodes the file and, when a cache is given and the picture is larger than the entry that
// serves the drawn pixels, leaves that entry: decoded at the entry's size, written, then
// fitted to what was asked.
ThumbnailLoad DecodeAndStore(QFile& file, const PictureRequest& request,
                             const pictures::PictureHead& facts, const ThumbnailCache* cache,
                             const CacheKey& key)
{
    const CacheFlavor* flavor = FlavorFor(pictures::DeliveredSize(facts.size, request));
    if (!cache || !flavor || LongestSide(facts.size) <= flavor->size)
        return Decoded(pictures::LoadOpenPicture(file, request));
    PictureRequest forEntry = request;
    forEntry.drawnSize = nullptr;
    forEntry.target = QSize(flavor->size, flavor->size);
    pictures::PictureLoad load = pictures::LoadOpenPicture(file, forEntry);
    if (!load || LongestSide(load.picture->image.size()) != flavor->size)
        return Decoded(std::move(load));
    const bool stored =
        cache->Store(*flavor, load.picture->image, key,
                     {QString::fromLatin1(MimeType(facts.format)), load.picture->size});
    return {pictures::FinishPicture(std::move(load), request),
            stored ? ThumbnailOrigin::CacheEntry : ThumbnailOrigin::Decode};
}

bool IsCacheable(const pictures::PictureHead& facts)
{
    return (facts.format == PictureFormat::Jpeg || facts.format == PictureFormat::Bmp ||
            facts.format == PictureFormat::Gif) &&
           qint64(facts.size.width()) * facts.size.height() >= kSmallestCachedPixels;
}

} // namespace

ThumbnailLoad LoadThumbnailPicture(const QString& path, const PictureRequest& request,
                                   const ThumbnailSources& sources)
{
    QFile file;
    if (!pictures::OpenRegularFile(file, path))
        return Decoded(pictures::PictureFailure(QStringLiteral("not a file that can be read")));
    const pictures::PictureHead facts = pictures::ReadPictureHead(file);
    if (!file.seek(0))
        return Decoded(pictures::PictureFailure(file.errorString()));
    if (facts.size.isEmpty())
        return Decoded(pictures::LoadOpenPicture(file, request));
    const QSize drawn = pictures::DeliveredSize(facts.size, request);

    if (sources.embeddedPreviews && facts.format == PictureFormat::Jpeg) {
        if (std::optional<Picture> preview = PictureOfPreview(facts.jpeg, drawn))
            return Finished(std::move(*preview), request, ThumbnailOrigin::Preview);
    }

    const std::optional<ThumbnailCache> cache =
        sources.cacheFolder.isEmpty() ? std::nullopt
                                      : std::optional<ThumbnailCache>(sources.cacheFolder);
    if (!cache || !IsCacheable(facts) || cache->Contains(path))
        return Decoded(pictures::LoadOpenPicture(file, request));
    const CacheKey key{FileUri(QFileInfo(path).absoluteFilePath()),
                       file.fileTime(QFileDevice::FileModificationTime).toSecsSinceEpoch(),
                       file.size()};
    if (std::optional<QImage> entry = cache->Find(key, LongestSide(drawn)))
        return Finished({std::move(*entry), facts.size}, request, ThumbnailOrigin::CacheEntry);
    return DecodeAndStore(file, request, facts, sources.writeCache ? &*cache : nullptr, key);
}

ThumbnailSources SourcesToLoadAgain(ThumbnailOrigin origin, const ThumbnailSources& first)
{
    return {first.embeddedPreviews,
            origin == ThumbnailOrigin::CacheEntry ? first.cacheFolder : QString(), false};
}

} // namespace thumbnails
