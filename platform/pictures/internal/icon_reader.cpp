#include "pictures/internal/icon_reader.h"

#include "pictures/image_reader.h"
#include "pictures/internal/bmp_decoder.h"
#include "pictures/internal/picture_internal.h"
#include "pictures/picture_format.h"
#include "pictures/png_chunks.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace pictures {
namespace {

constexpr qsizetype kDirectoryHeader = 6;
constexpr qsizetype kDirectoryEntry = 16;
// An image's header and palette, which tell its size and depth.
constexpr qint64 kEntryHeadBytes = 40 + 256 * 4 + 84;

int PngBitCount(int colorType, int depth)
{
    switch (colorType) {
    case 2:
        return depth * 3;
    case 4:
        return depth * 2;
    case 6:
        return depth * 4;
    default:
        return depth; // grey or palette
    }
}

int BitsFromColorCount(int colors)
{
    int bits = 0;
    while (bits < 8 && (1 << bits) < colors)
        ++bits;
    return colors == 0 ? 8 : bits;
}

// The size and depth the image data tell, over what the directory says.
void ReadEntryImageInfo(QByteArrayView data, IconEntry& entry)
{
    if (StartsAsPng(data)) {
        entry.png = true;
        if (data.size() >= 26) {
            const auto width = qFromBigEndian<std::uint32_t>(data.data() + 16);
            const auto height = qFromBigEndian<std::uint32_t>(data.data() + 20);
            if (width > 0 && height > 0 && width <= 65535 && height <= 65535)
                entry.size = QSize(int(width), int(height));
            entry.bitCount = PngBitCount(uchar(data[25]), uchar(data[24]));
        }
        return;
    }
    if (const auto info = ReadDibInfo(data)) {
        const int rows = info->height == entry.size.height() ? info->height : info->height / 2;
        if (rows > 0)
            entry.size = QSize(info->width, rows);
        entry.bitCount = info->bitCount;
    }
}

QImage DecodePngEntry(QByteArrayView data, QString& error)
{
    if (!IsWholePng(data)) {
        error = QStringLiteral("PNG data are damaged");
        return {};
    }
    MemoryImageReader memory(data, "png");
    QImageReader& reader = memory.Reader();
    QImage image = reader.read();
    if (image.isNull())
        error = reader.errorString();
    return image;
}

QImage DecodeEntry(QByteArrayView file, const IconEntry& entry, QString& error)
{
    const QByteArrayView data = file.sliced(entry.offset, entry.length);
    if (entry.png)
        return DecodePngEntry(data, error);
    const auto info = ReadDibInfo(data);
    DibOptions options;
    // Icon bitmaps are twice as high as the picture, the AND mask making up the rest;
    // a few writers store the picture's own height and no mask.
    options.iconWithMask =
        !(info && info->height == entry.size.height() && info->height != 2 * info->width);
    return DecodeDib(data, options, error);
}

int SizeDistance(const IconEntry& entry, int wanted)
{
    return std::abs(entry.size.width() - wanted) + std::abs(entry.size.height() - wanted);
}

} // namespace

std::vector<IconEntry> ReadIconDirectory(QIODevice& device)
{
    std::vector<IconEntry> entries;
    const qint64 start = device.pos();
    const qint64 fileSize = device.size() - start;
    const QByteArray header = device.read(kDirectoryHeader);
    if (header.size() < kDirectoryHeader)
        return entries;
    const int count = qFromLittleEndian<std::uint16_t>(header.constData() + 4);
    const QByteArray directory = device.read(qint64(count) * kDirectoryEntry);
    for (int i = 0; i < count; ++i) {
        const qsizetype at = i * kDirectoryEntry;
        if (at + kDirectoryEntry > directory.size())
            break;
        const auto* raw = reinterpret_cast<const uchar*>(directory.constData() + at);
        const qint64 length = qFromLittleEndian<std::uint32_t>(raw + 8);
        const qint64 offset = qFromLittleEndian<std::uint32_t>(raw + 12);
        if (offset < kDirectoryHeader || offset >= fileSize || length == 0)
            continue;
        IconEntry entry;
        entry.index = i;
        entry.size = QSize(raw[0] == 0 ? 256 : raw[0], raw[1] == 0 ? 256 : raw[1]);
        const int directoryBits = qFromLittleEndian<std::uint16_t>(raw + 6);
        entry.bitCount = directoryBits > 0 ? directoryBits : BitsFromColorCount(raw[2]);
        entry.offset = offset;
        entry.length = std::min<qint64>(length, fileSize - offset);
        if (device.seek(start + offset))
            ReadEntryImageInfo(device.read(std::min<qint64>(entry.length, kEntryHeadBytes)), entry);
        entries.push_back(entry);
    }
    return entries;
}

std::vector<IconEntry> ReadIconDirectory(QByteArrayView file)
{
    QByteArray bytes = QByteArray::fromRawData(file.data(), file.size());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return ReadIconDirectory(buffer);
}

std::vector<IconEntry> OrderIconEntries(std::vector<IconEntry> entries, int largeIconSize)
{
    if (largeIconSize <= 0)
        return entries;
    std::stable_sort(entries.begin(), entries.end(), [&](const IconEntry& a, const IconEntry& b) {
        const int da = SizeDistance(a, largeIconSize);
        const int db = SizeDistance(b, largeIconSize);
        if (da != db)
            return da < db;
        if (a.bitCount != b.bitCount)
            return a.bitCount > b.bitCount;
        const qint64 areaA = qint64(a.size.width()) * a.size.height();
        const qint64 areaB = qint64(b.size.width()) * b.size.height();
        return areaA > areaB;
    });
    return entries;
}

int WantedIconSize(const PictureRequest& request)
{
    return request.iconSize == IconSizeChoice::LargeIcon ? std::max(1, request.largeIconSize) : 0;
}

PictureLoad LoadIconPicture(QByteArrayView file, const PictureRequest& request)
{
    const int wanted = WantedIconSize(request);
    const auto entries = OrderIconEntries(ReadIconDirectory(file), wanted);
    if (entries.empty())
        return PictureFailure(QStringLiteral("icon has no images"));
    QString error;
    for (const IconEntry& entry : entries) {
        QString entryError;
        QImage image = DecodeEntry(file, entry, entryError);
        if (!image.isNull()) {
            const QSize size = image.size();
            return PictureSuccess(std::move(image), size);
        }
        qCDebug(lcPictures) << "icon image" << entry.index << "skipped:" << entryError;
        if (error.isEmpty())
            error = entryError;
    }
    return PictureFailure(error);
}

} // namespace pictures
