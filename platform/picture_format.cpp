#include "platform/picture_format.h"

#include <QtEndian>

#include <cstdint>

namespace pictures {
namespace {

std::uint16_t U16(QByteArrayView data, qsizetype at)
{
    return qFromLittleEndian<std::uint16_t>(data.data() + at);
}

std::uint32_t U32(QByteArrayView data, qsizetype at)
{
    return qFromLittleEndian<std::uint32_t>(data.data() + at);
}

bool StartsWith(QByteArrayView bytes, QByteArrayView prefix)
{
    return bytes.size() >= prefix.size() && bytes.first(prefix.size()) == prefix;
}

bool IsIconDirectory(QByteArrayView bytes, std::uint16_t type)
{
    if (bytes.size() < 6 + 16 || U16(bytes, 0) != 0 || U16(bytes, 2) != type)
        return false;
    const std::uint16_t count = U16(bytes, 4);
    return count > 0 && bytes.size() >= 6 + 16 * qsizetype(count);
}

bool IsPlainWmf(QByteArrayView bytes)
{
    if (bytes.size() < 18)
        return false;
    const std::uint16_t type = U16(bytes, 0);
    const std::uint16_t version = U16(bytes, 4);
    return (type == 1 || type == 2) && U16(bytes, 2) == 9 &&
           (version == 0x0100 || version == 0x0300);
}

bool IsEmf(QByteArrayView bytes)
{
    return bytes.size() >= 88 && U32(bytes, 0) == 1 && U32(bytes, 40) == 0x464D4520;
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
    const std::uint32_t size = U32(bytes, 0);
    if (size == 12)
        return U16(bytes, 8) == 1 && IsBitCount(U16(bytes, 10));
    const bool known =
        size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
    return known && U16(bytes, 12) == 1 && IsBitCount(U16(bytes, 14));
}

} // namespace

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
