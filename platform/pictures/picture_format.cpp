#include "pictures/picture_format.h"

#include "pictures/internal/bmp_decoder.h"
#include "pictures/internal/picture_internal.h"
#include "pictures/png_chunks.h"
#include "pictures/tuning.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <optional>

namespace pictures {
namespace {

bool StartsWith(QByteArrayView bytes, QByteArrayView prefix)
{
    return bytes.size() >= prefix.size() && bytes.first(prefix.size()) == prefix;
}

bool IsIconDirectory(QByteArrayView bytes, std::uint16_t type)
{
    if (bytes.size() < 6 + 16 || LeU16(bytes, 0) != 0 || LeU16(bytes, 2) != type)
        return false;
    const std::uint16_t count = LeU16(bytes, 4);
    return count > 0 && bytes.size() >= 6 + 16 * qsizetype(count);
}

bool IsPlainWmf(QByteArrayView bytes)
{
    if (bytes.size() < 18)
        return false;
    const std::uint16_t type = LeU16(bytes, 0);
    const std::uint16_t version = LeU16(bytes, 4);
    return (type == 1 || type == 2) && LeU16(bytes, 2) == 9 &&
           (version == 0x0100 || version == 0x0300);
}

bool IsEmf(QByteArrayView bytes)
{
    return bytes.size() >= 88 && LeU32(bytes, 0) == 1 && LeU32(bytes, 40) == 0x464D4520;
}

// A DIB without the file header: a known header size, one plane and a known depth.
bool IsPackedDib(QByteArrayView bytes)
{
    if (bytes.size() < 16)
        return false;
    const std::uint32_t size = LeU32(bytes, 0);
    if (size == 12)
        return LeU16(bytes, 8) == 1 && IsDibBitCount(LeU16(bytes, 10));
    const bool known =
        size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
    return known && LeU16(bytes, 12) == 1 && IsDibBitCount(LeU16(bytes, 14));
}

qint64 MostPixelsPerByte(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Gif:
        return qint64(4096) * 8 / 12 + 1;
    case PictureFormat::Png:
        return qint64(1032) * 8;
    case PictureFormat::Jpeg:
        return qint64(64) * 8;
    case PictureFormat::Bmp:
    case PictureFormat::PackedDib:
        return qint64(255) * 255 * 8 / 32;
    default:
        return 0; // no stated size
    }
}

} // namespace

QSize StatedPictureSize(PictureFormat format, QByteArrayView head)
{
    switch (format) {
    case PictureFormat::Bmp:
    case PictureFormat::PackedDib: {
        const QByteArrayView dib = format == PictureFormat::Bmp ? head.sliced(14) : head;
        if (const std::optional<DibInfo> info = ReadDibInfo(dib))
            return {info->width, info->height};
        return {};
    }
    case PictureFormat::Gif:
        return head.size() >= 10 ? QSize(LeU16(head, 6), LeU16(head, 8)) : QSize();
    case PictureFormat::Png: {
        if (head.size() < 24)
            return {};
        const std::uint32_t width = qFromBigEndian<std::uint32_t>(head.data() + 16);
        const std::uint32_t height = qFromBigEndian<std::uint32_t>(head.data() + 20);
        if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
            return {};
        return {int(width), int(height)};
    }
    default:
        return {};
    }
}

PictureHead ReadPictureHead(QIODevice& device)
{
    PictureHead head;
    const QByteArray first = device.peek(kPictureHeadBytes);
    head.format = DetectPictureFormat(first);
    if (head.format != PictureFormat::Jpeg) {
        head.size = StatedPictureSize(head.format, first);
    } else if (std::optional<JpegHead> jpeg = ReadJpegHead(device)) {
        head.jpeg = std::move(*jpeg);
        head.size = head.jpeg.OrientedSize();
    }
    return head;
}

bool FileCanHoldPicture(PictureFormat format, QSize stated, qint64 fileBytes)
{
    if (stated.isEmpty())
        return true;
    const qint64 pixels = qint64(stated.width()) * stated.height();
    return pixels <= kAlwaysAllowedPixels ||
           pixels / std::max<qint64>(1, fileBytes) < MostPixelsPerByte(format);
}

PictureFormat DetectPictureFormat(QByteArrayView bytes)
{
    if (StartsWith(bytes, "\xFF\xD8\xFF"))
        return PictureFormat::Jpeg;
    if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a"))
        return PictureFormat::Gif;
    if (StartsAsPng(bytes))
        return PictureFormat::Png;
    if (StartsWith(bytes, "BM") && bytes.size() >= 14 + 12)
        return PictureFormat::Bmp;
    if (IsIconDirectory(bytes, 1))
        return PictureFormat::Icon;
    if (IsIconDirectory(bytes, 2))
        return PictureFormat::Cursor;
    if (StartsWith(bytes, "\xD7\xCD\xC6\x9A") || IsPlainWmf(bytes))
        return PictureFormat::Wmf;
    if (IsEmf(bytes))
        return PictureFormat::Emf;
    if (IsPackedDib(bytes))
        return PictureFormat::PackedDib;
    return PictureFormat::Unknown;
}

} // namespace pictures
