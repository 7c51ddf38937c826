#include "thumbnails/thumbnail_cache.h"

#include "files/replacement_file.h"
#include "pictures/image_reader.h"
#include "pictures/picture.h"
#include "pictures/png_chunks.h"
#include "pictures/regular_file.h"
#include "thumbnails/cache_files.h"
#include "thumbnails/tuning.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <string_view>

namespace thumbnails {
namespace {

// The largest entry the standard knows is 1024 pixels; a file far beyond what such an entry
// takes is not an entry.
constexpr qint64 kMaxEntryBytes = qint64(16) << 20;
constexpr int kMaxEntrySide = 1024;

const char* const kUriKey = "Thumb::URI";
const char* const kModifiedKey = "Thumb::MTime";
const char* const kSizeKey = "Thumb::Size";

// Creates `path` and any of its missing parents as folders only their owner may enter.
bool MakeFolder(const QString& path, int depth = 0)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    if (info.exists() || depth > 32)
        return false;
    const QString parent = info.absolutePath();
    if (parent == info.absoluteFilePath() || !MakeFolder(parent, depth + 1))
        return false;
    return CreatePrivateFolder(path) || QFileInfo(path).isDir();
}

// Puts a new file of its owner's alone with `bytes` in the place of `path`, in one step,
// whatever was there (a link is an entry like any other); a failed step leaves nothing
// behind.
bool WriteInPlace(const QString& path, const QByteArray& bytes)
{
    files::ReplacementFile file(path, files::ReplacementFile::Links::Replace);
    return file.Open(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
           file.File().write(bytes) == bytes.size() &&
           file.Commit(files::ReplacementFile::Durability::Cached);
}

} // namespace

QString CacheEntryName(const QString& uri)
{
    return QString::fromLatin1(
               QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex()) +
           QStringLiteral(".png");
}

std::optional<QImage> ReadCacheEntry(QByteArrayView png, const CacheKey& key)
{
    if (png.size() > kMaxEntryBytes || !pictures::IsWholePng(png))
        return std::nullopt;
    pictures::MemoryImageReader memory(png, "png");
    QImageReader& reader = memory.Reader();
    const QSize size = reader.size();
    if (size.isEmpty() || size.width() > kMaxEntrySide || size.height() > kMaxEntrySide)
        return std::nullopt;
    QImage image = reader.read();
    if (image.isNull() || image.text(QLatin1String(kUriKey)) != key.uri)
        return std::nullopt;
    const auto number = [&image](const char* name) -> std::optional<qint64> {
        bool isNumber = false;
        const qint64 value = image.text(QLatin1String(name)).trimmed().toLongLong(&isNumber);
        return isNumber ? std::optional<qint64>(value) : std::nullopt;
    };
    if (number(kModifiedKey) != key.modified)
        return std::nullopt;
    const bool sizeRecorded = !image.text(QLatin1String(kSizeKey)).isEmpty();
    if (sizeRecorded && key.size >= 0 && number(kSizeKey) != key.size)
        return std::nullopt;
    return pictures::InLoaderFormat(std::move(image));
}

QByteArray EncodeCacheEntry(const QImage& image, const CacheKey& key, const CacheEntryFacts& facts)
{
    QByteArray pixels;
    QBuffer buffer(&pixels);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(kEntryQuality);
    // The pixels alone: the texts a picture carries of its own (a JPEG's comment) stay out.
    QImage plain(image.constBits(), image.width(), image.height(), image.bytesPerLine(),
                 image.format());
    plain.setColorTable(image.colorTable());
    if (!writer.write(plain))
        return {};
    // A URI is ASCII by construction; the rest are numbers and the program's name.
    std::vector<pictures::PngText> texts = {{kUriKey, key.uri.toLatin1()},
                                            {kModifiedKey, QByteArray::number(key.modified)}};
    if (key.size >= 0)
        texts.emplace_back(kSizeKey, QByteArray::number(key.size));
    if (!facts.mimeType.isEmpty())
        texts.emplace_back("Thumb::Mimetype", facts.mimeType.toLatin1());
    if (!facts.pictureSize.isEmpty()) {
        texts.emplace_back("Thumb::Image::Width", QByteArray::number(facts.pictureSize.width()));
        texts.emplace_back("Thumb::Image::Height", QByteArray::number(facts.pictureSize.height()));
    }
    texts.emplace_back("Software", "Tessellon");
    return pictures::WithPngTexts(pixels, texts);
}

ThumbnailCache::ThumbnailCache(const QString& folder)
    : folder_(QDir::cleanPath(folder))
{}

std::optional<QImage> ThumbnailCache::Find(const CacheKey& key, int longestSide) const
{
    const QString name = CacheEntryName(key.uri);
    for (const CacheFlavor& flavor : kCacheFlavors) {
        if (flavor.size < longestSide)
            continue;
        QFile file;
        if (!pictures::OpenRegularFile(file, folder_ + QLatin1Char('/') +
                                                 QLatin1String(flavor.folder) + QLatin1Char('/') +
                                                 name) ||
            file.size() > kMaxEntryBytes)
            continue;
        std::optional<QImage> image = ReadCacheEntry(file.read(file.size()), key);
        if (image && std::max(image->width(), image->height()) >= longestSide)
            return image;
    }
    return std::nullopt;
}

bool ThumbnailCache::Store(const CacheFlavor& flavor, const QImage& image, const CacheKey& key,
                           const CacheEntryFacts& facts) const
{
    const QString folder = folder_ + QLatin1Char('/') + QLatin1String(flavor.folder);
    if (!MakeFolder(folder))
        return false;
    const QByteArray png = EncodeCacheEntry(image, key, facts);
    if (png.isEmpty())
        return false;
    return WriteInPlace(folder + QLatin1Char('/') + CacheEntryName(key.uri), png);
}

bool ThumbnailCache::Contains(const QString& path) const
{
    const QString prefix = folder_ + QLatin1Char('/');
    if (QFileInfo(path).absoluteFilePath().startsWith(prefix))
        return true;
    const QString canonicalFolder = QFileInfo(folder_).canonicalFilePath();
    const QString canonicalPath = QFileInfo(path).canonicalFilePath();
    return !canonicalFolder.isEmpty() && !canonicalPath.isEmpty() &&
           canonicalPath.startsWith(canonicalFolder + QLatin1Char('/'));
}

} // namespace thumbnails
