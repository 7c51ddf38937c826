#include "pictures/internal/metafile_wmf.h"

#include "pictures/internal/picture_internal.h"

#include <QPointF>
#include <QSizeF>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace pictures {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr qsizetype kPlaceableSize = 22;
constexpr qsizetype kHeaderSize = 18;
constexpr std::uint16_t kBsDibPattern = 5;
constexpr qsizetype kObjectsAt = 10; // in the header after a placeable one

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
    kCreatePalette = 0x00F7,
    kDibCreatePatternBrush = 0x0142,
    kCreatePatternBrush = 0x01F9,
    kCreatePenIndirect = 0x02FA,
    kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC,
    kSelectPalette = 0x0234,
    kPatBlt = 0x061D,
    kCreateRegion = 0x06FF,
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

// The parameter words after a record's size and function.
std::uint16_t Param(QByteArrayView record, qsizetype index)
{
    return LeU16(record, 6 + 2 * index);
}

// Whether `bytes` bytes from the record's byte `at` lie inside it.
bool Fits(QByteArrayView record, qint64 at, qint64 bytes)
{
    return at >= 0 && bytes >= 0 && at <= record.size() && bytes <= record.size() - at;
}

// Palette entries of four bytes after a start or version word and their count.
bool PaletteFits(QByteArrayView record)
{
    return Fits(record, 10, qint64(Param(record, 1)) * 4);
}

// Points of two words after their count.
bool PointsFit(QByteArrayView record)
{
    return Fits(record, 8, qint64(Param(record, 0)) * 4);
}

// The number of polygons, the points of each, then all the points.
bool PolyPolygonFits(QByteArrayView record)
{
    const qint64 polygons = Param(record, 0);
    if (!Fits(record, 8, polygons * 2))
        return false;
    qint64 points = 0;
    for (qint64 i = 0; i < polygons; ++i) {
        const std::int16_t count = LeS16(record, 8 + 2 * i);
        if (count < 0)
            return false;
        points += count;
    }
    return Fits(record, 8 + polygons * 2, points * 4);
}

// A count of characters, the characters padded to whole words, then the position.
bool TextOutFits(QByteArrayView record)
{
    const std::int16_t chars = LeS16(record, 6);
    return chars >= 0 && Fits(record, 8, (qint64(chars) + 1) / 2 * 2 + 4);
}

// The position, a count and options, a rectangle when the options clip or fill, then the
// characters; spacing after them is optional.
bool ExtTextOutFits(QByteArrayView record)
{
    constexpr std::uint16_t kEtoOpaqueOrClipped = 0x0006;
    const qint64 chars = Param(record, 2);
    const qint64 at = (Param(record, 3) & kEtoOpaqueOrClipped) != 0 ? 22 : 14;
    return Fits(record, at, chars);
}

// A function number, a count of bytes and the bytes.
bool EscapeFits(QByteArrayView record)
{
    return Fits(record, 10, Param(record, 1));
}

// A region: a header of eleven words, then bands of a count, the band's top and bottom,
// as many edges as the count says and the count again.
bool RegionFits(QByteArrayView record)
{
    const int bands = Param(record, 5);
    qint64 at = 6 + 22;
    for (int band = 0; band < bands; ++band) {
        if (!Fits(record, at, 2))
            return false;
        const qint64 edges = LeU16(record, at);
        const qint64 bytes = (edges + 4) * 2;
        if (edges % 2 != 0 || !Fits(record, at, bytes) || LeU16(record, at + bytes - 2) != edges)
            return false;
        at += bytes;
    }
    return true;
}

// Brushes GDI makes from the record's own fields: solid, empty or hatched. The other
// styles take a handle or an address of the process that wrote the file.
bool BrushFits(QByteArrayView record)
{
    constexpr std::uint16_t kBsHatched = 2;
    return Param(record, 0) <= kBsHatched;
}

struct RecordLayout
{
    std::uint16_t function = 0;
    std::uint8_t params = 0; // the parameter words GDI reads of every such record
    bool (*rest)(QByteArrayView record) = nullptr; // what counts add
    std::int8_t object = -1;                       // a parameter that names an object
    std::int8_t otherObject = -1;
};

// Every record GDI plays, as it reads it; their bitmaps are checked as they are tidied.
constexpr RecordLayout kLayouts[] = {
    {kSaveDc, 0},
    {0x0035, 0},              // RealizePalette
    {0x0037, 2, PaletteFits}, // SetPalEntries
    {kCreatePalette, 2, PaletteFits},
    {0x0102, 1}, // SetBkMode
    {kSetMapMode, 1},
    {0x0104, 1}, // SetRop2
    {0x0105, 1}, // SetRelAbs
    {0x0106, 1}, // SetPolyFillMode
    {0x0107, 1}, // SetStretchBltMode
    {0x0108, 1}, // SetTextCharExtra
    {kRestoreDc, 1},
    {0x012A, 1, nullptr, 0}, // InvertRegion
    {0x012B, 1, nullptr, 0}, // PaintRegion
    {0x012C, 1, nullptr, 0}, // SelectClipRegion
    {0x012D, 1, nullptr, 0}, // SelectObject
    {0x012E, 1},             // SetTextAlign
    {0x0139, 1},             // ResizePalette
    {kDibCreatePatternBrush, 2},
    {0x0149, 2},             // SetLayout
    {0x01F0, 1, nullptr, 0}, // DeleteObject
    {kCreatePatternBrush, 0},
    {0x0201, 2}, // SetBkColor
    {0x0209, 2}, // SetTextColor
    {0x020A, 2}, // SetTextJustification
    {kSetWindowOrg, 2},
    {kSetWindowExt, 2},
    {kSetViewportOrg, 2},
    {kSetViewportExt, 2},
    {kOffsetWindowOrg, 2},
    {0x0211, 2},                // OffsetViewportOrg
    {0x0213, 2},                // LineTo
    {0x0214, 2},                // MoveTo
    {0x0220, 2},                // OffsetClipRgn
    {0x0228, 2, nullptr, 0, 1}, // FillRegion
    {0x0231, 2},                // SetMapperFlags
    {kSelectPalette, 1, nullptr, 0},
    {kCreatePenIndirect, 5},
    {kCreateFontIndirect, 9},
    {kCreateBrushIndirect, 4, BrushFits},
    {0x0324, 1, PointsFit},     // Polygon
    {0x0325, 1, PointsFit},     // Polyline
    {0x0410, 4},                // ScaleWindowExt
    {0x0412, 4},                // ScaleViewportExt
    {0x0415, 4},                // ExcludeClipRect
    {0x0416, 4},                // IntersectClipRect
    {0x0418, 4},                // Ellipse
    {0x0419, 4},                // FloodFill
    {0x041B, 4},                // Rectangle
    {0x041F, 4},                // SetPixel
    {0x0429, 4, nullptr, 2, 3}, // FrameRegion
    {0x0436, 2, PaletteFits},   // AnimatePalette
    {0x0521, 1, TextOutFits},
    {0x0538, 1, PolyPolygonFits},
    {0x0548, 5}, // ExtFloodFill
    {0x061C, 6}, // RoundRect
    {kPatBlt, 6},
    {0x0626, 2, EscapeFits},
    {kCreateRegion, 11, RegionFits},
    {0x0817, 8}, // Arc
    {0x081A, 8}, // Pie
    {0x0830, 8}, // Chord
    {kBitBlt, 8},
    {kDibBitBlt, 8},
    {0x0A32, 4, ExtTextOutFits},
    {kStretchBlt, 10},
    {kDibStretchBlt, 10},
    {kSetDibToDev, 9},
    {kStretchDib, 11},
};

const RecordLayout* LayoutOf(std::uint16_t function)
{
    for (const RecordLayout& layout : kLayouts) {
        if (layout.function == function)
            return &layout;
    }
    return nullptr;
}

bool ObjectIsSound(QByteArrayView record, int index, int objects)
{
    return index < 0 || Param(record, index) < objects;
}

// Whether GDI may play the record: every parameter it reads lies inside the record and
// every object it names inside the header's table of `objects`.
bool RecordFits(QByteArrayView record, std::uint16_t function, int objects)
{
    const RecordLayout* layout = LayoutOf(function);
    return layout != nullptr && record.size() >= 6 + 2 * qsizetype(layout->params) &&
           (layout->rest == nullptr || layout->rest(record)) &&
           ObjectIsSound(record, layout->object, objects) &&
           ObjectIsSound(record, layout->otherObject, objects);
}

// A packed DIB at `at` to the record's end, with a color table of `usage`, whole; as GDI
// finds its pixels right after the color table. Its scan lines given to SetDIBitsToDevice
// are among its rows.
std::optional<DibInfo> SoundDib(QByteArrayView record, qsizetype at, std::uint32_t usage,
                                qint64& pixels, qint64 scanLines = 0)
{
    if (at >= record.size())
        return std::nullopt;
    const QByteArrayView dib = record.sliced(at);
    const auto info = ReadDibInfo(dib);
    if (!info || scanLines > info->height ||
        !EmbeddedBitmapIsSound(*info, usage, dib.size(),
                               dib.size() - DibColorTableEnd(*info, usage), pixels))
        return std::nullopt;
    return info;
}

// The record with its DIB at `at`, when the DIB is sound.
QByteArray WithSoundDib(QByteArrayView record, qsizetype at, std::uint32_t usage, qint64& pixels,
                        qint64 scanLines = 0)
{
    const auto info = SoundDib(record, at, usage, pixels, scanLines);
    if (!info)
        return {};
    QByteArray out = record.toByteArray();
    StateDibColors(out, at, *info);
    return out;
}

// A device-dependent bitmap of the old kind (its 10-byte header at `at`, its rows after
// `gap` more bytes) as a packed DIB, which every player reads alike: GDI looks for the
// old kind's fields at other places than the format puts them. One bit a pixel is black
// and white; deeper bitmaps of a palette device have no colors of their own and are not
// taken. Empty when the bitmap is not whole.
QByteArray Bitmap16AsDib(QByteArrayView record, qsizetype at, qsizetype gap, qint64& pixels)
{
    if (!Fits(record, at, 10 + gap))
        return {};
    const int width = LeS16(record, at + 2);
    const int height = LeS16(record, at + 4);
    const int widthBytes = LeS16(record, at + 6);
    const int planes = quint8(record[at + 8]);
    const int depth = quint8(record[at + 9]);
    if (width <= 0 || height <= 0 || planes != 1 || (depth != 1 && depth != 24 && depth != 32))
        return {};
    const qint64 rowBytes = (qint64(width) * depth + 7) / 8;
    if (widthBytes < rowBytes || !Fits(record, at + 10 + gap, qint64(widthBytes) * height))
        return {};
    pixels += qint64(width) * height;
    if (pixels > kMaxEmbeddedPixels)
        return {};
    const qint64 stride = DibStride(width, depth);
    const qsizetype rowsAt = depth == 1 ? 48 : 40;
    QByteArray dib(rowsAt + stride * height, '\0');
    PutLeU32(dib, 0, 40);
    PutLeU32(dib, 4, std::uint32_t(width));
    PutLeU32(dib, 8, std::uint32_t(height));
    PutLeU16(dib, 12, 1);
    PutLeU16(dib, 14, std::uint16_t(depth));
    if (depth == 1) {
        PutLeU32(dib, 32, 2);
        PutLeU32(dib, 44, 0x00FFFFFF); // black, then white
    }
    // The old kind's rows run from the top, a DIB's from the bottom.
    for (int y = 0; y < height; ++y)
        std::memcpy(dib.data() + rowsAt + (height - 1 - y) * stride,
                    record.data() + at + 10 + gap + qsizetype(y) * widthBytes, size_t(rowBytes));
    return dib;
}

QByteArray Record(std::uint16_t function, QByteArrayView params)
{
    QByteArray record(6, '\0');
    PutLeU32(record, 0, std::uint32_t(3 + params.size() / 2));
    PutLeU16(record, 4, function);
    record += params;
    return record;
}

// Blits without a bitmap end in the destination's height, width, top and left, like a
// PatBlt, as which GDI, which has no bitmap-less form of some of them, plays them.
QByteArray AsPatBlt(QByteArrayView record)
{
    QByteArray params = record.sliced(6, 4).toByteArray();
    params += record.last(8);
    return Record(kPatBlt, params);
}

// The record as players get it: blits and pattern brushes with a bitmap of the old kind
// carry it as a DIB, blits without a bitmap become PatBlts, a font's face name is whole.
// Empty when the record's bitmap is not whole.
QByteArray Tidied(QByteArrayView record, std::uint16_t function, qint64& pixels)
{
    const bool withBitmap = record.size() != 2 * qsizetype((function >> 8) + 3);
    switch (function) {
    case kBitBlt:
    case kStretchBlt: {
        if (!withBitmap)
            return AsPatBlt(record);
        const qsizetype at = function == kBitBlt ? 6 + 16 : 6 + 20;
        const QByteArray dib = Bitmap16AsDib(record, at, 0, pixels);
        if (dib.isEmpty())
            return {};
        return Record(function == kBitBlt ? kDibBitBlt : kDibStretchBlt,
                      record.sliced(6, at - 6).toByteArray() + dib);
    }
    case kDibBitBlt:
    case kDibStretchBlt: {
        if (!withBitmap)
            return AsPatBlt(record);
        return WithSoundDib(record, function == kDibBitBlt ? 6 + 16 : 6 + 20, kDibRgbColors,
                            pixels);
    }
    case kStretchDib:
        return WithSoundDib(record, 6 + 22, Param(record, 2), pixels);
    case kSetDibToDev:
        return WithSoundDib(record, 6 + 18, Param(record, 0), pixels, Param(record, 1));
    case kDibCreatePatternBrush:
    case kCreatePatternBrush: {
        QByteArray params(4, '\0');
        PutLeU16(params, 0, kBsDibPattern);
        const QByteArray dib = function == kDibCreatePatternBrush
                                   ? WithSoundDib(record, 10, Param(record, 1), pixels)
                                   : QByteArray();
        if (!dib.isEmpty()) {
            PutLeU16(params, 2, Param(record, 1));
            return Record(function, params + dib.sliced(10));
        }
        // The old kind: in a pattern brush 18 unused bytes follow its header.
        const QByteArray old = function == kCreatePatternBrush
                                   ? Bitmap16AsDib(record, 6, 18, pixels)
                                   : Bitmap16AsDib(record, 10, 0, pixels);
        return old.isEmpty() ? QByteArray() : Record(kDibCreatePatternBrush, params + old);
    }
    case kSelectPalette: {
        // The format gives the palette's index in the first word, GDI reads it from the
        // second: both hold it.
        const QByteArray index = record.sliced(6, 2).toByteArray();
        return Record(kSelectPalette, index + index);
    }
    case kCreateFontIndirect: {
        // GDI copies a face name of 32 bytes whatever the record holds.
        constexpr qsizetype kWholeFont = 6 + 18 + 32;
        QByteArray font = record.toByteArray();
        if (font.size() < kWholeFont)
            font.append(kWholeFont - font.size(), '\0');
        font[kWholeFont - 1] = '\0';
        PutLeU32(font, 0, std::uint32_t(font.size() / 2));
        return font;
    }
    default:
        return record.toByteArray();
    }
}

// Records that add an object to the table: one left out would move every later object
// to another index, so a damaged one is stood in for.
bool CreatesObject(std::uint16_t function)
{
    switch (function) {
    case kCreatePalette:
    case kDibCreatePatternBrush:
    case kCreatePatternBrush:
    case kCreatePenIndirect:
    case kCreateFontIndirect:
    case kCreateBrushIndirect:
    case kCreateRegion:
        return true;
    default:
        return false;
    }
}

// Stands in for an object whose record is damaged, so that later records still find their
// objects at the same indices, and of the same kind: an empty region, pen or brush, a
// palette of black.
QByteArray StandIn(std::uint16_t function)
{
    switch (function) {
    case kCreateRegion:
        return Record(kCreateRegion, QByteArray("\x00\x00\x06\x00\x00\x00\x00\x00\x16\x00"
                                                "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
                                                "\x00\x00",
                                                22));
    case kCreatePenIndirect:
        return Record(kCreatePenIndirect,
                      QByteArray("\x05\x00\x00\x00\x00\x00\x00\x00\x00\x00", 10));
    case kCreatePalette:
        return Record(kCreatePalette, QByteArray("\x00\x03\x01\x00\x00\x00\x00\x00", 8));
    default:
        return Record(kCreateBrushIndirect, QByteArray("\x01\x00\x00\x00\x00\x00\x00\x00", 8));
    }
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
    const int objects = LeU16(file, header + kObjectsAt);
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
        QByteArray kept = RecordFits(record, function, objects)
                              ? Tidied(record, function, embeddedPixels)
                              : QByteArray();
        if (kept.isEmpty()) {
            if (!CreatesObject(function))
                continue;
            kept = StandIn(function);
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
        largest = std::max<std::uint32_t>(largest, std::uint32_t(kept.size() / 2));
        out += kept;
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
