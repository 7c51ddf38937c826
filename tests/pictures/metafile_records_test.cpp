#include "pictures/metafile_records.h"
#include "pictures/picture.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <vector>

namespace {

const QRgb kRed = qRgb(255, 0, 0);

void Put16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void Put32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

QByteArray Words32(std::initializer_list<quint32> words)
{
    QByteArray out;
    for (const quint32 word : words)
        Put32(out, word);
    return out;
}

QByteArray Words16(std::initializer_list<quint16> words)
{
    QByteArray out;
    for (const quint16 word : words)
        Put16(out, word);
    return out;
}

// A packed bitmap of 2 x 2 pixels at `depth` bits declaring `colors` palette entries (none
// for the full table of its depth), with `paletteBytes` of colors and whole rows.
QByteArray Dib(quint16 depth, quint32 colors, int paletteBytes)
{
    QByteArray dib = Words32({40, 2, 2});
    Put16(dib, 1);
    Put16(dib, depth);
    dib += Words32({0, 0, 0, 0, colors, 0});
    dib += QByteArray(paletteBytes, '\0');
    const int stride = (2 * depth + 31) / 32 * 4;
    return dib + QByteArray(2 * qsizetype(stride), '\x7F');
}

// ---------------------------------------------------------------- enhanced metafiles

constexpr quint32 kStock = 0x80000000;
constexpr int kHandles = 3;

QByteArray EmfRecord(quint32 type, const QByteArray& fields)
{
    QByteArray record;
    Put32(record, type);
    Put32(record, quint32(8 + fields.size()));
    return record + fields;
}

const QByteArray kBounds = Words32({0, 0, 10, 10});

// 100 x 100 pixels, with `kHandles` slots for objects: a red square over all of it drawn
// with the brush in slot 1, then `record` and the end.
QByteArray Emf(const QByteArray& record)
{
    QByteArray header = Words32({1, 88, 0, 0, 99, 99, 0, 0, 2646, 2646, 0x464D4520, 0x10000, 0, 0});
    Put16(header, kHandles);
    Put16(header, 0);
    header += Words32({0, 0, 0, 1000, 1000, 264, 264});
    QByteArray body = EmfRecord(39, Words32({1, 0, 0x0000FF, 0})); // red brush in slot 1
    body += EmfRecord(37, Words32({1}));
    body += EmfRecord(43, Words32({0, 0, 100, 100}));
    body += record;
    body += EmfRecord(14, Words32({0, 16, 20}));
    return header + body;
}

// The records after the red square, the end of file left out.
std::vector<QByteArray> EmfRecordsAfterSquare(const QByteArray& emf)
{
    std::vector<QByteArray> records;
    for (qsizetype pos = 88; pos + 8 <= emf.size();) {
        const qsizetype size = qFromLittleEndian<quint32>(emf.constData() + pos + 4);
        if (qFromLittleEndian<quint32>(emf.constData() + pos) != 14)
            records.push_back(emf.mid(pos, size));
        pos += size;
    }
    return {records.begin() + 3, records.end()};
}

// A record of text at `at` in a record of `size` bytes: characters and spacing at the
// offsets given.
QByteArray EmrText(quint32 chars, quint32 stringAt, quint32 options, quint32 spacingAt)
{
    return Words32({5, 5, chars, stringAt, options, 0, 0, 10, 10, spacingAt});
}

QByteArray ExtTextOutW(quint32 chars, quint32 stringAt, quint32 spacingAt, int payload)
{
    return EmfRecord(84, kBounds + Words32({1, 0, 0}) + EmrText(chars, stringAt, 0, spacingAt) +
                             QByteArray(payload, 'a'));
}

QByteArray RegionData(quint32 rectangles, int rectanglesHeld)
{
    QByteArray region = Words32({32, 1, rectangles, 16 * rectangles, 0, 0, 5, 5});
    for (int i = 0; i < rectanglesHeld; ++i)
        region += Words32({0, 0, 5, 5});
    return region;
}

QByteArray FillRgn(quint32 brush, const QByteArray& region)
{
    return EmfRecord(71, kBounds + Words32({quint32(region.size()), brush}) + region);
}

// StretchDIBits of a bitmap whose header and pixels lie at the offsets given.
QByteArray StretchDiBits(const QByteArray& dib, quint32 headerBytes, quint32 extraBitsBytes = 0)
{
    const quint32 bitsAt = 80 + headerBytes;
    const quint32 bitsBytes = quint32(dib.size()) - headerBytes + extraBitsBytes;
    return EmfRecord(
        81, kBounds +
                Words32({0, 0, 0, 0, 2, 2, 80, headerBytes, bitsAt, bitsBytes, 0, 0xCC0020, 4, 4}) +
                dib);
}

QByteArray SetDiBitsToDevice(const QByteArray& dib, quint32 scanLines)
{
    return EmfRecord(80,
                     kBounds + Words32({0, 0, 0, 0, 2, 2, 76, 40, 116, 16, 0, 0, scanLines}) + dib);
}

QByteArray GradientFill(quint32 mode, std::initializer_list<quint32> corners)
{
    QByteArray fields = kBounds + Words32({2, quint32(corners.size()) / (mode == 2 ? 3 : 2), mode});
    fields += Words32({0, 0, 0xFF000000, 0, 8, 8, 0xFF00, 0xFF00});
    for (const quint32 corner : corners)
        Put32(fields, corner);
    return EmfRecord(118, fields);
}

struct EmfCase
{
    const char* name;
    QByteArray record;
    bool kept;
    QByteArray mended = {}; // what is kept instead of the record, when it is mended
};

void PrintTo(const EmfCase& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<EmfCase> EmfCases()
{
    const QByteArray twoPoints16 = Words32({2, 0x00010001, 0x00050005});
    const QByteArray dib24 = Dib(24, 0, 0);
    const auto blit = [](quint32 headerAt, quint32 headerSize, quint32 bitsAt, quint32 bitsSize) {
        return EmfRecord(76, kBounds + Words32({0, 0, 5, 5, 0x00550009, 0, 0, 1, 0, 0, 1, 0, 0, 0,
                                                0, headerAt, headerSize, bitsAt, bitsSize}));
    };
    const auto pen = [](quint32 brushStyle, quint32 hatch) {
        return EmfRecord(95, Words32({2, 0, 0, 0, 0, 0, 1, brushStyle, 0x0000FF, hatch, 0}));
    };
    return {
        // fixed sizes
        {"rectangle", EmfRecord(43, Words32({1, 1, 5, 5})), true},
        {"rectangle without its corner", EmfRecord(43, Words32({1, 1, 5})), false},
        {"font without a whole LOGFONTW", EmfRecord(82, Words32({2}) + QByteArray(88, '\0')),
         false},
        {"unknown type", EmfRecord(200, Words32({0})), false},
        // counts against the size
        {"polyline16", EmfRecord(87, kBounds + twoPoints16), true},
        {"polyline16 claiming 2.5e9 points in 48 bytes",
         EmfRecord(87, kBounds + Words32({2500000000u, 0, 0, 0})), false},
        {"polyline one point short", EmfRecord(4, kBounds + Words32({2, 1, 1, 5})), false},
        {"polypolygon16", EmfRecord(91, kBounds + Words32({1, 2, 2}) + twoPoints16.sliced(4)),
         true},
        {"polypolygon16 whose polygons use more points than it holds",
         EmfRecord(91, kBounds + Words32({2, 2, 2, 2}) + twoPoints16.sliced(4)), false},
        {"polydraw with a type for each point",
         EmfRecord(56, kBounds + Words32({1, 1, 1}) + QByteArray(4, '\x06')), true},
        {"polydraw without the types", EmfRecord(56, kBounds + Words32({1, 1, 1})), false},
        {"palette", EmfRecord(49, Words32({2, 0x00020300, 0, 0})), true},
        {"palette one entry short", EmfRecord(49, Words32({2, 0x00030300, 0, 0})), false},
        {"palette entries past the record", EmfRecord(50, Words32({2, 0, 9, 0})), false},
        {"comment", EmfRecord(70, Words32({4, 0})), true},
        {"comment longer than its record", EmfRecord(70, Words32({40, 0})), false},
        {"gradient", GradientFill(0, {0, 1}), true},
        {"gradient naming a third vertex of two", GradientFill(2, {0, 1, 2}), false},
        {"gradient of an unknown mode", GradientFill(7, {0, 1}), false},
        // offsets
        {"text", ExtTextOutW(2, 76, 80, 12), true},
        {"text without spacing", ExtTextOutW(2, 76, 0, 4), true},
        {"text whose string runs past the record", ExtTextOutW(8, 76, 0, 4), false},
        {"text whose spacing lies past the record", ExtTextOutW(2, 76, 400, 12), false},
        {"text whose string offset wraps", ExtTextOutW(2, 0xFFFFFFF0u, 0, 4), false},
        {"poly text whose second string lies outside",
         EmfRecord(97, kBounds + Words32({1, 0, 0, 2}) + EmrText(1, 120, 0, 124) +
                           EmrText(1, 900, 0, 124) + QByteArray(8, 'a')),
         false},
        {"small text", EmfRecord(108, Words32({5, 5, 2, 0x100, 1, 0, 0}) + QByteArray(4, 'a')),
         true},
        {"small text past the record",
         EmfRecord(108, Words32({5, 5, 9, 0x100, 1, 0, 0}) + QByteArray(4, 'a')), false},
        // region data
        {"region fill", FillRgn(1, RegionData(1, 1)), true},
        {"region claiming rectangles it lacks", FillRgn(1, RegionData(4, 1)), false},
        {"clipping reset", EmfRecord(75, Words32({0, 5})), true},
        {"clipping without a region to combine", EmfRecord(75, Words32({0, 1})), false},
        // handles
        {"select in the table", EmfRecord(37, Words32({2})), true},
        {"select a stock object", EmfRecord(37, Words32({kStock | 5})), true},
        {"select past the table", EmfRecord(37, Words32({kHandles})), false},
        {"select the metafile's own slot", EmfRecord(37, Words32({0})), false},
        {"delete a stock object", EmfRecord(40, Words32({kStock | 5})), false},
        {"pen past the table", EmfRecord(38, Words32({kHandles, 0, 1, 0, 0})), false},
        {"region fill with a brush past the table", FillRgn(7, RegionData(1, 1)), false},
        {"brush from an address of the writer", EmfRecord(39, Words32({2, 6, 0, 0x12345678})),
         false},
        // bitmaps
        {"bitmap", StretchDiBits(dib24, 40), true},
        {"bitmap rows past the record", StretchDiBits(dib24, 40, 64), false},
        {"bitmap of as many scan lines as rows", SetDiBitsToDevice(dib24, 2), true},
        {"bitmap of scan lines past its rows", SetDiBitsToDevice(dib24, 3), false},
        {"bitmap with a header past the record", StretchDiBits(dib24, 80), false},
        {"8-bit bitmap short of its 256 colors", StretchDiBits(Dib(8, 0, 8), 48), false},
        {"8-bit bitmap with the 2 colors it declares", StretchDiBits(Dib(8, 2, 8), 48), true},
        {"pen whose style entries run past it",
         EmfRecord(95, Words32({2, 0, 0, 0, 0, 0x10007, 1, 0, 0, 0, 20})), false},
        // mended: a PatBlt in effect names no bitmap at the offsets it states; a pen's brush
        // GDI would take from the address in its hatch field becomes solid
        {"blit without a bitmap", blit(100, 0, 100, 64), true, blit(0, 0, 0, 0)},
        {"pen of a brush at an address of the writer", pen(6, 0x12345678), true, pen(0, 0)},
        {"pen with a pattern past the record",
         EmfRecord(95, Words32({2, 52, 40, 92, 16, 0, 1, 3, 0, 0, 0})), false},
    };
}

class EmfRecordTest : public testing::TestWithParam<EmfCase>
{};

TEST_P(EmfRecordTest, IsKeptOnlyWhenWhatGdiReadsLiesInside)
{
    const EmfCase& c = GetParam();
    QString error;
    const auto document = pictures::PrepareEmf(Emf(c.record), error);
    ASSERT_TRUE(document) << error.toStdString();
    const QByteArray kept = c.mended.isEmpty() ? c.record : c.mended;
    EXPECT_EQ(EmfRecordsAfterSquare(document->bytes),
              c.kept ? std::vector<QByteArray>{kept} : std::vector<QByteArray>{});
}

// On Windows through GDI, elsewhere through libemf2svg: kept or left out, the record
// leaves the rest of the picture whole.
TEST_P(EmfRecordTest, LeavesThePictureWhole)
{
    const pictures::PictureLoad load = pictures::LoadPictureFromData(Emf(GetParam().record));
    ASSERT_TRUE(load) << load.error.toStdString();
    EXPECT_EQ(load.picture->size, QSize(100, 100));
    EXPECT_EQ(load.picture->image.pixel(60, 60), kRed);
}

INSTANTIATE_TEST_SUITE_P(Records, EmfRecordTest, testing::ValuesIn(EmfCases()));

// ---------------------------------------------------------------- Windows metafiles

constexpr int kObjects = 2;

QByteArray WmfRecord(quint16 function, const QByteArray& params)
{
    QByteArray record;
    Put32(record, quint32(3 + params.size() / 2));
    Put16(record, function);
    return record + params;
}

// 100 x 100 units at 96 units an inch, with `kObjects` slots for objects: a red square over
// all of it drawn with the brush in slot 0, then `record` and the end.
QByteArray Wmf(const QByteArray& record)
{
    QByteArray out;
    Put32(out, 0x9AC6CDD7);
    out += Words16({0, 0, 0, 100, 100, 96, 0, 0, 0});
    out += Words16({1, 9, 0x0300, 0, 0, kObjects, 0, 0, 0});
    out += WmfRecord(0x02FC, Words16({0, 0x00FF, 0, 0})); // red brush in slot 0
    out += WmfRecord(0x012D, Words16({0}));
    out += WmfRecord(0x041B, Words16({100, 100, 0, 0}));
    out += record;
    return out + WmfRecord(0, {});
}

std::vector<QByteArray> WmfRecordsAfterSquare(const QByteArray& wmf)
{
    std::vector<QByteArray> records;
    for (qsizetype pos = 22 + 18; pos + 6 <= wmf.size();) {
        const qsizetype size = 2 * qsizetype(qFromLittleEndian<quint32>(wmf.constData() + pos));
        if (qFromLittleEndian<quint16>(wmf.constData() + pos + 4) != 0)
            records.push_back(wmf.mid(pos, size));
        pos += size;
    }
    return {records.begin() + 3, records.end()};
}

std::vector<quint16> WmfFunctionsAfterSquare(const QByteArray& wmf)
{
    std::vector<quint16> functions;
    for (const QByteArray& record : WmfRecordsAfterSquare(wmf))
        functions.push_back(qFromLittleEndian<quint16>(record.constData() + 4));
    return functions;
}

// An old device-dependent bitmap of 2 x 2 pixels at one bit, its rows of `widthBytes`.
QByteArray Bitmap16(quint16 widthBytes)
{
    QByteArray bitmap = Words16({0, 2, 2, widthBytes});
    bitmap += char(1);
    bitmap += char(1);
    return bitmap + QByteArray(2 * qsizetype(widthBytes), '\x40');
}

QByteArray CreateRegion(quint16 edges, quint16 closing)
{
    return WmfRecord(0x06FF,
                     Words16({0, 6, 0, 0, 34, 1, 2, 0, 0, 5, 5, edges, 0, 5, 0, 5, closing}));
}

struct WmfCase
{
    const char* name;
    QByteArray record;
    std::vector<quint16> kept; // the functions it leaves
    bool asGiven = true;       // a record kept is the one given, not mended or stood in for
};

void PrintTo(const WmfCase& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<WmfCase> WmfCases()
{
    const QByteArray blitParams = Words16({0x0020, 0x00CC, 0, 0, 2, 2, 4, 4});
    return {
        {"rectangle", WmfRecord(0x041B, Words16({5, 5, 1, 1})), {0x041B}},
        {"rectangle without its corner", WmfRecord(0x041B, Words16({5, 5, 1})), {}},
        {"record GDI does not play", WmfRecord(0x062F, Words16({0, 0, 0, 0})), {}},
        // objects against the header's count
        {"select in the table", WmfRecord(0x012D, Words16({1})), {0x012D}},
        {"select past the table", WmfRecord(0x012D, Words16({kObjects})), {}},
        {"delete past the table", WmfRecord(0x01F0, Words16({900})), {}},
        {"region fill with a brush past the table", WmfRecord(0x0228, Words16({1, 9})), {}},
        {"palette selection past the table", WmfRecord(0x0234, Words16({kObjects})), {}},
        // counts
        {"polygon", WmfRecord(0x0324, Words16({2, 1, 1, 5, 5})), {0x0324}},
        {"polygon with points it lacks", WmfRecord(0x0324, Words16({9, 1, 1, 5, 5})), {}},
        {"polypolygon", WmfRecord(0x0538, Words16({1, 2, 1, 1, 5, 5})), {0x0538}},
        {"polypolygon using points it lacks",
         WmfRecord(0x0538, Words16({2, 2, 2, 1, 1, 5, 5})),
         {}},
        {"polypolygon of a negative count", WmfRecord(0x0538, Words16({1, 0xFFFE, 1, 1})), {}},
        {"text", WmfRecord(0x0521, Words16({3, 0x6261, 0x0063, 5, 5})), {0x0521}},
        {"text past the record", WmfRecord(0x0521, Words16({30, 0x6261, 5, 5})), {}},
        {"clipped text past the record",
         WmfRecord(0x0A32, Words16({5, 5, 8, 4, 0, 0, 9, 9, 0x6261})),
         {}},
        {"escape past the record", WmfRecord(0x0626, Words16({15, 64, 0})), {}},
        {"palette", WmfRecord(0x00F7, Words16({0x0300, 1, 0, 0})), {0x00F7}},
        {"palette past the record", WmfRecord(0x00F7, Words16({0x0300, 9, 0, 0})), {0x00F7}, false},
        {"region", CreateRegion(2, 2), {0x06FF}},
        {"region band past the record", CreateRegion(40, 2), {0x06FF}, false},
        {"region band of mismatched counts", CreateRegion(2, 4), {0x06FF}, false},
        {"brush from an address of the writer",
         WmfRecord(0x02FC, Words16({6, 0, 0, 0x1234})),
         {0x02FC},
         false},
        // bitmaps
        {"bitmap",
         WmfRecord(0x0F43, Words16({0x0020, 0x00CC, 0, 2, 2, 0, 0, 4, 4, 0, 0}) + Dib(24, 0, 0)),
         {0x0F43}},
        {"8-bit bitmap short of its 256 colors",
         WmfRecord(0x0F43, Words16({0x0020, 0x00CC, 0, 2, 2, 0, 0, 4, 4, 0, 0}) + Dib(8, 0, 8)),
         {}},
        {"bitmap scan lines past its rows",
         WmfRecord(0x0D33, Words16({0, 9, 0, 0, 0, 2, 2, 0, 0}) + Dib(24, 0, 0)),
         {}},
        {"blit without a bitmap",
         WmfRecord(0x0922, Words16({0x0009, 0x0055, 0, 0, 0, 4, 4, 0, 0})),
         {0x061D},
         false},
        {"stretch without a bitmap",
         WmfRecord(0x0B41, Words16({0x0009, 0x0055, 2, 2, 0, 0, 0, 4, 4, 0, 0})),
         {0x061D},
         false},
        {"blit of an old bitmap", WmfRecord(0x0922, blitParams + Bitmap16(2)), {0x0940}, false},
        {"blit of an old bitmap with short rows", WmfRecord(0x0922, blitParams + Bitmap16(0)), {}},
        {"pattern brush of an old bitmap",
         WmfRecord(0x01F9, Bitmap16(2).first(10) + QByteArray(18, '\0') + QByteArray(4, '\x40')),
         {0x0142},
         false},
        {"short font", WmfRecord(0x02FB, Words16({12, 0, 0, 0, 400, 0, 0, 0, 0})), {0x02FB}, false},
        {"palette selection", WmfRecord(0x0234, Words16({1})), {0x0234}, false},
        {"4-bit bitmap leaving its colors to its depth",
         WmfRecord(0x0F43, Words16({0x0020, 0x00CC, 0, 2, 2, 0, 0, 4, 4, 0, 0}) + Dib(4, 0, 64)),
         {0x0F43},
         false},
    };
}

class WmfRecordTest : public testing::TestWithParam<WmfCase>
{};

TEST_P(WmfRecordTest, IsKeptOnlyWhenWhatGdiReadsLiesInside)
{
    const WmfCase& c = GetParam();
    QString error;
    const auto document = pictures::PrepareWmf(Wmf(c.record), error);
    ASSERT_TRUE(document) << error.toStdString();
    EXPECT_EQ(WmfFunctionsAfterSquare(document->bytes), c.kept);
    const std::vector<QByteArray> records = WmfRecordsAfterSquare(document->bytes);
    if (records.size() == 1) {
        EXPECT_EQ(records.front() == c.record, c.asGiven);
    }
}

TEST_P(WmfRecordTest, LeavesThePictureWhole)
{
    const pictures::PictureLoad load = pictures::LoadPictureFromData(Wmf(GetParam().record));
    ASSERT_TRUE(load) << load.error.toStdString();
    EXPECT_EQ(load.picture->size, QSize(100, 100));
    EXPECT_EQ(load.picture->image.pixel(60, 60), kRed);
}

INSTANTIATE_TEST_SUITE_P(Records, WmfRecordTest, testing::ValuesIn(WmfCases()));

// A short font record is lengthened to the whole face name GDI copies, ending in a zero.
TEST(WmfRecordTest, FontsCarryAWholeFaceName)
{
    QString error;
    const auto document = pictures::PrepareWmf(
        Wmf(WmfRecord(0x02FB, Words16({12, 0, 0, 0, 400, 0, 0, 0, 0, 0x7261, 0x6C69}))), error);
    ASSERT_TRUE(document);
    const std::vector<QByteArray> records = WmfRecordsAfterSquare(document->bytes);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records.front().size(), 2 * (3 + 9 + 16));
    EXPECT_EQ(records.front().mid(24, 5), QByteArray("aril\0", 5));
}

} // namespace
