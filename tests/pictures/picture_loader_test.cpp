#include "pictures/picture.h"
#include "pictures/picture_format.h"
#include "pictures/png_chunks.h"
#include "support/jpeg_fixtures.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QThread>
#include <QtConcurrent>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>

using namespace pictures;

namespace {

using namespace std::chrono_literals;

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kYellow = qRgb(255, 255, 0);

QString Fixture(const char* name)
{
    return QStringLiteral(TESSELLON_TEST_DATA "/pictures/") + QLatin1String(name);
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QRgb Pixel(const QImage& image, int x, int y)
{
    return image.pixel(x, y) | (qAlpha(image.pixel(x, y)) == 0 ? 0 : 0xFF000000u);
}

bool Near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance && qAlpha(a) == qAlpha(b);
}

void PutU16(QByteArray& out, int value)
{
    char bytes[2];
    qToLittleEndian<quint16>(quint16(value), bytes);
    out.append(bytes, 2);
}

void PutU32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian<quint32>(value, bytes);
    out.append(bytes, 4);
}

// An icon file whose entries are 32-bit bitmaps of one color each, in this order.
QByteArray IconFile(const std::vector<std::pair<int, QRgb>>& squares)
{
    QByteArray directory;
    PutU16(directory, 0);
    PutU16(directory, 1);
    PutU16(directory, int(squares.size()));
    QByteArray images;
    const int dataStart = 6 + 16 * int(squares.size());
    for (const auto& [side, color] : squares) {
        QByteArray image;
        PutU32(image, 40);
        PutU32(image, quint32(side));
        PutU32(image, quint32(2 * side)); // colors and mask
        PutU16(image, 1);
        PutU16(image, 32);
        image.append(QByteArray(24, '\0'));
        for (int i = 0; i < side * side; ++i)
            PutU32(image, color | 0xFF000000u);
        image.append(QByteArray(qsizetype((side + 31) / 32) * 4 * side, '\0')); // unmasked
        directory.append(char(side));
        directory.append(char(side));
        directory.append(QByteArray(2, '\0'));
        PutU16(directory, 1);
        PutU16(directory, 32);
        PutU32(directory, quint32(image.size()));
        PutU32(directory, quint32(dataStart + images.size()));
        images += image;
    }
    return directory + images;
}

// A placeable metafile of 200 x 100 units at 96 units per inch, made of the given records
// (each its function and its parameter words); the loader sets the header's sizes.
QByteArray PlaceableWmf(const std::vector<std::pair<int, std::vector<int>>>& records)
{
    QByteArray out;
    PutU32(out, 0x9AC6CDD7);
    for (const int word : {0, 0, 0, 200, 100, 96, 0, 0, 0})
        PutU16(out, word);
    for (const int word : {1, 9, 0x0300, 0, 0, 1, 0, 0, 0}) // one object
        PutU16(out, word);
    for (const auto& [function, words] : records) {
        PutU32(out, quint32(3 + words.size()));
        PutU16(out, function);
        for (const int word : words)
            PutU16(out, word);
    }
    PutU32(out, 3);
    PutU16(out, 0);
    return out;
}

// Bytes of text as the parameter words of a record: two characters a word, padded.
std::vector<int> TextWords(const QByteArray& text)
{
    std::vector<int> words;
    for (qsizetype i = 0; i < text.size(); i += 2)
        words.push_back(uchar(text[i]) | (i + 1 < text.size() ? uchar(text[i + 1]) << 8 : 0));
    return words;
}

int InkPixels(const QImage& image)
{
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            ink += qAlpha(p) > 128 && qGray(p) < 100 ? 1 : 0;
        }
    }
    return ink;
}

// ---------------------------------------------------------------- JPEG fixtures

QRgb LeftRedRightBlue(int x, int /*y*/, int width)
{
    return x < width / 2 ? kRed : kBlue;
}

// ---------------------------------------------------------------- sizes

TEST(FitPictureSizeTest, FitsKeepingAspectRatioRoundingUpAndNeverEnlarging)
{
    struct Case
    {
        QSize size, target, expected;
    };
    const Case cases[] = {
        {{100, 100}, {62, 62}, {62, 62}},   {{4000, 3000}, {62, 62}, {62, 47}}, // 46.5 rounds up
        {{3000, 4000}, {62, 62}, {47, 62}}, {{124, 5}, {62, 62}, {62, 3}},      // 2.5 rounds up
        {{10000, 1}, {62, 62}, {62, 1}}, // never below one pixel
        {{40, 30}, {62, 62}, {40, 30}},  // never enlarged
        {{62, 63}, {62, 62}, {62, 62}},     {{300, 200}, {100, 50}, {75, 50}}, // the height decides
        {{300, 200}, {}, {300, 200}},                                          // no target
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitSizeInto(c.size, c.target), c.expected)
            << c.size.width() << "x" << c.size.height();
}

// ---------------------------------------------------------------- bitmaps and GIF

struct QuadrantCase
{
    const char* file;
    QSize size;
};

void PrintTo(const QuadrantCase& c, std::ostream* os)
{
    *os << c.file;
}

// A test name part made of the letters and digits of `text`.
std::string Identifier(const std::string& text)
{
    std::string name = text;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(uchar(c)); }, '_');
    return name;
}

// The fixtures split in four: red, green over blue, white.
class QuadrantFixtureTest : public testing::TestWithParam<QuadrantCase>
{};

TEST_P(QuadrantFixtureTest, LoadsWithColorsInPlace)
{
    const QuadrantCase& c = GetParam();
    const PictureLoad load = LoadPicture(Fixture(c.file));
    ASSERT_TRUE(load) << load.error.toStdString();
    const QImage& image = load.picture->image;
    EXPECT_EQ(load.picture->size, c.size);
    ASSERT_EQ(image.size(), c.size);
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    const int right = c.size.width() - 1;
    const int bottom = c.size.height() - 1;
    EXPECT_EQ(Pixel(image, 0, 0), kRed);
    EXPECT_EQ(Pixel(image, right, 0), kGreen);
    EXPECT_EQ(Pixel(image, 0, bottom), kBlue);
    EXPECT_EQ(Pixel(image, right, bottom), kWhite);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, QuadrantFixtureTest,
    testing::Values(QuadrantCase{"core_4bit.bmp", {8, 6}},
                    QuadrantCase{"info_8bit_top_down.bmp", {8, 6}},
                    QuadrantCase{"rle4.bmp", {8, 6}}, QuadrantCase{"rle8.bmp", {8, 6}},
                    QuadrantCase{"rgb24.bmp", {8, 6}}, QuadrantCase{"bitfields565.bmp", {8, 6}},
                    QuadrantCase{"v5_argb32_top_down.bmp", {8, 6}},
                    QuadrantCase{"os2v2_8bit.bmp", {8, 6}}, QuadrantCase{"pal2.bmp", {8, 6}},
                    QuadrantCase{"rle8_data.RLE", {8, 6}}, QuadrantCase{"rgb24_data.dib", {8, 6}},
                    QuadrantCase{"packed.dib", {8, 6}}, QuadrantCase{"two_frames.gif", {10, 8}}));

TEST(PictureLoaderTest, OneBitBitmapKeepsItsTwoColors)
{
    const PictureLoad load = LoadPicture(Fixture("info_1bit.bmp"));
    ASSERT_TRUE(load);
    ASSERT_EQ(load.picture->size, QSize(9, 5));
    EXPECT_EQ(Pixel(load.picture->image, 0, 0), kWhite);
    EXPECT_EQ(Pixel(load.picture->image, 1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(Pixel(load.picture->image, 8, 4), kWhite);
}

// ---------------------------------------------------------------- icons and cursors

struct IconCase
{
    const char* file;
    IconSizeChoice selector;
    int largeIconSize;
    QSize size;
    QRgb color;
};

void PrintTo(const IconCase& c, std::ostream* os)
{
    *os << c.file << (c.selector == IconSizeChoice::LargeIcon ? " large " : " default ")
        << c.largeIconSize;
}

std::string IconCaseName(const testing::TestParamInfo<IconCase>& info)
{
    const IconCase& c = info.param;
    return Identifier(c.file) + (c.selector == IconSizeChoice::LargeIcon
                                     ? "_large" + std::to_string(c.largeIconSize)
                                     : std::string("_default"));
}

class IconChoiceTest : public testing::TestWithParam<IconCase>
{};

TEST_P(IconChoiceTest, PicksTheEntryTheSelectorAsksFor)
{
    const IconCase& c = GetParam();
    PictureRequest request;
    request.iconSize = c.selector;
    request.largeIconSize = c.largeIconSize;
    const PictureLoad load = LoadPicture(Fixture(c.file), request);
    ASSERT_TRUE(load) << load.error.toStdString();
    EXPECT_EQ(load.picture->size, c.size);
    const QImage& image = load.picture->image;
    ASSERT_EQ(image.size(), c.size);
    EXPECT_EQ(Pixel(image, c.size.width() / 2, c.size.height() / 2), c.color);
}

// sizes.ico holds, in this order: 16 px 32-bit red, 48 px 4-bit green, 32 px 4-bit blue,
// 32 px 24-bit yellow, 64 px PNG white.
INSTANTIATE_TEST_SUITE_P(
    Entries, IconChoiceTest,
    testing::Values(
        IconCase{"sizes.ico", IconSizeChoice::Default, 32, {16, 16}, kRed},      // first entry
        IconCase{"sizes.ico", IconSizeChoice::LargeIcon, 32, {32, 32}, kYellow}, // more colors
        IconCase{"sizes.ico", IconSizeChoice::LargeIcon, 48, {48, 48}, kGreen},
        IconCase{"sizes.ico", IconSizeChoice::LargeIcon, 64, {64, 64}, kWhite},  // PNG entry
        IconCase{"sizes.ico", IconSizeChoice::LargeIcon, 40, {32, 32}, kYellow}, // tie: colors
        IconCase{"sizes.ico", IconSizeChoice::LargeIcon, 24, {16, 16}, kRed},    // tie: colors
        IconCase{"sizes.ico", IconSizeChoice::LargeIcon, 56, {64, 64}, kWhite},
        IconCase{"pointer.cur", IconSizeChoice::Default, 32, {32, 32}, kBlue},
        IconCase{"pointer.cur", IconSizeChoice::LargeIcon, 16, {16, 16}, kRed},
        IconCase{"png_entry.ico", IconSizeChoice::LargeIcon, 32, {48, 48}, kGreen},
        IconCase{"one_bit.ico", IconSizeChoice::LargeIcon, 32, {16, 16}, kWhite}),
    IconCaseName);

TEST(IconChoiceTest, EqualDistanceAndDepthPrefersTheLargerEntry)
{
    const QByteArray icon = IconFile({{24, kRed}, {40, kBlue}});
    const PictureLoad large = LoadPictureFromData(icon, {IconSizeChoice::LargeIcon, 32, {}, {}});
    ASSERT_TRUE(large) << large.error.toStdString();
    EXPECT_EQ(large.picture->size, QSize(40, 40));
    EXPECT_EQ(Pixel(large.picture->image, 20, 20), kBlue | 0xFF000000u);
    // Without the selector, the first entry.
    const PictureLoad plain = LoadPictureFromData(icon);
    ASSERT_TRUE(plain) << plain.error.toStdString();
    EXPECT_EQ(plain.picture->size, QSize(24, 24));
}

TEST(IconChoiceTest, MaskAndAlphaMakeTheCornerTransparent)
{
    for (const int large : {16, 32, 64}) {
        PictureRequest request{IconSizeChoice::LargeIcon, large, {}, {}};
        const PictureLoad load = LoadPicture(Fixture("sizes.ico"), request);
        ASSERT_TRUE(load);
        const QImage& image = load.picture->image;
        if (large == 64)
            continue; // the PNG entry is opaque
        EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << large;
        EXPECT_EQ(qAlpha(image.pixel(1, 1)), 255) << large;
    }
}

TEST(IconChoiceTest, DamagedEntryFallsBackToTheNextOne)
{
    QByteArray icon = ReadFile(Fixture("pointer.cur"));
    ASSERT_FALSE(icon.isEmpty());
    const quint32 first = qFromLittleEndian<quint32>(icon.constData() + 6 + 12);
    icon[first] = 5; // the header size of the first image's DIB: nonsense
    const PictureLoad load = LoadPictureFromData(icon);
    ASSERT_TRUE(load);
    EXPECT_EQ(load.picture->size, QSize(16, 16));
}

// ---------------------------------------------------------------- JPEG

TEST(JpegTest, BaselineProgressiveAndCmykLoad)
{
    const auto halves = [](int x, int y) { return LeftRedRightBlue(x, y, 32); };
    for (const bool progressive : {false, true}) {
        for (const bool cmyk : {false, true}) {
            JpegFixture fixture;
            fixture.width = 32;
            fixture.height = 16;
            fixture.progressive = progressive;
            fixture.cmyk = cmyk;
            fixture.color = halves;
            const PictureLoad load = LoadPictureFromData(WriteJpeg(fixture));
            ASSERT_TRUE(load) << progressive << cmyk << load.error.toStdString();
            EXPECT_EQ(load.picture->size, QSize(32, 16));
            EXPECT_TRUE(Near(load.picture->image.pixel(4, 8), kRed, 24)) << progressive << cmyk;
            EXPECT_TRUE(Near(load.picture->image.pixel(28, 8), kBlue, 24)) << progressive << cmyk;
        }
    }
}

TEST(JpegTest, ExifOrientationSixTurnsSizeAndPixels)
{
    JpegFixture fixture;
    fixture.width = 40;
    fixture.height = 20;
    fixture.exif = ExifBlock(6);
    fixture.color = [](int x, int y) { return LeftRedRightBlue(x, y, 40); };
    const QByteArray jpeg = WriteJpeg(fixture);

    const PictureLoad full = LoadPictureFromData(jpeg);
    ASSERT_TRUE(full) << full.error.toStdString();
    EXPECT_EQ(full.picture->size, QSize(20, 40));
    ASSERT_EQ(full.picture->image.size(), QSize(20, 40));
    // Turned a quarter clockwise, the left half becomes the top.
    EXPECT_TRUE(Near(full.picture->image.pixel(10, 5), kRed, 24));
    EXPECT_TRUE(Near(full.picture->image.pixel(10, 35), kBlue, 24));

    const PictureLoad reduced =
        LoadPictureFromData(jpeg, {IconSizeChoice::Default, 32, {10, 10}, {}});
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced.picture->size, QSize(20, 40));
    ASSERT_EQ(reduced.picture->image.size(), QSize(5, 10));
    EXPECT_TRUE(Near(reduced.picture->image.pixel(2, 1), kRed, 40));
    EXPECT_TRUE(Near(reduced.picture->image.pixel(2, 8), kBlue, 40));
}

TEST(JpegTest, ReducedDecodeReportsTheFullSizeWithFewPixels)
{
    JpegFixture fixture;
    fixture.width = 4000;
    fixture.height = 3000;
    fixture.color = [](int x, int y) { return LeftRedRightBlue(x, y, 4000); };
    const PictureLoad load =
        LoadPictureFromData(WriteJpeg(fixture), {IconSizeChoice::Default, 32, {62, 62}, {}});
    ASSERT_TRUE(load) << load.error.toStdString();
    EXPECT_EQ(load.picture->size, QSize(4000, 3000));
    ASSERT_EQ(load.picture->image.size(), QSize(62, 47));
    EXPECT_TRUE(Near(load.picture->image.pixel(5, 23), kRed, 24));
    EXPECT_TRUE(Near(load.picture->image.pixel(56, 23), kBlue, 24));
}

// 12000 x 12000 pixels need 576 MiB at full size, over the 512 MiB cap: only a decode
// at reduced DCT scale can load it.
TEST(JpegTest, HugePhotographLoadsOnlyForAThumbnail)
{
    JpegFixture fixture;
    fixture.width = 12000;
    fixture.height = 12000;
    fixture.grey = true;
    const QByteArray jpeg = WriteJpeg(fixture);

    const PictureLoad thumbnail =
        LoadPictureFromData(jpeg, {IconSizeChoice::Default, 32, {62, 62}, {}});
    ASSERT_TRUE(thumbnail) << thumbnail.error.toStdString();
    EXPECT_EQ(thumbnail.picture->size, QSize(12000, 12000));
    EXPECT_EQ(thumbnail.picture->image.size(), QSize(62, 62));

    const PictureLoad full = LoadPictureFromData(jpeg);
    EXPECT_FALSE(full);
}

// A header may claim any size; a decoder allocates what it claims before it reads a pixel.
// Beyond 16 megapixels a picture must be one its file can hold.
TEST(PictureLoaderTest, APictureMayCostOnlyWhatItsFileCanHold)
{
    const auto le16 = [](int value) {
        return QByteArray(1, char(value & 0xFF)) + QByteArray(1, char(value >> 8));
    };
    // 29 bytes: a logical screen and a frame of 11000 x 11000, and a few bits of LZW data.
    const QByteArray gif = "GIF89a" + le16(11000) + le16(11000) + QByteArray("\x00\x00\x00", 3) +
                           QByteArray(",\0\0\0\0", 5) + le16(11000) + le16(11000) +
                           QByteArray("\x00\x02\x02\x4C\x01\x00;", 7);
    ASSERT_EQ(gif.size(), 29);
    // A run-length bitmap of 10000 x 10000 pixels (400 MB) in 70 bytes: one end-of-bitmap.
    QByteArray bmp = QByteArray::fromBase64(
        "Qk1GAAAAAAAAADYAAAAoAAAAECcAABAnAAABAAgAAQAAABAAAAAAAAAAAAAAAAAAAAAAAAAA");
    bmp += QByteArray("\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00", 10);
    // A JPEG's frame of 30000 x 30000 pixels and nothing after it.
    const QByteArray jpeg = QByteArray("\xFF\xD8\xFF\xC0\x00\x0B\x08", 7) +
                            QByteArray("\x75\x30\x75\x30\x01\x01\x11\x00", 8) +
                            QByteArray("\xFF\xD9", 2);
    for (const QByteArray& claim : {gif, bmp, jpeg}) {
        const PictureLoad load =
            LoadPictureFromData(claim, {IconSizeChoice::Default, 32, {62, 62}, {}});
        EXPECT_FALSE(load) << claim.left(8).toHex().toStdString();
        EXPECT_EQ(load.error, QStringLiteral("picture is larger than its file can hold"))
            << claim.left(8).toHex().toStdString();
    }

    // A 5000 x 5000 picture as small as deflate makes it still is one its file holds.
    QImage plain(5000, 5000, QImage::Format_RGB32);
    plain.fill(qRgb(10, 120, 200));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setCompression(9);
    ASSERT_TRUE(writer.write(plain));
    const PictureLoad load = LoadPictureFromData(png, {IconSizeChoice::Default, 32, {62, 62}, {}});
    ASSERT_TRUE(load) << load.error.toStdString();
    EXPECT_EQ(load.picture->size, QSize(5000, 5000));
}

// ---------------------------------------------------------------- format by content

TEST(PictureLoaderTest, FormatComesFromContentNotFromTheName)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    JpegFixture fixture;
    fixture.color = [](int, int) { return kGreen; };
    const QByteArray jpeg = WriteJpeg(fixture);
    const QByteArray bitmap = ReadFile(Fixture("rgb24.bmp"));
    const QByteArray gif = ReadFile(Fixture("two_frames.gif"));
    struct Case
    {
        QString name;
        QByteArray data;
        QSize size;
    };
    const Case cases[] = {
        {QStringLiteral("photo.bmp"), jpeg, {16, 16}},
        {QStringLiteral("PICTURE.BMP"), bitmap, {8, 6}},
        {QStringLiteral("bitmap.dib"), bitmap, {8, 6}},
        {QStringLiteral("Bitmap.Rle"), bitmap, {8, 6}},
        {QStringLiteral("animation.jpg"), gif, {10, 8}},
        {QStringLiteral("Grüße aus Köln – 日本.gif"), gif, {10, 8}},
        {QStringLiteral("icon.ICO"), ReadFile(Fixture("sizes.ico")), {16, 16}},
        {QStringLiteral("DRAWING.WMF"), ReadFile(Fixture("placeable.wmf")), {133, 67}},
        {QStringLiteral("drawing.Emf"), ReadFile(Fixture("shapes.emf")), {200, 100}},
    };
    for (const Case& c : cases) {
        const QString path = folder.filePath(c.name);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.data);
        file.close();
        const PictureLoad load = LoadPicture(path);
        ASSERT_TRUE(load) << c.name.toStdString() << ": " << load.error.toStdString();
        EXPECT_EQ(load.picture->size, c.size) << c.name.toStdString();
    }
}

// ---------------------------------------------------------------- metafiles

TEST(MetafileTest, PlaceableWmfDrawsShapesBitmapAndText)
{
    const PictureLoad load = LoadPicture(Fixture("placeable.wmf"));
    ASSERT_TRUE(load) << load.error.toStdString();
    // 200 x 100 units at 144 units per inch, at 96 dpi.
    EXPECT_EQ(load.picture->size, QSize(133, 67));
    const QImage& image = load.picture->image;
    ASSERT_EQ(image.size(), QSize(133, 67));
    EXPECT_EQ(image.pixel(20, 10), kRed) << "filled opaquely despite transparent background mode";
    EXPECT_EQ(image.pixel(100, 33), kBlue);
    EXPECT_EQ(image.pixel(128, 64), kGreen) << "the bitmap lies in its destination rectangle";
    EXPECT_EQ(qAlpha(image.pixel(70, 2)), 0) << "outside the shapes nothing is drawn";
}

TEST(MetafileTest, PlainWmfTakesItsWindowAsPixels)
{
    const PictureLoad load = LoadPicture(Fixture("plain.wmf"));
    ASSERT_TRUE(load) << load.error.toStdString();
    EXPECT_EQ(load.picture->size, QSize(200, 100));
    EXPECT_EQ(load.picture->image.pixel(30, 20), kRed);
    EXPECT_EQ(load.picture->image.pixel(150, 50), kBlue);
    EXPECT_EQ(load.picture->image.pixel(190, 95), kGreen);
}

TEST(MetafileTest, WmfWithoutWindowUsesItsFrameOrItsBounds)
{
    const PictureLoad framed = LoadPicture(Fixture("placeable_no_window.wmf"));
    ASSERT_TRUE(framed) << framed.error.toStdString();
    EXPECT_EQ(framed.picture->size, QSize(133, 67));
    EXPECT_EQ(framed.picture->image.pixel(20, 10), kRed);
    EXPECT_EQ(framed.picture->image.pixel(100, 33), kBlue);

    // The bounds of the shapes: libwmf takes in half the default pen around them.
    const PictureLoad bounded = LoadPicture(Fixture("plain_no_window.wmf"));
    ASSERT_TRUE(bounded) << bounded.error.toStdString();
#ifdef Q_OS_WIN
    EXPECT_EQ(bounded.picture->size, QSize(200, 100));
#else
    EXPECT_EQ(bounded.picture->size, QSize(201, 101));
#endif
    EXPECT_EQ(bounded.picture->image.pixel(30, 20), kRed);
    EXPECT_EQ(bounded.picture->image.pixel(150, 50), kBlue);
}

TEST(MetafileTest, EmfUsesItsFrameAt96Dpi)
{
    const PictureLoad load = LoadPicture(Fixture("shapes.emf"));
    ASSERT_TRUE(load) << load.error.toStdString();
    EXPECT_EQ(load.picture->size, QSize(200, 100));
    EXPECT_EQ(load.picture->image.pixel(50, 50), kRed);
    EXPECT_EQ(load.picture->image.pixel(150, 50), kBlue);
}

// libemf2svg looks glyph-index text up through fontconfig and then shuts fontconfig down,
// which can abort the process while Qt holds fontconfig's caches. Such text is left out.
TEST(MetafileTest, GlyphIndexTextIsLeftOut)
{
    const PictureLoad load = LoadPicture(Fixture("glyph_index_text.emf"));
    ASSERT_TRUE(load) << load.error.toStdString();
    const QImage& image = load.picture->image;
    int notRed = 0; // "Hello" in black would lie here, on the red rectangle
    for (int y = 45; y < 75; ++y) {
        for (int x = 5; x < 90; ++x)
            notRed += image.pixel(x, y) == kRed ? 0 : 1;
    }
    EXPECT_EQ(notRed, 0);
    EXPECT_EQ(image.pixel(150, 50), kBlue);
}

TEST(MetafileTest, MetafilesRenderAtTheFittedSize)
{
    for (const char* name : {"placeable.wmf", "shapes.emf"}) {
        const PictureLoad load =
            LoadPicture(Fixture(name), {IconSizeChoice::Default, 32, {40, 40}, {}});
        ASSERT_TRUE(load) << name;
        EXPECT_EQ(load.picture->image.size(), FitSizeInto(load.picture->size, {40, 40})) << name;
        EXPECT_EQ(load.picture->image.width(), 40) << name;
    }
}

// Text with the characters of markup, and Windows-1252 letters: drawn like any other.
TEST(MetafileTest, TextWithMarkupCharactersIsDrawn)
{
    std::vector<int> font = {-40, 0, 0, 0, 400, 0, 0, 0, 0};
    const std::vector<int> face = TextWords(QByteArray("Arial", 6));
    font.insert(font.end(), face.begin(), face.end());
    font.resize(25, 0);
    const QByteArray text("a<&\xE9\x80>", 6);
    std::vector<int> textOut = {int(text.size())};
    const std::vector<int> characters = TextWords(text);
    textOut.insert(textOut.end(), characters.begin(), characters.end());
    textOut.insert(textOut.end(), {10, 10});                   // y, x
    const QByteArray wmf = PlaceableWmf({{0x020B, {0, 0}},     // SetWindowOrg
                                         {0x020C, {100, 200}}, // SetWindowExt
                                         {0x02FB, font},       // CreateFontIndirect
                                         {0x012D, {0}},        // SelectObject
                                         {0x0521, textOut}});  // TextOut
    const PictureLoad load = LoadPictureFromData(wmf);
    ASSERT_TRUE(load) << load.error.toStdString();
    EXPECT_EQ(load.picture->size, QSize(200, 100));
    EXPECT_GT(InkPixels(load.picture->image), 50);
}

#ifndef Q_OS_WIN
// Drawn as SVG, coordinates far beyond the frame cost time in proportion to the length of
// what they draw: a few are pulled in, many mark the drawing as damaged.
TEST(MetafileTest, CoordinatesFarOffTheFrameArePulledInOrRefused)
{
    const auto polyline = [](int farPoints) {
        std::vector<int> words = {farPoints + 1, 10, 10};
        for (int i = 0; i < farPoints; ++i)
            words.insert(words.end(), {30000 - i, 30000});
        return PlaceableWmf({{0x020B, {0, 0}}, {0x020C, {100, 200}}, {0x0325, words}});
    };
    const PictureLoad few = LoadPictureFromData(polyline(2));
    ASSERT_TRUE(few) << few.error.toStdString();
    EXPECT_EQ(few.picture->size, QSize(200, 100));
    const PictureLoad many = LoadPictureFromData(polyline(12));
    EXPECT_FALSE(many);
    EXPECT_TRUE(many.error.contains(QLatin1String("coordinates far off")))
        << many.error.toStdString();
}
#endif

TEST(MetafileTest, HugeFrameLoadsOnlyForAThumbnail)
{
    // A placeable header claiming 32000 x 32000 units at 100 units per inch.
    QByteArray wmf = ReadFile(Fixture("placeable.wmf"));
    ASSERT_FALSE(wmf.isEmpty());
    qToLittleEndian<qint16>(32000, wmf.data() + 10);
    qToLittleEndian<qint16>(32000, wmf.data() + 12);
    qToLittleEndian<quint16>(100, wmf.data() + 14);
    EXPECT_FALSE(LoadPictureFromData(wmf));
    const PictureLoad thumbnail =
        LoadPictureFromData(wmf, {IconSizeChoice::Default, 32, {64, 64}, {}});
    ASSERT_TRUE(thumbnail) << thumbnail.error.toStdString();
    EXPECT_EQ(thumbnail.picture->size, QSize(30720, 30720));
    EXPECT_EQ(thumbnail.picture->image.size(), QSize(64, 64));
}

// ---------------------------------------------------------------- failures

TEST(PictureLoaderTest, UnreadableDataFailsWithAReason)
{
    QByteArray hugeBitmap = ReadFile(Fixture("rgb24.bmp"));
    qToLittleEndian<qint32>(100000, hugeBitmap.data() + 18);
    qToLittleEndian<qint32>(100000, hugeBitmap.data() + 22);
    const QByteArray emf = ReadFile(Fixture("shapes.emf"));
    const QByteArray wmf = ReadFile(Fixture("placeable.wmf"));
    const QByteArray cases[] = {
        QByteArray(),
        QByteArray("not a picture at all"),
        QByteArray("BM"),
        ReadFile(Fixture("rgb24.bmp")).left(40),
        hugeBitmap,
        QByteArray("GIF89a\x0a\0\x08\0", 10),
        QByteArray("\xff\xd8\xff\xe0", 4),
        emf.left(100),
        wmf.left(30),
        QByteArray("\0\0\1\0\1\0", 6) + QByteArray(16, '\xff'),
        // A V3 header whose color masks lie past the end of the data.
        QByteArray::fromBase64(
            "Qk2QAAAAAAAAAEYAAAA4AAAABgAAAAYAAAABABAAAwAAAEoAlGOUY5RjlPz8/Px8AHwAfAB8ADwhLS18AAA="),
    };
    for (const QByteArray& data : cases) {
        const PictureLoad load = LoadPictureFromData(data);
        EXPECT_FALSE(load) << data.left(16).toHex().toStdString();
    }
    EXPECT_FALSE(LoadPicture(QStringLiteral("/nonexistent/picture.bmp")));
}

// libpng reports damage on stderr; only whole PNG data reach it.
TEST(PictureLoaderTest, DamagedPngIsRefusedBeforeDecoding)
{
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::green);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&buffer, "PNG"));
    ASSERT_TRUE(pictures::IsWholePng(png));

    QByteArray flipped = png;
    flipped[png.size() - 20] = char(flipped[png.size() - 20] ^ 0x55); // inside IDAT
    QByteArray badDepth = png;
    badDepth[24] = 3; // no such depth; the checksum no longer matches either
    for (const QByteArray& damaged : {png.left(png.size() - 12), flipped, badDepth}) {
        EXPECT_FALSE(pictures::IsWholePng(damaged));
        const PictureLoad load = LoadPictureFromData(damaged);
        EXPECT_EQ(load.error, QStringLiteral("PNG data are damaged"));
    }
    EXPECT_TRUE(LoadPictureFromData(png));
}

TEST(PictureLoaderTest, ConcurrentLoadsMatchSequentialOnes)
{
    const QStringList files = {Fixture("placeable.wmf"), Fixture("shapes.emf"),
                               Fixture("sizes.ico"),     Fixture("rle8.bmp"),
                               Fixture("pal2.bmp"),      Fixture("two_frames.gif")};
    QStringList work;
    for (int round = 0; round < 8; ++round)
        work += files;
    const PictureRequest request{IconSizeChoice::LargeIcon, 32, {48, 48}, {}};
    const auto load = [&](const QString& path) {
        const PictureLoad result = LoadPicture(path, request);
        return result ? result.picture->image : QImage();
    };
    const QList<QImage> together = QtConcurrent::blockingMapped(work, load);
    for (int i = 0; i < work.size(); ++i) {
        EXPECT_FALSE(together[i].isNull()) << work[i].toStdString();
        EXPECT_EQ(together[i], load(work[i])) << work[i].toStdString();
    }
}

// ---------------------------------------------------------------- the corpus of other projects

QStringList CorpusFiles(const QString& folder)
{
    QStringList files;
    QDirIterator it(QStringLiteral(TESSELLON_CORPUS "/") + folder, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

// Loads in a thread of its own, so that a hang ends the test binary with a failure instead
// of stalling it.
PictureLoad LoadWithin(const QString& path, std::chrono::seconds limit)
{
    std::promise<PictureLoad> promise;
    std::future<PictureLoad> result = promise.get_future();
    // A thread of Qt's own, as the gallery's decodes have: what Qt keeps per thread is set
    // up and released as it is there.
    const std::unique_ptr<QThread> worker(QThread::create([&promise, path] {
        promise.set_value(LoadPicture(path, {IconSizeChoice::LargeIcon, 32, {62, 62}, {}}));
    }));
    worker->start();
    if (result.wait_for(limit) != std::future_status::ready) {
        std::fprintf(stderr, "loading %s hangs\n", qPrintable(path));
        std::fflush(stderr);
        std::_Exit(1);
    }
    worker->wait();
    return result.get();
}

struct CorpusCase
{
    const char* folder;
    int expectedLoaded; // -1: any, damaged files only have to fail cleanly
};

void PrintTo(const CorpusCase& c, std::ostream* os)
{
    *os << c.folder;
}

class CorpusTest : public testing::TestWithParam<CorpusCase>
{};

TEST_P(CorpusTest, EveryFileLoadsOrFailsCleanly)
{
    const CorpusCase& c = GetParam();
    const QString folder = QStringLiteral(TESSELLON_CORPUS "/") + QLatin1String(c.folder);
    if (!QFileInfo(folder).isDir())
        GTEST_SKIP() << "corpus not present: " << folder.toStdString();
    const QStringList files = CorpusFiles(QLatin1String(c.folder));
    ASSERT_FALSE(files.isEmpty()) << "no files in " << folder.toStdString();
    int loaded = 0;
    QStringList failed;
    for (const QString& path : files) {
        const PictureLoad load = LoadWithin(path, 60s);
        if (load) {
            ++loaded;
            EXPECT_FALSE(load.picture->image.isNull());
            EXPECT_LE(load.picture->image.width(), 62);
            EXPECT_LE(load.picture->image.height(), 62);
        } else {
            failed << QFileInfo(path).fileName();
        }
    }
    std::printf("[   INFO   ] %s: %d of %lld load; failing: %s\n", c.folder, loaded,
                static_cast<long long>(files.size()), qPrintable(failed.join(u' ')));
    if (c.expectedLoaded >= 0) {
        EXPECT_EQ(loaded, c.expectedLoaded);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, CorpusTest,
    testing::Values(CorpusCase{"image-rs/bmp", 66}, CorpusCase{"image-rs/gif", 11},
                    CorpusCase{"image-rs/ico", 12}, CorpusCase{"image-rs/jpg", 6},
                    CorpusCase{"libemf2svg/emf", 60}, CorpusCase{"libemf2svg/emf-ea", 21},
                    CorpusCase{"libemf2svg/emf-corrupted", -1},
                    CorpusCase{"libemf2svg/libuemf", 1}),
    [](const testing::TestParamInfo<CorpusCase>& info) { return Identifier(info.param.folder); });

// Where Qt's BMP reader reads a corpus file, our own decoder gives the same pixels, but for
// the variants where we deliberately differ.
TEST(BmpDecoderTest, AgreesWithQtWhereQtReads)
{
    const QStringList files = CorpusFiles(QStringLiteral("image-rs/bmp/images"));
    if (files.isEmpty())
        GTEST_SKIP() << "corpus not present";
    const QStringList differing = {
        // Qt cuts 2- and 3-bit channels short, loses channels wider than eight bits, and
        // makes a set 1-bit alpha half transparent.
        QStringLiteral("rgb16-231.bmp"), QStringLiteral("rgb32-111110.bmp"),
        QStringLiteral("rgba16-1924.bmp"), QStringLiteral("rgba32-61754.bmp"),
        QStringLiteral("V5_A1_R5_G5_B5.bmp"),
        // Pixels that runs skip, or that the data no longer reach, are transparent here.
        QStringLiteral("pal4rlecut.bmp"), QStringLiteral("pal4rletrns.bmp"),
        // Indices past the end of the palette are black here, not transparent.
        QStringLiteral("pal8badindex.bmp"),
        // Qt takes a short OS/2 palette for a full one and shifts every color.
        QStringLiteral("pal8os2sp.bmp")};
    int compared = 0;
    for (const QString& path : files) {
        if (path.contains(QStringLiteral("/lenient/")) ||
            differing.contains(QFileInfo(path).fileName()))
            continue;
        const QByteArray data = ReadFile(path);
        QByteArray copy = data;
        QBuffer buffer(&copy);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "bmp");
        const QImage expected = reader.read();
        if (expected.isNull())
            continue;
        const PictureLoad load = LoadPictureFromData(data);
        ASSERT_TRUE(load) << path.toStdString() << ": " << load.error.toStdString();
        const QImage& ours = load.picture->image;
        ASSERT_EQ(ours.size(), expected.size()) << path.toStdString();
        // Qt shifts 5- and 6-bit channels up where we scale them: 31 is 248 there, 255 here.
        const qsizetype depthAt = qFromLittleEndian<quint32>(data.constData() + 14) == 12 ? 24 : 28;
        const int tolerance = qFromLittleEndian<quint16>(data.constData() + depthAt) == 16 ? 7 : 2;
        // The loader delivers premultiplied pixels: both are compared so.
        const QImage a = ours.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage b = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        int mismatches = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x)
                mismatches += Near(a.pixel(x, y), b.pixel(x, y), tolerance) ? 0 : 1;
        }
        EXPECT_EQ(mismatches, 0) << path.toStdString();
        ++compared;
    }
    EXPECT_GT(compared, 30);
}

// Variants Qt refuses match a sibling of the same picture that Qt reads.
TEST(BmpDecoderTest, VariantsQtRefusesMatchTheirSiblings)
{
    struct Case
    {
        const char* variant;
        const char* sibling;
        int tolerance; // the variant's channels may be narrower; -1: dithered, compare means
    };
    const Case cases[] = {
        {"rgb24rle24.bmp", "rgb24.bmp", -1}, // its colors are dithered to make runs
        {"rgba32abf.bmp", "rgba32.bmp", 0},
        {"V3_X8_R8_G8_B8.bmp", "Info_R8_G8_B8.bmp", 0},
        {"V3_X8_R8_G8_B8_Top_Down.bmp", "Info_R8_G8_B8.bmp", 0},
        {"V3_R5_G6_B5.bmp", "Info_R8_G8_B8.bmp", 8},
        {"V3_X4_R4_G4_B4.bmp", "Info_R8_G8_B8.bmp", 17},
        {"V3_A4_R4_G4_B4.bmp", "Info_A8_R8_G8_B8.bmp", 17},
    };
    const QString folder = QStringLiteral(TESSELLON_CORPUS "/image-rs/bmp/images/");
    if (!QFile::exists(folder))
        GTEST_SKIP() << "corpus not present";
    for (const Case& c : cases) {
        QImageReader refusing(folder + QLatin1String(c.variant), "bmp");
        EXPECT_TRUE(refusing.read().isNull()) << c.variant << " is read by Qt now";
        const PictureLoad load = LoadPicture(folder + QLatin1String(c.variant));
        ASSERT_TRUE(load) << c.variant << ": " << load.error.toStdString();
        const auto format = QImage::Format_ARGB32_Premultiplied;
        const QImage ours = load.picture->image.convertToFormat(format);
        const QImage sibling = QImage(folder + QLatin1String(c.sibling)).convertToFormat(format);
        ASSERT_EQ(ours.size(), sibling.size()) << c.variant;
        int mismatches = 0;
        qint64 difference = 0;
        for (int y = 0; y < ours.height(); ++y) {
            for (int x = 0; x < ours.width(); ++x) {
                const QRgb a = ours.pixel(x, y);
                const QRgb b = sibling.pixel(x, y);
                mismatches += Near(a, b, std::max(c.tolerance, 1)) ? 0 : 1;
                difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                              std::abs(qBlue(a) - qBlue(b));
            }
        }
        if (c.tolerance < 0)
            EXPECT_LT(difference / (3 * qint64(ours.width()) * ours.height()), 20) << c.variant;
        else
            EXPECT_EQ(mismatches, 0) << c.variant;
    }
}

} // namespace
