#include "pictures/internal/bmp_decoder.h"

#include "pictures/internal/picture_internal.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <vector>

namespace pictures {
namespace {

enum class Compression { Rgb, Rle8, Rle4, Rle24, BitFields, Unsupported };

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitFields = 3;
constexpr std::uint32_t kBiAlphaBitFields = 6;
constexpr std::uint32_t kOs2Rle24 = 4;

struct Channel
{
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t maximum = 0;

    explicit Channel(std::uint32_t m = 0)
        : mask(m)
    {
        if (mask == 0)
            return;
        shift = std::countr_zero(mask);
        const int bits = 32 - std::countl_zero(mask) - shift;
        maximum = (std::uint64_t(1) << bits) - 1;
    }

    int Extract(std::uint32_t value) const
    {
        if (mask == 0)
            return 0;
        const std::uint64_t raw = (value & mask) >> shift;
        return int((raw * 255 + maximum / 2) / maximum);
    }
};

struct DibLayout
{
    int width = 0;
    int rows = 0; // rows stored in the pixel data
    bool topDown = false;
    int bitCount = 0;
    Compression compression = Compression::Rgb;
    Channel red, green, blue, alpha;
    std::vector<QRgb> palette;
    qsizetype defaultBitsOffset = 0;
    std::uint32_t headerSize = 0;
    std::uint32_t sizeImage = 0;
    qsizetype paletteOffset = 0;
    int colors = 0; // entries of the palette the header declares
};

bool IsWindowsHeaderSize(std::uint32_t size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124 || size > 124;
}

std::optional<Compression> ReadCompression(std::uint32_t value, bool os2, int bits)
{
    if (value == kBiRgb)
        return Compression::Rgb;
    if (value == kBiRle8 && bits == 8)
        return Compression::Rle8;
    if (value == kBiRle4 && bits == 4)
        return Compression::Rle4;
    if (os2 && value == kOs2Rle24 && bits == 24)
        return Compression::Rle24;
    if (!os2 && (value == kBiBitFields || value == kBiAlphaBitFields) && (bits == 16 || bits == 32))
        return Compression::BitFields;
    return std::nullopt;
}

// The fields of a bitmap header, whichever of its kinds it is.
struct DibHeader
{
    std::uint32_t size = 0;
    DibLayout layout;
    std::uint32_t compression = kBiRgb;
    std::uint32_t colorsUsed = 0;
    int paletteEntrySize = 4;
    bool os2 = false;
};

// The 12-byte header of OS/2 1.x: sizes and depth only, three-byte palette entries.
DibHeader ReadCoreHeader(QByteArrayView dib)
{
    DibHeader header;
    header.size = 12;
    header.layout.width = LeU16(dib, 4);
    header.layout.rows = LeU16(dib, 6);
    header.layout.bitCount = LeU16(dib, 10);
    header.paletteEntrySize = 3;
    return header;
}

// The Windows headers (40 bytes and up) and those of OS/2 2.x, which may stop after any
// field; the missing fields are zero.
std::optional<DibHeader> ReadInfoHeader(QByteArrayView dib, std::uint32_t size, QString& error)
{
    if (dib.size() < qint64(size)) {
        error = QStringLiteral("bitmap header is truncated");
        return std::nullopt;
    }
    DibHeader header;
    header.size = size;
    header.os2 = !IsWindowsHeaderSize(size);
    if (header.os2 && size > 64) {
        error = QStringLiteral("unknown bitmap header size %1").arg(size);
        return std::nullopt;
    }
    const auto field = [&](qsizetype at) { return at + 4 <= size ? LeU32(dib, at) : 0u; };
    const auto height = std::int32_t(LeU32(dib, 8));
    if (height == INT32_MIN) {
        error = QStringLiteral("bitmap height is out of range");
        return std::nullopt;
    }
    header.layout.width = std::int32_t(LeU32(dib, 4));
    header.layout.topDown = height < 0;
    header.layout.rows = height < 0 ? -height : height;
    header.layout.bitCount = LeU16(dib, 14);
    header.compression = field(16);
    header.layout.sizeImage = field(20);
    header.colorsUsed = field(32);
    return header;
}

std::optional<DibHeader> ReadHeader(QByteArrayView dib, QString& error)
{
    if (dib.size() < 12) {
        error = QStringLiteral("bitmap header is truncated");
        return std::nullopt;
    }
    const std::uint32_t size = LeU32(dib, 0);
    if (size == 12)
        return ReadCoreHeader(dib);
    if (size >= 16)
        return ReadInfoHeader(dib, size, error);
    error = QStringLiteral("unknown bitmap header size %1").arg(size);
    return std::nullopt;
}

// Refuses pictures without pixels, unknown depths and compressions, and pictures too
// large to hold; sets the layout's compression.
bool CheckHeader(DibHeader& header, QString& error)
{
    DibLayout& layout = header.layout;
    if (layout.width <= 0 || layout.rows <= 0) {
        error = QStringLiteral("bitmap has no pixels");
        return false;
    }
    if (!IsDibBitCount(layout.bitCount)) {
        error = QStringLiteral("bitmap has %1 bits per pixel").arg(layout.bitCount);
        return false;
    }
    const auto kind = ReadCompression(header.compression, header.os2, layout.bitCount);
    if (!kind) {
        error = QStringLiteral("bitmap compression %1 is not supported").arg(header.compression);
        return false;
    }
    layout.compression = *kind;
    if (!WithinMostPictureBytes(QSize(layout.width, layout.rows))) {
        error = QStringLiteral("bitmap of %1 x %2 pixels is too large")
                    .arg(layout.width)
                    .arg(layout.rows);
        return false;
    }
    return true;
}

// The channels of 16- and 32-bit pixels: from the header or the masks after it, or the
// defaults of each depth. Returns the bytes of masks that follow the header.
std::optional<qsizetype> ReadChannels(QByteArrayView dib, const DibHeader& header,
                                      DibLayout& layout, QString& error)
{
    const std::uint32_t size = header.size;
    if (layout.compression == Compression::BitFields) {
        const bool withAlpha = header.compression == kBiAlphaBitFields;
        if (size >= 52) {
            layout.red = Channel(LeU32(dib, 40));
            layout.green = Channel(LeU32(dib, 44));
            layout.blue = Channel(LeU32(dib, 48));
            if (size >= 56)
                layout.alpha = Channel(LeU32(dib, 52));
            return 0;
        }
        const qsizetype maskBytes = withAlpha ? 16 : 12;
        if (dib.size() < size + maskBytes) {
            error = QStringLiteral("bitmap color masks are truncated");
            return std::nullopt;
        }
        layout.red = Channel(LeU32(dib, size));
        layout.green = Channel(LeU32(dib, size + 4));
        layout.blue = Channel(LeU32(dib, size + 8));
        if (withAlpha)
            layout.alpha = Channel(LeU32(dib, size + 12));
        return maskBytes;
    }
    if (layout.bitCount == 16) {
        layout.red = Channel(0x7C00);
        layout.green = Channel(0x03E0);
        layout.blue = Channel(0x001F);
    } else if (layout.bitCount == 32) {
        layout.red = Channel(0xFF0000);
        layout.green = Channel(0xFF00);
        layout.blue = Channel(0xFF);
        // V4 and V5 headers name an alpha channel even for plain pixels.
        if (size >= 108 && !header.os2 && (LeU32(dib, 52) & 0x00FFFFFF) == 0)
            layout.alpha = Channel(LeU32(dib, 52));
    }
    return 0;
}

// The palette at `paletteOffset`, as much of it as the data hold; sets where the pixels
// start when they follow it.
void ReadPalette(QByteArrayView dib, const DibHeader& header, qsizetype paletteOffset,
                 qsizetype bitsOffset, DibLayout& layout)
{
    qsizetype declared = 0;
    if (layout.bitCount <= 8) {
        const std::uint32_t most = 1u << layout.bitCount;
        declared = (header.colorsUsed == 0 || header.colorsUsed > most) ? most : header.colorsUsed;
    } else if (header.colorsUsed <= 256) {
        declared = header.colorsUsed; // an optional palette that pixels with colors ignore
    }
    const int entrySize = header.paletteEntrySize;
    layout.paletteOffset = paletteOffset;
    layout.colors = int(declared);
    layout.defaultBitsOffset = paletteOffset + declared * entrySize;
    if (layout.bitCount > 8)
        return;
    // A palette ends where the data end, or where the pixels start when that is known.
    const qsizetype end =
        bitsOffset > paletteOffset ? std::min(bitsOffset, dib.size()) : dib.size();
    const qsizetype available = std::max<qsizetype>(0, (end - paletteOffset) / entrySize);
    const qsizetype count = std::min(declared, available);
    layout.palette.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        const char* entry = dib.data() + paletteOffset + i * entrySize;
        layout.palette.push_back(qRgb(uchar(entry[2]), uchar(entry[1]), uchar(entry[0])));
    }
}

// Reads the header, the color masks and the palette.
std::optional<DibLayout> ReadLayout(QByteArrayView dib, qsizetype bitsOffset, QString& error)
{
    std::optional<DibHeader> header = ReadHeader(dib, error);
    if (!header || !CheckHeader(*header, error))
        return std::nullopt;
    DibLayout& layout = header->layout;
    layout.headerSize = header->size;
    const std::optional<qsizetype> maskBytes = ReadChannels(dib, *header, layout, error);
    if (!maskBytes)
        return std::nullopt;
    ReadPalette(dib, *header, qsizetype(header->size) + *maskBytes, bitsOffset, layout);
    return std::move(layout);
}

bool IsRunLength(Compression compression)
{
    return compression == Compression::Rle4 || compression == Compression::Rle8 ||
           compression == Compression::Rle24;
}

class PixelSink
{
public:
    PixelSink(QImage& image, const DibLayout& layout)
        : image_(image)
        , layout_(layout)
    {}

    QRgb* Row(int storedRow)
    {
        const int y = layout_.topDown ? storedRow : layout_.rows - 1 - storedRow;
        return reinterpret_cast<QRgb*>(image_.scanLine(y));
    }

    QRgb PaletteColor(unsigned index) const
    {
        return index < layout_.palette.size() ? layout_.palette[index] : qRgb(0, 0, 0);
    }

private:
    QImage& image_;
    const DibLayout& layout_;
};

// Uncompressed rows; returns how many rows were complete.
int DecodeRows(QByteArrayView bits, const DibLayout& layout, PixelSink& sink)
{
    const qint64 stride = DibStride(layout.width, layout.bitCount);
    const int rows = int(std::min<qint64>(layout.rows, bits.size() / stride));
    const int depth = layout.bitCount;
    for (int row = 0; row < rows; ++row) {
        const auto* src = reinterpret_cast<const uchar*>(bits.data() + row * stride);
        QRgb* out = sink.Row(row);
        for (int x = 0; x < layout.width; ++x) {
            if (depth <= 8) {
                const int perByte = 8 / depth;
                const int shift = 8 - depth * (x % perByte + 1);
                const unsigned index = (src[x / perByte] >> shift) & ((1u << depth) - 1);
                out[x] = sink.PaletteColor(index);
            } else if (depth == 24) {
                const uchar* p = src + qsizetype(x) * 3;
                out[x] = qRgb(p[2], p[1], p[0]);
            } else {
                const std::uint32_t value =
                    depth == 16 ? qFromLittleEndian<std::uint16_t>(src + qsizetype(x) * 2)
                                : qFromLittleEndian<std::uint32_t>(src + qsizetype(x) * 4);
                const int a = layout.alpha.mask ? layout.alpha.Extract(value) : 255;
                out[x] = qRgba(layout.red.Extract(value), layout.green.Extract(value),
                               layout.blue.Extract(value), a);
            }
        }
    }
    return rows;
}

// Run-length encoded pixels (RLE4, RLE8, OS/2 RLE24). Pixels the runs skip stay
// transparent; runs past the row or the image are clipped.
void DecodeRuns(QByteArrayView bits, const DibLayout& layout, PixelSink& sink)
{
    const auto* data = reinterpret_cast<const uchar*>(bits.data());
    const qsizetype size = bits.size();
    const int pixelBytes = layout.compression == Compression::Rle24 ? 3 : 1;
    qsizetype pos = 0;
    int x = 0;
    int row = 0;

    const auto colorAt = [&](const uchar* p, int nibble) -> QRgb {
        switch (layout.compression) {
        case Compression::Rle24:
            return qRgb(p[2], p[1], p[0]);
        case Compression::Rle4:
            return sink.PaletteColor(nibble == 0 ? p[0] >> 4 : p[0] & 0x0F);
        default:
            return sink.PaletteColor(p[0]);
        }
    };
    const auto put = [&](int column, QRgb color) {
        if (column < layout.width && row < layout.rows)
            sink.Row(row)[column] = color;
    };

    while (pos + 2 <= size && row < layout.rows) {
        const int count = data[pos];
        if (count > 0) {
            if (pos + 1 + pixelBytes > size)
                break;
            const uchar* value = data + pos + 1;
            pos += 1 + pixelBytes;
            const int drawn = std::clamp(layout.width - x, 0, count);
            for (int i = 0; i < drawn; ++i)
                put(x + i, colorAt(value, i % 2));
            x += count;
            continue;
        }
        const int escape = data[pos + 1];
        pos += 2;
        if (escape == 0) {
            x = 0;
            ++row;
        } else if (escape == 1) {
            break;
        } else if (escape == 2) {
            if (pos + 2 > size)
                break;
            x += data[pos];
            row += data[pos + 1];
            pos += 2;
        } else {
            const qsizetype bytes = layout.compression == Compression::Rle4
                                        ? (escape + 1) / 2
                                        : qsizetype(escape) * pixelBytes;
            const qsizetype padded = bytes + (bytes & 1);
            if (pos + bytes > size)
                break;
            const int drawn = std::clamp(layout.width - x, 0, escape);
            for (int i = 0; i < drawn; ++i) {
                const uchar* p =
                    data + pos +
                    (layout.compression == Compression::Rle4 ? i / 2 : qsizetype(i) * pixelBytes);
                put(x + i, colorAt(p, i % 2));
            }
            x += escape;
            pos += padded;
        }
    }
}

void ApplyIconMask(QByteArrayView mask, const DibLayout& layout, QImage& image)
{
    const qint64 stride = DibStride(layout.width, 1);
    const int rows = int(std::min<qint64>(layout.rows, mask.size() / stride));
    PixelSink sink(image, layout);
    for (int row = 0; row < rows; ++row) {
        const auto* src = reinterpret_cast<const uchar*>(mask.data() + row * stride);
        QRgb* out = sink.Row(row);
        for (int x = 0; x < layout.width; ++x) {
            if ((src[x / 8] >> (7 - x % 8)) & 1)
                out[x] = 0;
        }
    }
}

// Whether every pixel of a 32-bit image has the alpha `alpha`.
bool AllAlphaIs(const QImage& image, int alpha)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        if (std::any_of(row, row + image.width(), [alpha](QRgb p) { return qAlpha(p) != alpha; }))
            return false;
    }
    return true;
}

bool IsOpaque(const QImage& image)
{
    return AllAlphaIs(image, 255);
}

void MakeOpaque(QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::transform(row, row + image.width(), row, [](QRgb p) { return p | 0xFF000000u; });
    }
}

} // namespace

qint64 DibStride(int width, int bitCount)
{
    return ((qint64(width) * bitCount + 31) / 32) * 4;
}

std::optional<DibInfo> ReadDibInfo(QByteArrayView dib)
{
    QString error;
    const auto layout = ReadLayout(dib, -1, error);
    if (!layout)
        return std::nullopt;
    return DibInfo{layout->width,
                   layout->rows,
                   layout->bitCount,
                   IsRunLength(layout->compression),
                   layout->defaultBitsOffset,
                   layout->headerSize,
                   layout->sizeImage,
                   layout->paletteOffset,
                   layout->colors};
}

QImage DecodeDib(QByteArrayView dib, const DibOptions& options, QString& error)
{
    auto layout = ReadLayout(dib, options.bitsOffset, error);
    if (!layout)
        return {};
    if (options.iconWithMask) {
        if (layout->compression != Compression::Rgb || layout->rows < 2) {
            error = QStringLiteral("icon bitmap is not a plain bitmap with a mask");
            return {};
        }
        layout->rows /= 2;
    }
    // 32-bit icon pixels carry alpha in their fourth byte whatever the header says.
    if (options.iconWithMask && layout->bitCount == 32)
        layout->alpha = Channel(0xFF000000);

    const qsizetype start = options.bitsOffset >= 0 && options.bitsOffset < dib.size()
                                ? options.bitsOffset
                                : layout->defaultBitsOffset;
    if (start >= dib.size()) {
        error = QStringLiteral("bitmap has no pixel data");
        return {};
    }
    const QByteArrayView bits = dib.sliced(start);

    const bool runs = IsRunLength(layout->compression);
    QImage image(layout->width, layout->rows, QImage::Format_ARGB32);
    if (image.isNull()) {
        error = QStringLiteral("not enough memory for the bitmap");
        return {};
    }
    image.fill(runs ? Qt::transparent : Qt::black);
    PixelSink sink(image, *layout);

    if (runs) {
        DecodeRuns(bits, *layout, sink);
    } else if (DecodeRows(bits, *layout, sink) == 0) {
        error = QStringLiteral("bitmap pixel data is truncated");
        return {};
    }

    const bool alphaChannel = layout->alpha.mask != 0;
    if (alphaChannel && AllAlphaIs(image, 0))
        MakeOpaque(image); // a zero alpha channel is an unused one
    if (options.iconWithMask && IsOpaque(image)) {
        const qint64 maskStart = start + DibStride(layout->width, layout->bitCount) * layout->rows;
        if (maskStart < dib.size())
            ApplyIconMask(dib.sliced(maskStart), *layout, image);
    }
    if (IsOpaque(image))
        image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}

QImage DecodeBmpFile(QByteArrayView file, QString& error)
{
    constexpr qsizetype kFileHeaderSize = 14;
    if (file.size() < kFileHeaderSize + 12 || file[0] != 'B' || file[1] != 'M') {
        error = QStringLiteral("not a BMP file");
        return {};
    }
    DibOptions options;
    const qint64 pixels = LeU32(file, 10);
    if (pixels > kFileHeaderSize && pixels < file.size())
        options.bitsOffset = pixels - kFileHeaderSize;
    return DecodeDib(file.sliced(kFileHeaderSize), options, error);
}

bool IsDibBitCount(int bits)
{
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
           bits == 32;
}

} // namespace pictures
