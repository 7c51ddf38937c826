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

using pictures::PictureFormat;

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

pictures::PictureLoad Finished(pictures::Picture picture, const pictures::PictureRequest& request)
{
    return pictures::FinishPicture(pictures::PictureSuccess(std::move(picture.image), picture.size),
                                   request);
}

// Decodes the file and, when a cache is given and the picture is larger than the entry that
// serves the drawn pixels, leaves that entry: decoded at the entry's size, written, then
// fitted to what was asked.
pictures::PictureLoad DecodeAndStore(QFile& file, const pictures::PictureRequest& request,
                                     const pictures::PictureHead& facts,
                                     const ThumbnailCache* cache, const CacheKey& key)
{
    const CacheFlavor* flavor = FlavorFor(pictures::DeliveredSize(facts.size, request));
    if (!cache || !flavor || LongestSide(facts.size) <= flavor->size)
        return pictures::LoadOpenPicture(file, request);
    pictures::PictureRequest forEntry = request;
    forEntry.drawnSize = nullptr;
    forEntry.target = QSize(flavor->size, flavor->size);
    pictures::PictureLoad load = pictures::LoadOpenPicture(file, forEntry);
    if (!load || LongestSide(load.picture->image.size()) != flavor->size)
        return load;
    const bool stored =
        cache->Store(*flavor, load.picture->image, key,
                     {QString::fromLatin1(MimeType(facts.format)), load.picture->size});
    load = pictures::FinishPicture(std::move(load), request);
    load.fromThumbnailCache = stored && static_cast<bool>(load);
    return load;
}

bool IsCacheable(const pictures::PictureHead& facts)
{
    return (facts.format == PictureFormat::Jpeg || facts.format == PictureFormat::Bmp ||
            facts.format == PictureFormat::Gif) &&
           qint64(facts.size.width()) * facts.size.height() >= kSmallestCachedPixels;
}

} // namespace

pictures::PictureLoad LoadThumbnailPicture(const QString& path,
                                           const pictures::PictureRequest& request,
                                           const ThumbnailSources& sources)
{
    QFile file;
    if (!pictures::OpenRegularFile(file, path))
        return pictures::PictureFailure(QStringLiteral("not a file that can be read"));
    const pictures::PictureHead facts = pictures::ReadPictureHead(file);
    if (!file.seek(0))
        return pictures::PictureFailure(file.errorString());
    if (facts.size.isEmpty())
        return pictures::LoadOpenPicture(file, request);
    const QSize drawn = pictures::DeliveredSize(facts.size, request);

    if (sources.embeddedPreviews && facts.format == PictureFormat::Jpeg) {
        if (std::optional<pictures::Picture> preview = PictureOfPreview(facts.jpeg, drawn))
            return Finished(std::move(*preview), request);
    }

    const std::optional<ThumbnailCache> cache =
        sources.cacheFolder.isEmpty() ? std::nullopt
                                      : std::optional<ThumbnailCache>(sources.cacheFolder);
    if (!cache || !IsCacheable(facts) || cache->Holds(path))
        return pictures::LoadOpenPicture(file, request);
    const CacheKey key{FileUri(QFileInfo(path).absoluteFilePath()),
                       file.fileTime(QFileDevice::FileModificationTime).toSecsSinceEpoch(),
                       file.size()};
    if (std::optional<QImage> entry = cache->Find(key, LongestSide(drawn))) {
        pictures::PictureLoad load = Finished({std::move(*entry), facts.size}, request);
        load.fromThumbnailCache = static_cast<bool>(load);
        return load;
    }
    return DecodeAndStore(file, request, facts, sources.writeCache ? &*cache : nullptr, key);
}

} // namespace thumbnails
