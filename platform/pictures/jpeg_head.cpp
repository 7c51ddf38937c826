#include "pictures/jpeg_head.h"

#include "pictures/tuning.h"

#include <QIODevice>
#include <QTransform>
#include <QtEndian>

#include <algorithm>
#include <cstdint>

namespace pictures {
namespace {

enum class ByteOrder { Little, Big };

enum TiffTag : std::uint16_t {
    kTagOrientation = 0x0112,
    kTagPreviewOffset = 0x0201, // JPEGInterchangeFormat
    kTagPreviewLength = 0x0202, // JPEGInterchangeFormatLength
};

enum TiffType : std::uint16_t { kTypeShort = 3, kTypeLong = 4 };

constexpr qsizetype kEntrySize = 12;
// More entries than any real directory has: a count beyond it is damage.
constexpr int kMaxEntries = 512;

constexpr uchar kMarkerSoi = 0xD8;
constexpr uchar kMarkerEoi = 0xD9;
constexpr uchar kMarkerSos = 0xDA;
constexpr uchar kMarkerApp1 = 0xE1;
constexpr uchar kMarkerTem = 0x01;

// Reads the numbers of TIFF data in its byte order; every read is checked.
class TiffReader
{
public:
    TiffReader(QByteArrayView data, ByteOrder order)
        : data_(data)
        , order_(order)
    {}

    std::optional<std::uint16_t> U16(qint64 at) const { return Number<std::uint16_t>(at); }
    std::optional<std::uint32_t> U32(qint64 at) const { return Number<std::uint32_t>(at); }

    // The value of a SHORT or LONG entry with one value, which sits in the entry itself.
    std::optional<std::uint32_t> EntryNumber(qint64 entry) const
    {
        const std::optional<std::uint16_t> type = U16(entry + 2);
        const std::optional<std::uint32_t> count = U32(entry + 4);
        if (!type || !count || *count != 1)
            return std::nullopt;
        if (*type == kTypeShort)
            return U16(entry + 8);
        if (*type == kTypeLong)
            return U32(entry + 8);
        return std::nullopt;
    }

    // The entries of the directory at `at`, and where the offset of the next one lies.
    struct Directory
    {
        qint64 first = 0;
        int count = 0;
        qint64 next = 0;
    };
    std::optional<Directory> DirectoryAt(qint64 at) const
    {
        const std::optional<std::uint16_t> count = U16(at);
        if (!count || *count > kMaxEntries || at + 2 + *count * kEntrySize + 4 > data_.size())
            return std::nullopt;
        return Directory{at + 2, *count, at + 2 + *count * kEntrySize};
    }

    std::optional<std::uint16_t> TagAt(qint64 entry) const { return U16(entry); }

private:
    template <typename Unsigned>
    std::optional<Unsigned> Number(qint64 at) const
    {
        if (at < 0 || at + qint64(sizeof(Unsigned)) > data_.size())
            return std::nullopt;
        const char* p = data_.data() + at;
        return order_ == ByteOrder::Little ? qFromLittleEndian<Unsigned>(p)
                                           : qFromBigEndian<Unsigned>(p);
    }

    QByteArrayView data_;
    ByteOrder order_;
};

void ReadOrientation(const TiffReader& tiff, const TiffReader::Directory& directory,
                     ExifFacts& facts)
{
    for (int i = 0; i < directory.count; ++i) {
        const qint64 entry = directory.first + i * kEntrySize;
        if (tiff.TagAt(entry) != kTagOrientation)
            continue;
        const std::optional<std::uint32_t> value = tiff.EntryNumber(entry);
        if (value && *value >= 1 && *value <= 8)
            facts.orientation = int(*value);
        return;
    }
}

void ReadPreview(QByteArrayView data, const TiffReader& tiff,
                 const TiffReader::Directory& directory, ExifFacts& facts)
{
    std::optional<std::uint32_t> offset;
    std::optional<std::uint32_t> length;
    for (int i = 0; i < directory.count; ++i) {
        const qint64 entry = directory.first + i * kEntrySize;
        const std::optional<std::uint16_t> tag = tiff.TagAt(entry);
        if (tag == kTagPreviewOffset)
            offset = tiff.EntryNumber(entry);
        else if (tag == kTagPreviewLength)
            length = tiff.EntryNumber(entry);
    }
    if (!offset || !length || *length < 4 || qint64(*offset) + *length > data.size())
        return;
    const QByteArrayView preview = data.sliced(*offset, *length);
    if (uchar(preview[0]) != 0xFF || uchar(preview[1]) != kMarkerSoi)
        return;
    facts.previewOffset = *offset;
    facts.previewLength = *length;
}

std::optional<int> ReadByte(QIODevice& device)
{
    char byte = 0;
    if (!device.getChar(&byte))
        return std::nullopt;
    return uchar(byte);
}

std::optional<int> ReadBigU16(QIODevice& device)
{
    const QByteArray bytes = device.read(2);
    if (bytes.size() != 2)
        return std::nullopt;
    return qFromBigEndian<std::uint16_t>(bytes.constData());
}

// The marker of the next segment, after any fill bytes.
std::optional<int> ReadMarker(QIODevice& device)
{
    std::optional<int> byte = ReadByte(device);
    if (byte != 0xFF)
        return std::nullopt;
    while (byte == 0xFF)
        byte = ReadByte(device);
    return byte;
}

bool IsStandalone(int marker)
{
    return marker == kMarkerTem || (marker >= 0xD0 && marker <= kMarkerSoi);
}

// SOF0 to SOF15, but for DHT, JPG and DAC, which share their range.
bool IsFrameHeader(int marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The frame header: precision, height, width, then three bytes for each component.
bool ReadFrame(QByteArrayView frame, int marker, JpegHead& head)
{
    if (frame.size() < 6)
        return false;
    const int height = qFromBigEndian<std::uint16_t>(frame.data() + 1);
    const int width = qFromBigEndian<std::uint16_t>(frame.data() + 3);
    const int count = uchar(frame[5]);
    if (width == 0 || height == 0 || count == 0 || frame.size() < 6 + 3 * count)
        return false;
    head.storedSize = QSize(width, height);
    head.frame.marker = marker;
    for (int i = 0; i < count; ++i) {
        const int sampling = uchar(frame[6 + 3 * i + 1]);
        const JpegFrame::Component component{std::clamp(sampling >> 4, 1, 4),
                                             std::clamp(sampling & 0x0F, 1, 4)};
        head.frame.components.push_back(component);
    }
    return true;
}

void TakeExif(const QByteArray& payload, JpegHead& head)
{
    static constexpr char kExifName[] = {'E', 'x', 'i', 'f', '\0', '\0'};
    const QByteArrayView name(kExifName, sizeof kExifName);
    if (payload.size() < name.size() || QByteArrayView(payload).first(name.size()) != name)
        return;
    const QByteArrayView tiff = QByteArrayView(payload).sliced(name.size());
    const std::optional<ExifFacts> facts = ParseExif(tiff);
    if (!facts)
        return;
    head.orientation = facts->orientation;
    if (facts->previewOffset >= 0)
        head.preview = tiff.sliced(facts->previewOffset, facts->previewLength).toByteArray();
}

} // namespace

std::optional<ExifFacts> ParseExif(QByteArrayView tiff)
{
    if (tiff.size() < 8)
        return std::nullopt;
    ByteOrder order = ByteOrder::Little;
    if (tiff.startsWith("MM"))
        order = ByteOrder::Big;
    else if (!tiff.startsWith("II"))
        return std::nullopt;
    const TiffReader reader(tiff, order);
    if (reader.U16(2) != 42)
        return std::nullopt;

    ExifFacts facts;
    const std::optional<std::uint32_t> first = reader.U32(4);
    const std::optional<TiffReader::Directory> image =
        first ? reader.DirectoryAt(*first) : std::nullopt;
    if (!image)
        return facts;
    ReadOrientation(reader, *image, facts);
    const std::optional<std::uint32_t> second = reader.U32(image->next);
    if (!second || *second == 0 || *second == *first)
        return facts;
    if (const std::optional<TiffReader::Directory> thumbnail = reader.DirectoryAt(*second))
        ReadPreview(tiff, reader, *thumbnail, facts);
    return facts;
}

bool JpegFrame::Progressive() const
{
    return marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
}

qint64 JpegFrame::CoefficientBytes(QSize storedSize) const
{
    if (!Progressive() || components.empty())
        return 0;
    int most = 1;
    int mostVertical = 1;
    for (const Component& component : components) {
        most = std::max(most, component.horizontal);
        mostVertical = std::max(mostVertical, component.vertical);
    }
    // Units of 8 x 8 blocks of the most sampled component cover the picture.
    const qint64 unitsAcross = (storedSize.width() + 8 * most - 1) / (8 * most);
    const qint64 unitsDown = (storedSize.height() + 8 * mostVertical - 1) / (8 * mostVertical);
    qint64 blocks = 0;
    for (const Component& component : components)
        blocks += unitsAcross * component.horizontal * unitsDown * component.vertical;
    constexpr qint64 kBytesPerBlock = qint64(64) * 2;
    return blocks * kBytesPerBlock;
}

QSize JpegHead::OrientedSize() const
{
    return OrientationTransposes(orientation) ? storedSize.transposed() : storedSize;
}

bool OrientationTransposes(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

std::optional<JpegHead> ReadJpegHead(QIODevice& device)
{
    if (ReadByte(device) != 0xFF || ReadByte(device) != kMarkerSoi)
        return std::nullopt;
    JpegHead head;
    bool exifSeen = false;
    for (int segment = 0; segment < kMostJpegHeadSegments; ++segment) {
        const std::optional<int> marker = ReadMarker(device);
        if (!marker || *marker == kMarkerEoi || *marker == kMarkerSos)
            return std::nullopt;
        if (IsStandalone(*marker))
            continue;
        const std::optional<int> length = ReadBigU16(device);
        if (!length || *length < 2)
            return std::nullopt;
        const qint64 payloadLength = *length - 2;
        if (IsFrameHeader(*marker)) {
            const QByteArray frame = device.read(payloadLength);
            if (frame.size() != payloadLength || !ReadFrame(frame, *marker, head))
                return std::nullopt;
            return head;
        }
        if (*marker == kMarkerApp1 && !exifSeen) {
            const QByteArray payload = device.read(payloadLength);
            if (payload.size() != payloadLength)
                return std::nullopt;
            exifSeen = payload.startsWith(QByteArrayView("Exif\0\0", 6));
            TakeExif(payload, head);
        } else if (device.skip(payloadLength) != payloadLength) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

QImage Oriented(const QImage& image, int orientation)
{
    // As Qt turns a decoded photo: mirror first, then a quarter turn clockwise.
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5:
        return image.mirrored(false, true).transformed(QTransform().rotate(90));
    case 6:
        return image.transformed(QTransform().rotate(90));
    case 7:
        return image.mirrored(true, false).transformed(QTransform().rotate(90));
    case 8:
        return image.transformed(QTransform().rotate(270));
    default:
        return image;
    }
}

} // namespace pictures
