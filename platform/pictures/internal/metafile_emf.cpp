#include "pictures/internal/metafile_emf.h"

#include "pictures/internal/picture_internal.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace pictures {
namespace {

enum RecordType : std::uint32_t {
    kEmrHeader = 1,
    kEmrPolyBezier = 2,
    kEmrPolygon = 3,
    kEmrPolyline = 4,
    kEmrPolyBezierTo = 5,
    kEmrPolylineTo = 6,
    kEmrPolyPolyline = 7,
    kEmrPolyPolygon = 8,
    kEmrEof = 14,
    kEmrSelectObject = 37,
    kEmrCreatePen = 38,
    kEmrCreateBrushIndirect = 39,
    kEmrDeleteObject = 40,
    kEmrSelectPalette = 48,
    kEmrCreatePalette = 49,
    kEmrSetPaletteEntries = 50,
    kEmrResizePalette = 51,
    kEmrPolyDraw = 56,
    kEmrComment = 70,
    kEmrFillRgn = 71,
    kEmrFrameRgn = 72,
    kEmrInvertRgn = 73,
    kEmrPaintRgn = 74,
    kEmrExtSelectClipRgn = 75,
    kEmrBitBlt = 76,
    kEmrStretchBlt = 77,
    kEmrMaskBlt = 78,
    kEmrPlgBlt = 79,
    kEmrSetDiBitsToDevice = 80,
    kEmrStretchDiBits = 81,
    kEmrExtCreateFontIndirectW = 82,
    kEmrExtTextOutA = 83,
    kEmrExtTextOutW = 84,
    kEmrPolyBezier16 = 85,
    kEmrPolygon16 = 86,
    kEmrPolyline16 = 87,
    kEmrPolyBezierTo16 = 88,
    kEmrPolylineTo16 = 89,
    kEmrPolyPolyline16 = 90,
    kEmrPolyPolygon16 = 91,
    kEmrPolyDraw16 = 92,
    kEmrCreateMonoBrush = 93,
    kEmrCreateDibPatternBrushPt = 94,
    kEmrExtCreatePen = 95,
    kEmrPolyTextOutA = 96,
    kEmrPolyTextOutW = 97,
    kEmrCreateColorSpace = 99,
    kEmrSetColorSpace = 100,
    kEmrDeleteColorSpace = 101,
    kEmrGlsRecord = 102,
    kEmrGlsBoundedRecord = 103,
    kEmrPixelFormat = 104,
    kEmrDrawEscape = 105,
    kEmrExtEscape = 106,
    kEmrSmallTextOut = 108,
    kEmrForceUfiMapping = 109,
    kEmrNamedEscape = 110,
    kEmrColorCorrectPalette = 111,
    kEmrSetIcmProfileA = 112,
    kEmrSetIcmProfileW = 113,
    kEmrAlphaBlend = 114,
    kEmrSetLayout = 115,
    kEmrTransparentBlt = 116,
    kEmrGradientFill = 118,
    kEmrSetLinkedUfis = 119,
    kEmrSetTextJustification = 120,
    kEmrColorMatchToTargetW = 121,
    kEmrCreateColorSpaceW = 122,
};

// The record types of EMF+, inside comments.
constexpr std::uint16_t kEmfPlusFirstRecordType = 0x4001;
constexpr std::uint16_t kEmfPlusLastRecordType = 0x403A;
constexpr std::uint32_t kEmfSignature = 0x464D4520;
constexpr std::uint32_t kEmfPlusSignature = 0x2B464D45;
constexpr qsizetype kMinHeader = 88;
constexpr qsizetype kHandlesAt = 56;

constexpr std::uint32_t kEtoGlyphIndex = 0x10;
constexpr std::uint32_t kEtoNoRect = 0x100;
constexpr std::uint32_t kEtoSmallChars = 0x200;
constexpr std::uint32_t kEtoPdy = 0x2000;
constexpr std::uint32_t kStockObject = 0x80000000;
constexpr std::uint32_t kBsSolid = 0;
constexpr std::uint32_t kBsHatched = 2;
constexpr std::uint32_t kRgnCopy = 5;
constexpr std::uint32_t kGradientFillTriangle = 2;
constexpr qint64 kRegionHeaderSize = 32;
constexpr qint64 kTextSize = 40; // an EMRTEXT

// Whether `bytes` bytes from `at` lie inside the record.
bool Fits(QByteArrayView record, qint64 at, qint64 bytes)
{
    return at >= 0 && bytes >= 0 && at <= record.size() && bytes <= record.size() - at;
}

// A list of items after the fixed part: points, palette entries, UFIs, comment bytes.
// The count is a 32-bit number at `CountAt`; the items start at `At`.
template <qsizetype CountAt, qsizetype At, qsizetype ItemBytes>
bool ListFits(QByteArrayView record)
{
    return Fits(record, At, qint64(LeU32(record, CountAt)) * ItemBytes);
}

// Two blocks of bytes one after the other, each counted by a 32-bit number.
template <qsizetype FirstAt, qsizetype SecondAt, qsizetype At>
bool TwoBlocksFit(QByteArrayView record)
{
    return Fits(record, At, qint64(LeU32(record, FirstAt)) + LeU32(record, SecondAt));
}

// Polygons or polylines: their number, the number of all their points, the points of each
// and then all the points; GDI reads as many points as the polygons' counts add up to.
template <qsizetype PointBytes>
bool PolyPolyFits(QByteArrayView record)
{
    const qint64 polygons = LeU32(record, 24);
    const qint64 points = LeU32(record, 28);
    if (!Fits(record, 32, polygons * 4 + points * PointBytes))
        return false;
    qint64 used = 0;
    for (qint64 i = 0; i < polygons; ++i)
        used += LeU32(record, 32 + 4 * i);
    return used <= points;
}

// A palette: a version, a 16-bit count and the entries.
bool PaletteFits(QByteArrayView record)
{
    return Fits(record, 16, qint64(LeU16(record, 14)) * 4);
}

// An EMRTEXT at `at`: its characters and their spacing, which offsets from the record's
// start place. Without an offset, ExtTextOut spaces the characters itself.
bool TextFits(QByteArrayView record, qsizetype at, int charBytes, bool spacingOptional)
{
    if (!Fits(record, at, kTextSize))
        return false;
    const qint64 chars = LeU32(record, at + 8);
    const qint64 stringAt = LeU32(record, at + 12);
    const std::uint32_t options = LeU32(record, at + 16);
    const qint64 spacingAt = LeU32(record, at + 36);
    const qint64 spacingBytes = chars * ((options & kEtoPdy) != 0 ? 8 : 4);
    return Fits(record, stringAt, chars * charBytes) &&
           ((spacingOptional && spacingAt == 0) || Fits(record, spacingAt, spacingBytes));
}

template <int CharBytes>
bool ExtTextFits(QByteArrayView record)
{
    return TextFits(record, 36, CharBytes, true);
}

template <int CharBytes>
bool PolyTextFits(QByteArrayView record)
{
    const qint64 texts = LeU32(record, 36);
    if (!Fits(record, 40, texts * kTextSize))
        return false;
    for (qint64 i = 0; i < texts; ++i) {
        if (!TextFits(record, 40 + i * kTextSize, CharBytes, false))
            return false;
    }
    return true;
}

// Characters after an optional rectangle, of one byte each or two.
bool SmallTextFits(QByteArrayView record)
{
    const qint64 chars = LeU32(record, 16);
    const std::uint32_t options = LeU32(record, 20);
    const qsizetype at = (options & kEtoNoRect) != 0 ? 36 : 52;
    return Fits(record, at, chars * ((options & kEtoSmallChars) != 0 ? 1 : 2));
}

// Region data of the size at `SizeAt`, from `At`: a header of 32 bytes and the rectangles
// it counts.
bool RegionFits(QByteArrayView record, qsizetype sizeAt, qsizetype at)
{
    const qint64 size = LeU32(record, sizeAt);
    if (size < kRegionHeaderSize || !Fits(record, at, size))
        return false;
    constexpr std::uint32_t kRdhRectangles = 1;
    const qint64 rectangles = LeU32(record, at + 8);
    return LeU32(record, at) == kRegionHeaderSize && LeU32(record, at + 4) == kRdhRectangles &&
           rectangles <= (size - kRegionHeaderSize) / 16;
}

template <qsizetype SizeAt, qsizetype At>
bool RegionRecordFits(QByteArrayView record)
{
    return RegionFits(record, SizeAt, At);
}

// A clipping region, or none to reset the clipping. GDI takes data it finds after the
// fixed part for a region whatever the size field says, so such data must be one.
bool ClipRegionFits(QByteArrayView record)
{
    const bool reset = LeU32(record, 8) == 0 && LeU32(record, 12) == kRgnCopy;
    if (reset && record.size() < 16 + kRegionHeaderSize)
        return true;
    return RegionFits(record, 8, 16);
}

// Vertices, then rectangles or triangles that name them by index.
bool GradientFits(QByteArrayView record)
{
    const qint64 vertices = LeU32(record, 24);
    const qint64 shapes = LeU32(record, 28);
    const std::uint32_t mode = LeU32(record, 32);
    if (mode > kGradientFillTriangle)
        return false;
    const qint64 corners = shapes * (mode == kGradientFillTriangle ? 3 : 2);
    if (!Fits(record, 36, vertices * 16 + corners * 4))
        return false;
    const qsizetype cornersAt = 36 + vertices * 16;
    for (qint64 i = 0; i < corners; ++i) {
        if (LeU32(record, cornersAt + 4 * i) >= vertices)
            return false;
    }
    return true;
}

// A pen's style entries after its fixed part; a patterned pen's brush is taken as solid
// (see Tidied), so any brush style passes.
bool ExtPenFits(QByteArrayView record)
{
    return ListFits<48, 52, 4>(record);
}

// How a record names an object of the table the header sizes.
enum class Handle : std::uint8_t {
    None,
    Creates, // an index of the table, filled by the record
    Uses,    // an index of the table
    Selects, // an index of the table, or a stock object
};

struct RecordLayout
{
    std::uint32_t type = 0;
    std::uint16_t fixedSize = 0;                   // what GDI reads of every such record
    bool (*rest)(QByteArrayView record) = nullptr; // what counts and offsets add
    Handle handle = Handle::None;
    std::uint8_t handleAt = 8;
};

// Every record type after the header, as GDI reads it.
constexpr RecordLayout kLayouts[] = {
    {kEmrPolyBezier, 28, ListFits<24, 28, 8>},
    {kEmrPolygon, 28, ListFits<24, 28, 8>},
    {kEmrPolyline, 28, ListFits<24, 28, 8>},
    {kEmrPolyBezierTo, 28, ListFits<24, 28, 8>},
    {kEmrPolylineTo, 28, ListFits<24, 28, 8>},
    {kEmrPolyPolyline, 32, PolyPolyFits<8>},
    {kEmrPolyPolygon, 32, PolyPolyFits<8>},
    {9, 16},  // SetWindowExtEx
    {10, 16}, // SetWindowOrgEx
    {11, 16}, // SetViewportExtEx
    {12, 16}, // SetViewportOrgEx
    {13, 16}, // SetBrushOrgEx
    {15, 20}, // SetPixelV
    {16, 12}, // SetMapperFlags
    {17, 12}, // SetMapMode
    {18, 12}, // SetBkMode
    {19, 12}, // SetPolyFillMode
    {20, 12}, // SetRop2
    {21, 12}, // SetStretchBltMode
    {22, 12}, // SetTextAlign
    {23, 32}, // SetColorAdjustment
    {24, 12}, // SetTextColor
    {25, 12}, // SetBkColor
    {26, 16}, // OffsetClipRgn
    {27, 16}, // MoveToEx
    {28, 8},  // SetMetaRgn
    {29, 24}, // ExcludeClipRect
    {30, 24}, // IntersectClipRect
    {31, 24}, // ScaleViewportExtEx
    {32, 24}, // ScaleWindowExtEx
    {33, 8},  // SaveDC
    {34, 12}, // RestoreDC
    {35, 32}, // SetWorldTransform
    {36, 36}, // ModifyWorldTransform
    {kEmrSelectObject, 12, nullptr, Handle::Selects},
    {kEmrCreatePen, 28, nullptr, Handle::Creates},
    {kEmrCreateBrushIndirect, 24, nullptr, Handle::Creates},
    {kEmrDeleteObject, 12, nullptr, Handle::Uses},
    {41, 28}, // AngleArc
    {42, 24}, // Ellipse
    {43, 24}, // Rectangle
    {44, 32}, // RoundRect
    {45, 40}, // Arc
    {46, 40}, // Chord
    {47, 40}, // Pie
    {kEmrSelectPalette, 12, nullptr, Handle::Selects},
    {kEmrCreatePalette, 16, PaletteFits, Handle::Creates},
    {kEmrSetPaletteEntries, 20, ListFits<16, 20, 4>, Handle::Uses},
    {kEmrResizePalette, 16, nullptr, Handle::Uses},
    {52, 8},  // RealizePalette
    {53, 24}, // ExtFloodFill
    {54, 16}, // LineTo
    {55, 40}, // ArcTo
    {kEmrPolyDraw, 28, ListFits<24, 28, 9>},
    {57, 12}, // SetArcDirection
    {58, 12}, // SetMiterLimit
    {59, 8},  // BeginPath
    {60, 8},  // EndPath
    {61, 8},  // CloseFigure
    {62, 24}, // FillPath
    {63, 24}, // StrokeAndFillPath
    {64, 24}, // StrokePath
    {65, 8},  // FlattenPath
    {66, 8},  // WidenPath
    {67, 12}, // SelectClipPath
    {68, 8},  // AbortPath
    {kEmrComment, 12, ListFits<8, 12, 1>},
    {kEmrFillRgn, 32, RegionRecordFits<24, 32>, Handle::Uses, 28},
    {kEmrFrameRgn, 40, RegionRecordFits<24, 40>, Handle::Uses, 28},
    {kEmrInvertRgn, 28, RegionRecordFits<24, 28>},
    {kEmrPaintRgn, 28, RegionRecordFits<24, 28>},
    {kEmrExtSelectClipRgn, 16, ClipRegionFits},
    {kEmrBitBlt, 100},
    {kEmrStretchBlt, 108},
    {kEmrMaskBlt, 128},
    {kEmrPlgBlt, 140},
    {kEmrSetDiBitsToDevice, 76},
    {kEmrStretchDiBits, 80},
    {kEmrExtCreateFontIndirectW, 104, nullptr, Handle::Creates},
    {kEmrExtTextOutA, 76, ExtTextFits<1>},
    {kEmrExtTextOutW, 76, ExtTextFits<2>},
    {kEmrPolyBezier16, 28, ListFits<24, 28, 4>},
    {kEmrPolygon16, 28, ListFits<24, 28, 4>},
    {kEmrPolyline16, 28, ListFits<24, 28, 4>},
    {kEmrPolyBezierTo16, 28, ListFits<24, 28, 4>},
    {kEmrPolylineTo16, 28, ListFits<24, 28, 4>},
    {kEmrPolyPolyline16, 32, PolyPolyFits<4>},
    {kEmrPolyPolygon16, 32, PolyPolyFits<4>},
    {kEmrPolyDraw16, 28, ListFits<24, 28, 5>},
    {kEmrCreateMonoBrush, 32, nullptr, Handle::Creates},
    {kEmrCreateDibPatternBrushPt, 32, nullptr, Handle::Creates},
    {kEmrExtCreatePen, 52, ExtPenFits, Handle::Creates},
    {kEmrPolyTextOutA, 40, PolyTextFits<1>},
    {kEmrPolyTextOutW, 40, PolyTextFits<2>},
    {98, 12}, // SetIcmMode
    {kEmrCreateColorSpace, 340, nullptr, Handle::Creates},
    {kEmrSetColorSpace, 12, nullptr, Handle::Selects},
    {kEmrDeleteColorSpace, 12, nullptr, Handle::Uses},
    {kEmrGlsRecord, 12, ListFits<8, 12, 1>},
    {kEmrGlsBoundedRecord, 28, ListFits<24, 28, 1>},
    {kEmrPixelFormat, 48},
    {kEmrDrawEscape, 16, ListFits<12, 16, 1>},
    {kEmrExtEscape, 16, ListFits<12, 16, 1>},
    {kEmrSmallTextOut, 36, SmallTextFits},
    {kEmrForceUfiMapping, 16},
    {kEmrNamedEscape, 20, TwoBlocksFit<12, 16, 20>},
    {kEmrColorCorrectPalette, 24, nullptr, Handle::Uses},
    {kEmrSetIcmProfileA, 20, TwoBlocksFit<12, 16, 20>},
    {kEmrSetIcmProfileW, 20, TwoBlocksFit<12, 16, 20>},
    {kEmrAlphaBlend, 108},
    {kEmrSetLayout, 12},
    {kEmrTransparentBlt, 108},
    {kEmrGradientFill, 36, GradientFits},
    {kEmrSetLinkedUfis, 12, ListFits<8, 12, 8>},
    {kEmrSetTextJustification, 16},
    {kEmrColorMatchToTargetW, 24, TwoBlocksFit<16, 20, 24>},
    {kEmrCreateColorSpaceW, 608, ListFits<604, 608, 1>, Handle::Creates},
};

const RecordLayout* LayoutOf(std::uint32_t type)
{
    for (const RecordLayout& layout : kLayouts) {
        if (layout.type == type)
            return &layout;
    }
    return nullptr;
}

// Slot 0 of the table is the metafile itself; stock objects have the top bit set.
bool HandleIsSound(QByteArrayView record, const RecordLayout& layout, int handles)
{
    if (layout.handle == Handle::None)
        return true;
    const std::uint32_t index = LeU32(record, layout.handleAt);
    const bool inTable = index > 0 && index < std::uint32_t(handles);
    return inTable || (layout.handle == Handle::Selects && (index & kStockObject) != 0);
}

// Where a record keeps the offsets and sizes of a bitmap: the header's offset (its size
// follows), the pixels' offset (their size follows) and the usage of its colors, all
// counted from the record's start.
struct BitmapFields
{
    qsizetype header;
    qsizetype bits;
    qsizetype usage;
    bool optional; // GDI plays the record without it
};

std::vector<BitmapFields> BitmapFieldsOf(std::uint32_t type)
{
    switch (type) {
    case kEmrBitBlt:
    case kEmrStretchBlt:
        return {{84, 92, 80, true}};
    case kEmrAlphaBlend:
    case kEmrTransparentBlt:
        return {{84, 92, 80, false}};
    case kEmrMaskBlt:
        return {{84, 92, 80, false}, {112, 120, 108, false}};
    case kEmrPlgBlt:
        return {{96, 104, 92, false}, {124, 132, 120, false}};
    case kEmrSetDiBitsToDevice:
    case kEmrStretchDiBits:
        return {{48, 56, 64, false}};
    case kEmrCreateMonoBrush:
    case kEmrCreateDibPatternBrushPt:
        return {{16, 24, 12, false}};
    case kEmrExtCreatePen:
        return {{12, 20, -1, true}};
    default:
        return {};
    }
}

// The bitmaps of a record lie inside it and describe pixels that are all there, as GDI
// reads them for this record.
bool BitmapsAreSound(QByteArrayView record, std::uint32_t type, qint64& pixels)
{
    for (const BitmapFields& fields : BitmapFieldsOf(type)) {
        const qint64 headerAt = LeU32(record, fields.header);
        const qint64 headerSize = LeU32(record, fields.header + 4);
        const qint64 bitsAt = LeU32(record, fields.bits);
        const qint64 bitsSize = LeU32(record, fields.bits + 4);
        if (headerSize == 0 && fields.optional)
            continue; // a blit without a source bitmap, a pen without a pattern
        if (!Fits(record, headerAt, headerSize) || !Fits(record, bitsAt, bitsSize))
            return false;
        const auto info = ReadDibInfo(record.sliced(headerAt, headerSize));
        const std::uint32_t usage = fields.usage >= 0 ? LeU32(record, fields.usage) : 0;
        if (!info || !EmbeddedBitmapIsSound(*info, usage, headerSize, bitsSize, pixels))
            return false;
        // A mono brush without a color table is one bit deep.
        if (type == kEmrCreateMonoBrush && usage == kDibPalIndices && info->bitCount != 1)
            return false;
        // SetDIBitsToDevice reads as many scan lines as it is told.
        if (type == kEmrSetDiBitsToDevice && LeU32(record, 72) > std::uint32_t(info->height))
            return false;
        // AlphaBlend copies the pixels into a bitmap of the size the header states.
        if (type == kEmrAlphaBlend &&
            (info->compressed ||
             bitsSize > DibStride(info->width, info->bitCount) * qint64(info->height)))
            return false;
    }
    return true;
}

// Brushes GDI makes from a record's own fields: a solid, empty or hatched one. The other
// styles take a handle or an address of the process that wrote the file.
bool BrushIsSound(QByteArrayView record, std::uint32_t type)
{
    return type != kEmrCreateBrushIndirect || LeU32(record, 12) <= kBsHatched;
}

// Whether GDI may play the record: every field it reads lies inside the record, every
// object it names inside the header's table of `handles`, every bitmap is whole.
bool RecordIsSound(QByteArrayView record, std::uint32_t type, int handles, qint64& pixels)
{
    const RecordLayout* layout = LayoutOf(type);
    return layout != nullptr && record.size() >= layout->fixedSize &&
           (layout->rest == nullptr || layout->rest(record)) &&
           HandleIsSound(record, *layout, handles) && BrushIsSound(record, type) &&
           BitmapsAreSound(record, type, pixels);
}

// A record as it is kept: its bitmaps state their number of colors, a blit without a
// source bitmap names none, so that no player
// looks for one at the offsets it still states; a patterned pen's pattern, which GDI
// takes from the process that wrote the file rather than the record, becomes a solid
// brush of the pen's color.
QByteArray Tidied(QByteArrayView record, std::uint32_t type)
{
    QByteArray out = record.toByteArray();
    for (const BitmapFields& fields : BitmapFieldsOf(type)) {
        const qint64 headerAt = LeU32(record, fields.header);
        const qint64 headerSize = LeU32(record, fields.header + 4);
        if (headerSize == 0)
            continue;
        if (const auto info = ReadDibInfo(record.sliced(headerAt, headerSize)))
            StateDibColors(out, headerAt, *info);
    }
    if ((type == kEmrBitBlt || type == kEmrStretchBlt) && LeU32(record, 88) == 0) {
        for (const qsizetype at : {84, 92, 96})
            PutLeU32(out, at, 0);
    }
    if (type == kEmrExtCreatePen && LeU32(record, 36) > kBsHatched) {
        PutLeU32(out, 36, kBsSolid);
        PutLeU32(out, 44, 0);
    }
    return out;
}

// An EMF+ comment holds whole EMF+ records; other comments are passed on as they are.
bool CommentIsSound(QByteArrayView record)
{
    if (record.size() < 16)
        return record.size() >= 12;
    const qint64 dataSize = LeU32(record, 8);
    if (dataSize > record.size() - 12)
        return false;
    if (dataSize < 4 || LeU32(record, 12) != kEmfPlusSignature)
        return true;
    const QByteArrayView data = record.sliced(16, dataSize - 4);
    qsizetype pos = 0;
    while (pos < data.size()) {
        if (pos + 12 > data.size())
            return false;
        const std::uint16_t type = LeU16(data, pos);
        const qint64 size = LeU32(data, pos + 4);
        const qint64 payload = LeU32(data, pos + 8);
        if (type < kEmfPlusFirstRecordType || type > kEmfPlusLastRecordType || size < 12 ||
            size % 4 != 0 || size > data.size() - pos || payload > size - 12)
            return false;
        pos += size;
    }
    return true;
}

// Text given as glyph indices sends libemf2svg to fontconfig for the font file, after which
// it shuts fontconfig down (FcFini) under the feet of Qt, which aborts. Without the font
// the indices cannot become characters anyway, so such text is left out.
bool IsGlyphIndexText(QByteArrayView record, std::uint32_t type)
{
    constexpr qsizetype kOptionsAt = 52;
    if (type != kEmrExtTextOutA && type != kEmrExtTextOutW)
        return false;
    return record.size() < kOptionsAt + 4 || (LeU32(record, kOptionsAt) & kEtoGlyphIndex) != 0;
}

QByteArray EofRecord()
{
    QByteArray record(20, '\0');
    PutLeU32(record, 0, kEmrEof);
    PutLeU32(record, 4, 20);
    PutLeU32(record, 12, 16); // offPalEntries
    PutLeU32(record, 16, 20); // nSizeLast
    return record;
}

} // namespace

std::optional<MetafileDocument> PrepareEmf(QByteArrayView file, QString& error)
{
    if (file.size() < kMinHeader || LeU32(file, 0) != kEmrHeader ||
        LeU32(file, 40) != kEmfSignature) {
        error = QStringLiteral("not an enhanced metafile");
        return std::nullopt;
    }
    const qint64 headerSize = LeU32(file, 4);
    if (headerSize < kMinHeader || headerSize % 4 != 0 || headerSize > file.size()) {
        error = QStringLiteral("enhanced metafile header is damaged");
        return std::nullopt;
    }
    MetafileDocument document;
    document.size = EmfFrameSize(file);
    if (document.size.isEmpty()) {
        error = QStringLiteral("enhanced metafile has no usable frame");
        return std::nullopt;
    }

    QByteArray& out = document.bytes;
    out = file.first(headerSize).toByteArray();
    qsizetype pos = headerSize;
    int records = 1;
    int dropped = 0;
    qint64 embeddedPixels = 0;
    const int handles = LeU16(file, kHandlesAt);
    while (pos + 8 <= file.size()) {
        const std::uint32_t type = LeU32(file, pos);
        const qint64 size = LeU32(file, pos + 4);
        if (size < 8 || size % 4 != 0 || size > file.size() - pos)
            break; // damaged or cut short: play what came before
        const QByteArrayView record = file.sliced(pos, size);
        pos += size;
        if (type == kEmrEof)
            break;
        const bool sound = RecordIsSound(record, type, handles, embeddedPixels) &&
                           (type != kEmrComment || CommentIsSound(record)) &&
                           !IsGlyphIndexText(record, type);
        if (!sound) {
            ++dropped;
            continue;
        }
        if (++records > kMaxMetafileRecords) {
            error = QStringLiteral("enhanced metafile has too many records");
            return std::nullopt;
        }
        out += Tidied(record, type);
    }
    if (dropped > 0)
        qCDebug(lcPictures) << "enhanced metafile:" << dropped << "damaged records left out";
    out += EofRecord();
    ++records;

    PutLeU32(out, 48, std::uint32_t(out.size()));
    PutLeU32(out, 52, std::uint32_t(records));
    PutLeU32(out, 60, 0); // no description
    PutLeU32(out, 64, 0);
    PutLeU32(out, 68, 0); // no palette in the end-of-file record
    if (headerSize >= 100) {
        PutLeU32(out, 88, 0); // no pixel format
        PutLeU32(out, 92, 0);
    }
    return document;
}

QSize EmfFrameSize(QByteArrayView header)
{
    if (header.size() < kMinHeader)
        return {};
    const auto pixels = [](qint64 hundredthsOfMillimetre) {
        return std::llround(double(hundredthsOfMillimetre) * 96.0 / 2540.0);
    };
    const qint64 frameWidth = qint64(LeS32(header, 32)) - LeS32(header, 24);
    const qint64 frameHeight = qint64(LeS32(header, 36)) - LeS32(header, 28);
    constexpr qint64 kLargest = 1 << 20;
    if (frameWidth > 0 && frameHeight > 0 && pixels(frameWidth) <= kLargest &&
        pixels(frameHeight) <= kLargest)
        return {int(std::max<qint64>(1, pixels(frameWidth))),
                int(std::max<qint64>(1, pixels(frameHeight)))};
    const qint64 boundsWidth = qint64(LeS32(header, 16)) - LeS32(header, 8) + 1;
    const qint64 boundsHeight = qint64(LeS32(header, 20)) - LeS32(header, 12) + 1;
    if (boundsWidth > 0 && boundsHeight > 0 && boundsWidth <= kLargest && boundsHeight <= kLargest)
        return {int(boundsWidth), int(boundsHeight)};
    return {};
}

} // namespace pictures
