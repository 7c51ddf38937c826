// Feeds arbitrary bytes to the reader of thumbnail cache entries: damaged, hostile or
// foreign PNG data must be refused cleanly, and an entry is only ever taken for its key.
#include "thumbnails/thumbnail_cache.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const thumbnails::CacheKey key{QStringLiteral("file:///pictures/photo.jpg"), 1700000000};
    const std::optional<QImage> entry = thumbnails::ReadCacheEntry(bytes, key);
    if (entry && (entry->isNull() || entry->width() > 1024 || entry->height() > 1024))
        std::abort();
    return 0;
}
