#include "pictures/internal/metafile_player.h"
#include "pictures/internal/picture_internal.h"

#include <QtEndian>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>

// Metafiles played by GDI, as the system's own picture loader plays them: an enhanced
// metafile with PlayEnhMetaFile, a Windows metafile turned into one by SetWinMetaFileBits
// first, into a 32-bit DIB section at the size the picture is drawn at.

namespace pictures {
namespace {

constexpr qsizetype kPlaceableSize = 22;
constexpr int kHiMetricPerInch = 2540;

struct EnhMetaFileDeleter
{
    void operator()(HENHMETAFILE metafile) const { DeleteEnhMetaFile(metafile); }
};
using EnhMetaFile = std::unique_ptr<std::remove_pointer_t<HENHMETAFILE>, EnhMetaFileDeleter>;

// A placeable file's records with the frame of its header set as their window first, as
// the system's picture loader plays them: records of its own that set the window still
// come after, and win.
QByteArray WithFrameAsWindow(const QByteArray& records, QByteArrayView placeable)
{
    constexpr qsizetype kHeaderSize = 18;
    const auto record = [](std::uint16_t function, std::int16_t first, std::int16_t second) {
        QByteArray bytes(10, '\0');
        qToLittleEndian<std::uint32_t>(5, bytes.data());
        qToLittleEndian<std::uint16_t>(function, bytes.data() + 4);
        qToLittleEndian<std::int16_t>(first, bytes.data() + 6);
        qToLittleEndian<std::int16_t>(second, bytes.data() + 8);
        return bytes;
    };
    const std::int16_t left = LeS16(placeable, 6);
    const std::int16_t top = LeS16(placeable, 8);
    const auto width = std::int16_t(LeS16(placeable, 10) - left);
    const auto height = std::int16_t(LeS16(placeable, 12) - top);
    QByteArray out = records.first(kHeaderSize);
    out += record(0x020B, top, left);     // SetWindowOrg takes y, then x
    out += record(0x020C, height, width); // SetWindowExt likewise
    out += records.sliced(kHeaderSize);
    PutLeU32(out, 6, std::uint32_t(out.size() / 2)); // the file's size in words
    return out;
}

// A Windows metafile as an enhanced one. A placeable file's frame gives the picture's size
// in HIMETRIC units; a plain one's comes from its drawing.
EnhMetaFile EnhancedFromWmf(const MetafileDocument& document)
{
    const QByteArrayView bytes(document.bytes);
    const bool placeable = bytes.size() >= kPlaceableSize && LeU32(bytes, 0) == 0x9AC6CDD7;
    QByteArray bits = (placeable ? bytes.sliced(kPlaceableSize) : bytes).toByteArray();
    if (placeable)
        bits = WithFrameAsWindow(bits, bytes);
    METAFILEPICT picture{};
    picture.mm = MM_ANISOTROPIC;
    if (placeable) {
        const int inch = LeU16(bytes, 14) > 0 ? LeU16(bytes, 14) : 1440;
        picture.xExt = std::abs(LeS16(bytes, 10) - LeS16(bytes, 6)) * kHiMetricPerInch / inch;
        picture.yExt = std::abs(LeS16(bytes, 12) - LeS16(bytes, 8)) * kHiMetricPerInch / inch;
    } else if (!document.size.isEmpty()) {
        // A frame of a million pixels is 26 million hundredths of a millimetre.
        picture.xExt = LONG(qint64(document.size.width()) * kHiMetricPerInch / 96);
        picture.yExt = LONG(qint64(document.size.height()) * kHiMetricPerInch / 96);
    }
    const HDC screen = GetDC(nullptr);
    HENHMETAFILE enhanced =
        SetWinMetaFileBits(UINT(bits.size()), reinterpret_cast<const BYTE*>(bits.data()), screen,
                           picture.xExt > 0 && picture.yExt > 0 ? &picture : nullptr);
    ReleaseDC(nullptr, screen);
    return EnhMetaFile(enhanced);
}

// The picture's full size: the one its records state, else its drawing's bounds.
QSize FullSize(HENHMETAFILE metafile, const MetafileDocument& document)
{
    if (!document.size.isEmpty())
        return document.size;
    ENHMETAHEADER header{};
    if (GetEnhMetaFileHeader(metafile, sizeof header, &header) == 0)
        return {};
    const RECTL& bounds = header.rclBounds;
    if (bounds.right < bounds.left || bounds.bottom < bounds.top)
        return {};
    return {MetafilePixels(double(bounds.right) - bounds.left + 1),
            MetafilePixels(double(bounds.bottom) - bounds.top + 1)};
}

struct DibSection
{
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    void* bits = nullptr;

    DibSection(QSize size)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = size.width();
        info.bmiHeader.biHeight = -size.height(); // top-down, as QImage keeps its rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (dc && bitmap)
            previous = SelectObject(dc, bitmap);
    }
    ~DibSection()
    {
        if (previous)
            SelectObject(dc, previous);
        if (bitmap)
            DeleteObject(bitmap);
        if (dc)
            DeleteDC(dc);
    }
    DibSection(const DibSection&) = delete;
    DibSection& operator=(const DibSection&) = delete;

    bool IsValid() const { return previous != nullptr && bits != nullptr; }
};

// The metafile drawn over a background of one colour, as 32-bit pixels.
QImage Played(HENHMETAFILE metafile, QSize size, QRgb background)
{
    DibSection section(size);
    if (!section.IsValid())
        return {};
    const RECT area{0, 0, size.width(), size.height()};
    HBRUSH brush = CreateSolidBrush(RGB(qRed(background), qGreen(background), qBlue(background)));
    FillRect(section.dc, &area, brush);
    DeleteObject(brush);
    SetStretchBltMode(section.dc, HALFTONE);
    PlayEnhMetaFile(section.dc, metafile, &area);
    GdiFlush();
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    for (int y = 0; y < size.height(); ++y)
        std::memcpy(image.scanLine(y),
                    static_cast<const uchar*>(section.bits) + qsizetype(y) * size.width() * 4,
                    size_t(size.width()) * 4);
    return image;
}

// GDI draws no alpha: the picture is played over black and over white, and where the two
// differ the metafile left the background showing, which becomes transparent.
QImage WithTransparency(const QImage& overBlack, const QImage& overWhite)
{
    QImage image(overBlack.size(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    for (int y = 0; y < image.height(); ++y) {
        const auto* black = reinterpret_cast<const QRgb*>(overBlack.constScanLine(y));
        const auto* white = reinterpret_cast<const QRgb*>(overWhite.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int shown = 255 - (qGreen(white[x]) - qGreen(black[x]));
            const int alpha = std::clamp(shown, 0, 255);
            out[x] = qRgba(std::min(qRed(black[x]), alpha), std::min(qGreen(black[x]), alpha),
                           std::min(qBlue(black[x]), alpha), alpha);
        }
    }
    return image;
}

} // namespace

std::optional<PlayedMetafile> PlayMetafile(MetafileKind kind, const MetafileDocument& document,
                                           const PictureRequest& request, QString& error)
{
    EnhMetaFile metafile =
        kind == MetafileKind::Wmf
            ? EnhancedFromWmf(document)
            : EnhMetaFile(SetEnhMetaFileBits(UINT(document.bytes.size()),
                                             reinterpret_cast<const BYTE*>(document.bytes.data())));
    if (!metafile) {
        error = QStringLiteral("metafile could not be played");
        return std::nullopt;
    }
    const QSize size = FullSize(metafile.get(), document);
    if (size.isEmpty()) {
        error = QStringLiteral("metafile draws nothing");
        return std::nullopt;
    }
    const QSize pixels = DeliveredSize(size, request);
    if (!WithinMostPictureBytes(pixels)) {
        error = QStringLiteral("drawing of %1 x %2 pixels is too large")
                    .arg(pixels.width())
                    .arg(pixels.height());
        return std::nullopt;
    }
    const QImage overBlack = Played(metafile.get(), pixels, qRgb(0, 0, 0));
    const QImage overWhite = Played(metafile.get(), pixels, qRgb(255, 255, 255));
    QImage image = overBlack.isNull() || overWhite.isNull()
                       ? QImage()
                       : WithTransparency(overBlack, overWhite);
    if (image.isNull()) {
        error = QStringLiteral("not enough memory for the drawing");
        return std::nullopt;
    }
    return PlayedMetafile{std::move(image), size};
}

// The records twice (the document, and GDI's own copy of them), and at the fullest three
// rasters (over black, over white, the result) beside the DIB section of the one being
// played.
qint64 MetafilePlayBytes(qint64 fileBytes, qint64 rasterBytes)
{
    return SaturatingSum(SaturatingProduct(fileBytes, 2), SaturatingProduct(rasterBytes, 4));
}

} // namespace pictures
