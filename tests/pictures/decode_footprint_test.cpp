#include "pictures/decode_footprint.h"
#include "pictures/picture.h"
#include "support/fixture_images.h"
#include "support/jpeg_fixtures.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <limits>
#include <string>

using pictures::DecodeFootprint;

namespace {

constexpr qint64 kMost = std::numeric_limits<qint64>::max();

void PutLe(QByteArray& bytes, qsizetype at, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xFF);
}

// A BITMAPINFOHEADER of `width` x `height` at `bits` per pixel, run-length coded at 8 bits.
QByteArray InfoHeader(quint32 width, quint32 height, int bits)
{
    QByteArray header(40, '\0');
    PutLe(header, 0, 40, 4);
    PutLe(header, 4, width, 4);
    PutLe(header, 8, height, 4);
    PutLe(header, 12, 1, 2);
    PutLe(header, 14, quint32(bits), 2);
    PutLe(header, 16, bits == 8 ? 1 : 0, 4); // BI_RLE8 or BI_RGB
    return header;
}

QByteArray Bmp(quint32 width, quint32 height)
{
    QByteArray file("BM", 2);
    file += QByteArray(12, '\0') + InfoHeader(width, height, 24) + QByteArray(64, '\0');
    PutLe(file, 10, 54, 4);
    return file;
}

// A packed DIB as the clipboard stores it: its 256 colors, then the end of the bitmap.
QByteArray PackedRleDib(quint32 side)
{
    return InfoHeader(side, side, 8) + QByteArray(qsizetype(256) * 4, '\0') + QByteArray("\0\1", 2);
}

QByteArray Gif(quint16 width, quint16 height)
{
    QByteArray file("GIF89a", 6);
    file += QByteArray(7 + 32, '\0');
    PutLe(file, 6, width, 2);
    PutLe(file, 8, height, 2);
    return file;
}

QByteArray PngHead(quint32 width, quint32 height)
{
    QByteArray file("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
    file += QByteArray(13 + 4, '\0');
    qToBigEndian(width, file.data() + 16);
    qToBigEndian(height, file.data() + 20);
    file[24] = 8;
    file[25] = 6;
    return file;
}

// An enhanced metafile's header whose frame is `millimetres` wide and high, and no records.
QByteArray EmfHeader(int millimetres)
{
    QByteArray file(88, '\0');
    PutLe(file, 0, 1, 4);
    PutLe(file, 4, 88, 4);
    PutLe(file, 32, quint32(millimetres * 100), 4);
    PutLe(file, 36, quint32(millimetres * 100), 4);
    PutLe(file, 40, 0x464D4520, 4);
    return file;
}

qint64 Footprint(QByteArray bytes, QSize target = {})
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    pictures::PictureRequest request;
    request.target = target;
    const qint64 footprint = DecodeFootprint(buffer, request);
    EXPECT_EQ(buffer.pos(), 0) << "the device is left where it was";
    return footprint;
}

QByteArray IconBytes(const std::vector<IconEntry>& entries)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("icon.ico"));
    EXPECT_TRUE(WriteIcon(path, entries));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

// What a decode counts is what it holds at its fullest: the pixels a file's head states,
// not the file's bytes, whatever the format; and never a number that overflowed.
TEST(DecodeFootprint, CountsThePixelsAHeadStates)
{
    constexpr qint64 kPhoto = qint64(4000) * 3000 * 4;
    const QSize thumbnail(64, 64);
    struct Case
    {
        const char* what;
        QByteArray bytes;
        QSize target;
        qint64 least;
        qint64 most;
    };
    const Case cases[] = {
        {"a bitmap, decoded whole", Bmp(4000, 3000), thumbnail, kPhoto, kPhoto + (1 << 20)},
        {"a packed DIB that states 11585 x 11585", PackedRleDib(11585), thumbnail,
         qint64(11585) * 11585 * 4, qint64(11585) * 11585 * 4 + (1 << 20)},
        {"a GIF, its canvas beside its frame", Gif(4000, 3000), thumbnail, 2 * kPhoto,
         2 * kPhoto + (1 << 20)},
        {"a PNG, decoded whole", PngHead(4000, 3000), thumbnail, kPhoto, kPhoto + (1 << 20)},
        {"a PNG that states 2^31 - 1 x 2^31 - 1", PngHead(0x7FFFFFFF, 0x7FFFFFFF), thumbnail, kMost,
         kMost},
        {"a bitmap that states 2^31 - 1 x 2^31 - 1", Bmp(0x7FFFFFFF, 0x7FFFFFFF), thumbnail, 0,
         (1 << 20)},
        {"an icon's chosen entry",
         IconBytes({{QSize(16, 16), Qt::red}, {QSize(256, 256), Qt::blue}}),
         {},
         qint64(16) * 16 * 4,
         qint64(16) * 16 * 4 * 3 + (1 << 20)},
        {"a metafile, drawn at its thumbnail's size", EmfHeader(1000), thumbnail,
         qint64(64) * 64 * 4, 64 * 64 * 4 * 4 + (1 << 20)},
        {"a metafile without a target, drawn whole",
         EmfHeader(100),
         {},
         qint64(378) * 378 * 4,
         qint64(378) * 378 * 4 * 4 + (1 << 20)},
        {"no picture: its bytes alone", QByteArray(1000, 'x'), thumbnail, 1000, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const qint64 footprint = Footprint(c.bytes, c.target);
        EXPECT_GE(footprint, c.least);
        EXPECT_LE(footprint, c.most);
    }
}

// A progressive JPEG is decoded scan by scan into coefficients for the whole picture, two
// bytes each, beside the output at libjpeg's reduced scale; a baseline one a row at a time.
TEST(DecodeFootprint, AProgressiveJpegCountsItsCoefficients)
{
    JpegFixture fixture;
    fixture.width = 800;
    fixture.height = 600;
    const QByteArray baseline = WriteJpeg(fixture);
    fixture.progressive = true;
    const QByteArray progressive = WriteJpeg(fixture);
    const QSize thumbnail(64, 64);
    // 4:2:0: four luma blocks and two chroma blocks to every 16 x 16 pixels, rounded up.
    const qint64 coefficients = qint64(800 / 16) * ((600 + 15) / 16) * 6 * 64 * 2;
    EXPECT_EQ(Footprint(progressive, thumbnail) - progressive.size(),
              Footprint(baseline, thumbnail) - baseline.size() + coefficients);
    // At 1/8 scale the output is 100 x 75; decoded whole, it is every pixel.
    EXPECT_EQ(Footprint(baseline, thumbnail),
              baseline.size() + qint64(100) * 75 * 4 + qint64(2) * 64 * 48 * 4);
    EXPECT_GE(Footprint(baseline, {}), 800 * 600 * 4);
}

// The loader refuses a packed DIB that states more pixels than its bytes can hold, as it
// does a BMP file, before anything is allocated for it.
TEST(DecodeFootprint, APackedDibLargerThanItsFileCanHoldIsRefused)
{
    const pictures::PictureLoad load = pictures::LoadPictureFromData(PackedRleDib(11585));
    EXPECT_FALSE(load);
    EXPECT_EQ(load.error, QStringLiteral("picture is larger than its file can hold"));
}

} // namespace
