#include "pictures/png_chunks.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

namespace pictures {
namespace {

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
    const int color = uchar(header[9]);
    const bool depthFits =
        (color == 0 && (depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16)) ||
        (color == 3 && (depth == 1 || depth == 2 || depth == 4 || depth == 8)) ||
        ((color == 2 || color == 4 || color == 6) && (depth == 8 || depth == 16));
    return width > 0 && height > 0 && width <= 0x7FFFFFFF && height <= 0x7FFFFFFF && depthFits &&
           header[10] == 0 && header[11] == 0 && (header[12] == 0 || header[12] == 1);
}

QByteArray Chunk(QByteArrayView type, QByteArrayView data)
{
    QByteArray chunk(4, '\0');
    qToBigEndian(std::uint32_t(data.size()), chunk.data());
    chunk += type;
    chunk += data;
    QByteArray crc(4, '\0');
    qToBigEndian(Crc32(QByteArrayView(chunk).sliced(4)), crc.data());
    return chunk + crc;
}

} // namespace

bool IsWholePng(QByteArrayView bytes)
{
    if (!StartsAsPng(bytes))
        return false;
    qsizetype pos = kPngSignature.size();
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

QByteArray WithPngTexts(QByteArrayView png, const std::vector<PngText>& texts)
{
    if (!IsWholePng(png))
        return {};
    // The signature, then the header chunk: 4 bytes of length, 4 of type, 13 of data, 4 of CRC.
    const qsizetype afterHeader = kPngSignature.size() + 25;
    QByteArray out = png.first(afterHeader).toByteArray();
    for (const auto& [key, text] : texts)
        out += Chunk("tEXt", key + '\0' + text);
    out += png.sliced(afterHeader);
    return out;
}

} // namespace pictures
