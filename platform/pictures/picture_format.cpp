#include "pictures/picture_format.h"

#include "pictures/picture_internal.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

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

bool IsBitCount(std::uint16_t bits)
{
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
           bits == 32;
}

// A DIB without the file header: a known header size, one plane and a known depth.
bool IsPackedDib(QByteArrayView bytes)
{
    if (bytes.size() < 16)
        return false;
    const std::uint32_t size = LeU32(bytes, 0);
    if (size == 12)
        return LeU16(bytes, 8) == 1 && IsBitCount(LeU16(bytes, 10));
    const bool known =
        size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
    return known && LeU16(bytes, 12) == 1 && IsBitCount(LeU16(bytes, 14));
}

std::uint32_t BigU32(QByteArrayView data, qsizetype at)
{
    return qFromBigEndian<std::uint32_t>(data.data() + at);
}

std::uint32_t Crc32(QByteArrayView data)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> result{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            result[n] = c;
        }
        return result;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : data)
        crc = table[(crc ^ uchar(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool IsPngHeaderSound(QByteArrayView header)
{
    const std::uint32_t width = BigU32(header, 0);
    const std::uint32_t height = BigU32(header, 4);
    const int depth = uchar(header[8]);
    const int colour = uchar(header[9]);
    const bool depthFits =
        (colour == 0 && (depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16)) ||
        (colour == 3 && (depth == 1 || depth == 2 || depth == 4 || depth == 8)) ||
        ((colour == 2 || colour == 4 || colour == 6) && (depth == 8 || depth == 16));
    return width > 0 && height > 0 && width <= 0x7FFFFFFF && height <= 0x7FFFFFFF && depthFits &&
           header[10] == 0 && header[11] == 0 && (header[12] == 0 || header[12] == 1);
}

} // namespace

bool IsWholePng(QByteArrayView bytes)
{
    if (!StartsWith(bytes, "\x89PNG\r\n\x1A\n"))
        return false;
    qsizetype pos = 8;
    bool first = true;
    while (pos + 12 <= bytes.size()) {
        const qint64 length = BigU32(bytes, pos);
        if (length > 0x7FFFFFFF || length > bytes.size() - pos - 12)
            return false;
        const QByteArrayView type = bytes.sliced(pos + 4, 4);
        if (!std::all_of(type.begin(), type.end(), [](char c) { return std::isalpha(uchar(c)); }))
            return false;
        const QByteArrayView typeAndData = bytes.sliced(pos + 4, 4 + length);
        if (Crc32(typeAndData) != BigU32(bytes, pos + 8 + length))
            return false;
        const QByteArrayView data = typeAndData.sliced(4);
        if (first && (type != "IHDR" || length != 13 || !IsPngHeaderSound(data)))
            return false;
        if (type == "IEND")
            return true;
        // libpng gives up on a critical chunk it does not know.
        const bool critical = std::isupper(uchar(type[0]));
        if (critical && type != "IHDR" && type != "PLTE" && type != "IDAT")
            return false;
        if (type == "PLTE" && (length == 0 || length % 3 != 0 || length > 768))
            return false;
        first = false;
        pos += 12 + length;
    }
    return false;
}

PictureFormat DetectPictureFormat(QByteArrayView bytes)
{
    if (StartsWith(bytes, "\xFF\xD8\xFF"))
        return PictureFormat::Jpeg;
    if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a"))
        return PictureFormat::Gif;
    if (StartsWith(bytes, "\x89PNG\r\n\x1A\n"))
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
