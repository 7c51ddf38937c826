#include "pictures/internal/metafile_emf.h"

#include "pictures/internal/picture_internal.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace pictures {
namespace {

enum RecordType : std::uint32_t {
    kEmrHeader = 1,
    kEmrEof = 14,
    kEmrComment = 70,
    kEmrBitBlt = 76,
    kEmrStretchBlt = 77,
    kEmrMaskBlt = 78,
    kEmrPlgBlt = 79,
    kEmrSetDiBitsToDevice = 80,
    kEmrStretchDiBits = 81,
    kEmrExtTextOutA = 83,
    kEmrExtTextOutW = 84,
    kEmrCreateMonoBrush = 93,
    kEmrCreateDibPatternBrushPt = 94,
    kEmrAlphaBlend = 114,
    kEmrTransparentBlt = 116,
    kEmrLastRecordType = 122,
};

// The record types of EMF+, inside comments.
constexpr std::uint16_t kEmfPlusFirstRecordType = 0x4001;
constexpr std::uint16_t kEmfPlusLastRecordType = 0x403A;
constexpr std::uint32_t kEmfSignature = 0x464D4520;
constexpr std::uint32_t kEmfPlusSignature = 0x2B464D45;
constexpr qsizetype kMinHeader = 88;

// Where a bitmap record keeps the offsets and sizes of its bitmaps: header offset, header
// size, bits offset, bits size, all counted from the record's start.
struct BitmapFields
{
    qsizetype header;
    qsizetype bits;
};

std::vector<BitmapFields> BitmapFieldsOf(std::uint32_t type)
{
    switch (type) {
    case kEmrBitBlt:
    case kEmrStretchBlt:
    case kEmrAlphaBlend:
    case kEmrTransparentBlt:
        return {{84, 92}};
    case kEmrMaskBlt:
        return {{84, 92}, {112, 120}};
    case kEmrPlgBlt:
        return {{96, 104}, {124, 132}};
    case kEmrSetDiBitsToDevice:
    case kEmrStretchDiBits:
        return {{48, 56}};
    case kEmrCreateMonoBrush:
    case kEmrCreateDibPatternBrushPt:
        return {{16, 24}};
    default:
        return {};
    }
}

// The bitmaps of a record lie inside it and describe pixels that are all there.
bool BitmapsAreSound(QByteArrayView record, std::uint32_t type, qint64& pixels)
{
    for (const BitmapFields& fields : BitmapFieldsOf(type)) {
        if (fields.bits + 8 > record.size())
            return false;
        const qint64 headerAt = LeU32(record, fields.header);
        const qint64 headerSize = LeU32(record, fields.header + 4);
        const qint64 bitsAt = LeU32(record, fields.bits);
        const qint64 bitsSize = LeU32(record, fields.bits + 4);
        if (headerSize == 0)
            continue; // a blit without a source bitmap
        if (headerAt + headerSize > record.size() || bitsAt + bitsSize > record.size())
            return false;
        const auto info = ReadDibInfo(record.sliced(headerAt, headerSize));
        if (!info || !EmbeddedBitmapIsSound(*info, bitsSize, pixels))
            return false;
    }
    return true;
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
    constexpr std::uint32_t kEtoGlyphIndex = 0x10;
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
    while (pos + 8 <= file.size()) {
        const std::uint32_t type = LeU32(file, pos);
        const qint64 size = LeU32(file, pos + 4);
        if (size < 8 || size % 4 != 0 || size > file.size() - pos)
            break; // damaged or cut short: play what came before
        const QByteArrayView record = file.sliced(pos, size);
        pos += size;
        if (type == kEmrEof)
            break;
        const bool sound = type > kEmrHeader && type <= kEmrLastRecordType &&
                           BitmapsAreSound(record, type, embeddedPixels) &&
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
        out += record;
    }
    if (dropped > 0)
        qCDebug(lcPictures) << "enhanced metafile:" << dropped << "damaged records left out";
    out += EofRecord();
    ++records;

    PutLeU32(out, 48, std::uint32_t(out.size()));
    PutLeU32(out, 52, std::uint32_t(records));
    PutLeU32(out, 64, 0); // no description
    PutLeU32(out, 68, 0);
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
