#include "pictures/thumbnail_cache.h"

#include "pictures/file_replace.h"
#include "pictures/picture_format.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryFile>

#include <string_view>

namespace pictures {
namespace {

// The largest entry the standard knows is 1024 pixels; a file far beyond what such an entry
// takes is not an entry.
constexpr qint64 kMaxEntryBytes = qint64(16) << 20;
constexpr int kMaxEntrySide = 1024;
// Entries are stored without compression (Qt's PNG quality 100): a normal entry then takes
// 37 KiB instead of 7 to 25, but it is written in a sixth of the time and read in half,
// and reading entries is what the cache is for.
constexpr int kEntryQuality = 100;

const char* const kUriKey = "Thumb::URI";
const char* const kModifiedKey = "Thumb::MTime";

constexpr QFileDevice::Permissions kFolderPermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions kEntryPermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

bool IsUnescapedInUri(char c)
{
    constexpr std::string_view kMarks = "!$&'()*+,-./:=@_~";
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           kMarks.find(c) != std::string_view::npos;
}

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
    return QDir().mkdir(path, kFolderPermissions) || QFileInfo(path).isDir();
}

QImage InLoaderFormat(QImage image)
{
    const QImage::Format format =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != format)
        image.convertTo(format);
    return image;
}

} // namespace

QString FileUri(const QString& absolutePath)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray bytes = QFile::encodeName(absolutePath);
    QString uri = QStringLiteral("file://");
    uri.reserve(uri.size() + bytes.size() * 3);
    for (const char c : bytes) {
        if (IsUnescapedInUri(c)) {
            uri += QLatin1Char(c);
        } else {
            uri += QLatin1Char('%');
            uri += QLatin1Char(kHex[uchar(c) >> 4]);
            uri += QLatin1Char(kHex[uchar(c) & 0x0F]);
        }
    }
    return uri;
}

QString CacheEntryName(const QString& uri)
{
    return QString::fromLatin1(
               QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex()) +
           QStringLiteral(".png");
}

QString DefaultThumbnailCacheFolder()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(base + QStringLiteral("/thumbnails"));
}

std::optional<QImage> ReadCacheEntry(QByteArrayView png, const CacheKey& key)
{
    if (png.size() > kMaxEntryBytes || !IsWholePng(png))
        return std::nullopt;
    QByteArray bytes = png.toByteArray();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    if (size.isEmpty() || size.width() > kMaxEntrySide || size.height() > kMaxEntrySide)
        return std::nullopt;
    QImage image = reader.read();
    if (image.isNull() || image.text(QLatin1String(kUriKey)) != key.uri)
        return std::nullopt;
    bool isNumber = false;
    const qint64 modified = image.text(QLatin1String(kModifiedKey)).trimmed().toLongLong(&isNumber);
    if (!isNumber || modified != key.modified)
        return std::nullopt;
    return InLoaderFormat(std::move(image));
}

QByteArray EncodeCacheEntry(const QImage& image, const CacheKey& key, const CacheEntryFacts& facts)
{
    QImage entry = image;
    entry.setText(QLatin1String(kUriKey), key.uri);
    entry.setText(QLatin1String(kModifiedKey), QString::number(key.modified));
    entry.setText(QStringLiteral("Thumb::Size"), QString::number(facts.fileSize));
    if (!facts.mimeType.isEmpty())
        entry.setText(QStringLiteral("Thumb::Mime"), facts.mimeType);
    if (!facts.pictureSize.isEmpty()) {
        entry.setText(QStringLiteral("Thumb::Image::Width"),
                      QString::number(facts.pictureSize.width()));
        entry.setText(QStringLiteral("Thumb::Image::Height"),
                      QString::number(facts.pictureSize.height()));
    }
    entry.setText(QStringLiteral("Software"), QStringLiteral("Tessellon"));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(kEntryQuality);
    if (!writer.write(entry))
        return {};
    return bytes;
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
        QFile file(folder_ + QLatin1Char('/') + QLatin1String(flavor.folder) + QLatin1Char('/') +
                   name);
        if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxEntryBytes)
            continue;
        std::optional<QImage> image = ReadCacheEntry(file.readAll(), key);
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
    const QString path = folder + QLatin1Char('/') + CacheEntryName(key.uri);
    // Removed when it is left before the rename.
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open() || !file.setPermissions(kEntryPermissions) || file.write(png) != png.size() ||
        !file.flush())
        return false;
    file.close();
    if (!ReplaceFile(file.fileName(), path))
        return false;
    file.setAutoRemove(false);
    return true;
}

bool ThumbnailCache::Holds(const QString& path) const
{
    const QString prefix = folder_ + QLatin1Char('/');
    if (QFileInfo(path).absoluteFilePath().startsWith(prefix))
        return true;
    const QString canonicalFolder = QFileInfo(folder_).canonicalFilePath();
    const QString canonicalPath = QFileInfo(path).canonicalFilePath();
    return !canonicalFolder.isEmpty() && !canonicalPath.isEmpty() &&
           canonicalPath.startsWith(canonicalFolder + QLatin1Char('/'));
}

} // namespace pictures
