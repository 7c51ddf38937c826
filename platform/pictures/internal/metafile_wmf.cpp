#include "pictures/internal/metafile_wmf.h"

#include "pictures/internal/picture_internal.h"

#include <QPointF>
#include <QSizeF>

#include <algorithm>
#include <array>
#include <cmath>

namespace pictures {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr qsizetype kPlaceableSize = 22;
constexpr qsizetype kHeaderSize = 18;
constexpr std::uint16_t kBsPattern = 3;

enum MapMode {
    kText = 1,
    kLoMetric,
    kHiMetric,
    kLoEnglish,
    kHiEnglish,
    kTwips,
    kIsotropic,
    kAnisotropic,
    kPlaceableDpi = 100
};

enum Function : std::uint16_t {
    kEof = 0x0000,
    kSetMapMode = 0x0103,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kSetViewportOrg = 0x020D,
    kSetViewportExt = 0x020E,
    kOffsetWindowOrg = 0x020F,
    kSaveDc = 0x001E,
    kRestoreDc = 0x0127,
    kDibCreatePatternBrush = 0x0142,
    kCreatePatternBrush = 0x01F9,
    kBitBlt = 0x0922,
    kStretchBlt = 0x0B23,
    kDibBitBlt = 0x0940,
    kDibStretchBlt = 0x0B41,
    kSetDibToDev = 0x0D33,
    kStretchDib = 0x0F43,
};

// The mapping state that libwmf keeps, as far as it decides where the frame lies.
struct Mapping
{
    int mode = kText;
    QPointF windowOrigin;
    QSizeF windowExtent{0, 0}; // until a record sets it
    QPointF viewportOrigin;
    QSizeF viewportExtent{1024, 1024};
    int unitsPerInch = 1440;

    // Device units (libwmf's points) per logical unit, along one axis.
    double Scale(double window, double viewport) const
    {
        switch (mode) {
        case kLoMetric:
            return 72.0 / 254.0;
        case kHiMetric:
            return 72.0 / 2540.0;
        case kLoEnglish:
            return 0.72;
        case kHiEnglish:
            return 0.072;
        case kTwips:
            return 0.05;
        case kIsotropic:
        case kAnisotropic:
            return window == 0 ? 0 : viewport / window;
        case kPlaceableDpi:
            return 72.0 / unitsPerInch;
        default:
            return 1;
        }
    }

    QPointF ToDevice(QPointF logical) const
    {
        const bool fixed = mode != kIsotropic && mode != kAnisotropic;
        double sx = Scale(windowExtent.width(), viewportExtent.width());
        double sy = Scale(windowExtent.height(), viewportExtent.height());
        if (fixed && windowExtent.width() < 0)
            sx = -sx;
        if (fixed && windowExtent.height() < 0)
            sy = -sy;
        return {(logical.x() - windowOrigin.x()) * sx - viewportOrigin.x() * sx,
                (logical.y() - windowOrigin.y()) * sy - viewportOrigin.y() * sy};
    }
};

bool IsDrawingRecord(std::uint16_t function)
{
    static constexpr std::array<std::uint16_t, 26> kDrawing = {
        0x0213, 0x0228, 0x0324, 0x0325, 0x0418, 0x0419, 0x041B, 0x041F, 0x0429,
        0x0521, 0x0538, 0x0548, 0x061C, 0x061D, 0x0817, 0x081A, 0x0830, 0x0922,
        0x0940, 0x0A32, 0x0B23, 0x0B41, 0x0D33, 0x0F43, 0x012A, 0x012B};
    return std::find(kDrawing.begin(), kDrawing.end(), function) != kDrawing.end();
}

void TrackMapping(std::uint16_t function, QByteArrayView record, Mapping& mapping)
{
    const qsizetype params = record.size() - 6;
    const auto point = [&]() { return QPointF(LeS16(record, 8), LeS16(record, 6)); };
    switch (function) {
    case kSetMapMode:
        if (params >= 2) {
            const int mode = LeU16(record, 6);
            if (mode >= kText && mode <= kAnisotropic)
                mapping.mode = mode;
        }
        break;
    case kSetWindowOrg:
        if (params >= 4)
            mapping.windowOrigin = point();
        break;
    case kSetWindowExt:
        if (params >= 4)
            mapping.windowExtent = QSizeF(point().x(), point().y());
        break;
    case kSetViewportOrg:
        if (params >= 4)
            mapping.viewportOrigin = point();
        break;
    case kSetViewportExt:
        if (params >= 4 && point().x() != 0 && point().y() != 0)
            mapping.viewportExtent = QSizeF(point().x(), point().y());
        break;
    case kOffsetWindowOrg:
        if (params >= 4)
            mapping.windowOrigin += point();
        break;
    default:
        break;
    }
}

bool DibIsSound(QByteArrayView record, qsizetype at, qint64& pixels)
{
    if (at >= record.size())
        return false;
    const QByteArrayView dib = record.sliced(at);
    const auto info = ReadDibInfo(dib);
    return info && EmbeddedBitmapIsSound(*info, dib.size() - info->bitsOffset, pixels);
}

// The old device-dependent bitmap: a 10-byte header, `gap` more bytes, then the bits.
bool Bitmap16IsSound(QByteArrayView record, qsizetype at, qsizetype gap, qint64& pixels)
{
    if (at + 10 + gap > record.size())
        return false;
    const int width = LeS16(record, at + 2);
    const int height = LeS16(record, at + 4);
    const int widthBytes = LeS16(record, at + 6);
    if (width <= 0 || height <= 0 || widthBytes <= 0 ||
        qint64(widthBytes) * height > record.size() - at - 10 - gap)
        return false;
    pixels += qint64(width) * height;
    return pixels <= kMaxEmbeddedPixels;
}

// Whether the bitmap a record carries is whole and within bounds; records without one pass.
bool BitmapIsSound(std::uint16_t function, QByteArrayView record, qint64& pixels)
{
    // Blit records without a bitmap have exactly as many parameter words as the high byte
    // of their function number says.
    const bool withBitmap = record.size() != 2 * qsizetype((function >> 8) + 3);
    switch (function) {
    case kDibBitBlt:
        return !withBitmap || DibIsSound(record, 6 + 16, pixels);
    case kDibStretchBlt:
        return !withBitmap || DibIsSound(record, 6 + 20, pixels);
    case kStretchDib:
        return DibIsSound(record, 6 + 22, pixels);
    case kSetDibToDev:
        return DibIsSound(record, 6 + 18, pixels);
    case kDibCreatePatternBrush:
        return record.size() >= 10 &&
               (LeU16(record, 6) == kBsPattern ? Bitmap16IsSound(record, 10, 0, pixels)
                                               : DibIsSound(record, 10, pixels));
    case kCreatePatternBrush:
        return Bitmap16IsSound(record, 6, 18, pixels);
    case kBitBlt:
        return !withBitmap || Bitmap16IsSound(record, 6 + 16, 0, pixels);
    case kStretchBlt:
        return !withBitmap || Bitmap16IsSound(record, 6 + 20, 0, pixels);
    default:
        return true;
    }
}

// Stands in for a brush whose bitmap is damaged, so that later records still find their
// objects at the same indices.
QByteArray NullBrushRecord()
{
    return QByteArray("\x07\x00\x00\x00\xFC\x02\x01\x00\x00\x00\x00\x00\x00\x00", 14);
}

// GDI ignores a RestoreDC without a matching SaveDC; libwmf gives up on the whole file.
// Tracks the saved states and tells which records to leave out.
class SavedStates
{
public:
    bool Keep(std::uint16_t function, QByteArrayView record)
    {
        if (function == kSaveDc) {
            ++depth_;
            return true;
        }
        if (function != kRestoreDc)
            return true;
        const int which = record.size() >= 8 ? LeS16(record, 6) : 0;
        if (which < 0 && -which <= depth_) {
            depth_ += which;
            return true;
        }
        if (which > 0 && which <= depth_) {
            depth_ = which - 1;
            return true;
        }
        return false;
    }

private:
    int depth_ = 0;
};

QByteArray EofRecord()
{
    return QByteArray("\x03\x00\x00\x00\x00\x00", 6);
}

QRectF DeviceFrame(const Mapping& mapping, QRectF logical)
{
    const QPointF a = mapping.ToDevice(logical.topLeft());
    const QPointF b = mapping.ToDevice(logical.bottomRight());
    const QRectF frame = QRectF(a, b).normalized();
    return frame.width() > 1e-3 && frame.height() > 1e-3 ? frame : QRectF();
}

// One logical unit per pixel: the window, or nothing when the file sets none.
QSize PlainSize(const Mapping& mapping)
{
    if (mapping.windowExtent.width() == 0 || mapping.windowExtent.height() == 0)
        return {};
    return {MetafilePixels(mapping.windowExtent.width()),
            MetafilePixels(mapping.windowExtent.height())};
}

} // namespace

std::optional<MetafileDocument> PrepareWmf(QByteArrayView file, QString& error)
{
    const bool placeable = file.size() >= kPlaceableSize && LeU32(file, 0) == kPlaceableKey;
    const qsizetype header = placeable ? kPlaceableSize : 0;
    if (file.size() < header + kHeaderSize || LeU16(file, header + 2) != 9) {
        error = QStringLiteral("metafile header is damaged");
        return std::nullopt;
    }

    Mapping mapping;
    MetafileDocument document;
    QRectF logicalFrame;
    if (placeable) {
        mapping.mode = kPlaceableDpi;
        const int inch = LeU16(file, 14);
        mapping.unitsPerInch = inch > 0 ? inch : 1440;
        logicalFrame = QRectF(QPointF(LeS16(file, 6), LeS16(file, 8)),
                              QPointF(LeS16(file, 10), LeS16(file, 12)));
        document.size = PlaceableWmfSize(file);
    }

    QByteArray& out = document.bytes;
    out = file.first(header + kHeaderSize).toByteArray();
    qsizetype pos = header + kHeaderSize;
    std::uint32_t largest = 3;
    qint64 embeddedPixels = 0;
    int records = 0;
    bool drawing = false;
    Mapping atFirstDrawing = mapping;
    SavedStates states;
    while (pos + 6 <= file.size()) {
        const qint64 words = LeU32(file, pos);
        const std::uint16_t function = LeU16(file, pos + 4);
        if (words < 3 || words * 2 > file.size() - pos)
            break; // damaged or cut short: play what came before
        const QByteArrayView record = file.sliced(pos, words * 2);
        pos += record.size();
        if (function == kEof)
            break;
        if (!states.Keep(function, record))
            continue;
        QByteArray replacement;
        if (!BitmapIsSound(function, record, embeddedPixels)) {
            if (function != kDibCreatePatternBrush && function != kCreatePatternBrush)
                continue;
            replacement = NullBrushRecord();
        }
        if (!drawing) {
            TrackMapping(function, record, mapping);
            if (IsDrawingRecord(function)) {
                drawing = true;
                atFirstDrawing = mapping;
            }
        }
        if (++records > kMaxMetafileRecords) {
            error = QStringLiteral("metafile has too many records");
            return std::nullopt;
        }
        largest = std::max<std::uint32_t>(largest, std::uint32_t(words));
        out += replacement.isEmpty() ? record : QByteArrayView(replacement);
    }
    if (records == 0) {
        error = QStringLiteral("metafile has no records");
        return std::nullopt;
    }
    if (!drawing)
        atFirstDrawing = mapping;
    out += EofRecord();

    PutLeU32(out, header + 6, std::uint32_t((out.size() - header) / 2));
    PutLeU32(out, header + 12, largest);
    if (placeable) {
        PutLeU16(out, 14, std::uint16_t(mapping.unitsPerInch));
        std::uint16_t checksum = 0;
        for (qsizetype at = 0; at < 20; at += 2)
            checksum ^= LeU16(out, at);
        PutLeU16(out, 20, checksum);
    } else {
        document.size = PlainSize(atFirstDrawing);
        if (!document.size.isEmpty())
            logicalFrame = QRectF(atFirstDrawing.windowOrigin, atFirstDrawing.windowExtent);
    }
    if (!logicalFrame.isNull())
        document.frame = DeviceFrame(atFirstDrawing, logicalFrame);
    return document;
}

QSize PlaceableWmfSize(QByteArrayView head)
{
    if (head.size() < kPlaceableSize || LeU32(head, 0) != kPlaceableKey)
        return {};
    const int inch = LeU16(head, 14) > 0 ? LeU16(head, 14) : 1440;
    const double width = std::abs(double(LeS16(head, 10)) - LeS16(head, 6));
    const double height = std::abs(double(LeS16(head, 12)) - LeS16(head, 8));
    return {MetafilePixels(width * 96 / inch), MetafilePixels(height * 96 / inch)};
}

} // namespace pictures
