#include "pictures/jpeg_first_scan.h"
#include "pictures/picture.h"
#include "support/jpeg_fixtures.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace {

// Gradients, two discs with hard edges and a sensor's grain: detail in every band, and
// chroma that changes within a block.
QRgb PhotoLike(int x, int y)
{
    const auto inDisc = [&](int cx, int cy, int r) {
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r;
    };
    int r = 40 + x * 180 / 640;
    int g = 60 + y * 150 / 480;
    int b = 200 - (x + y) * 150 / 1120;
    if (inDisc(200, 180, 90)) {
        r = 230;
        g = 40;
        b = 30;
    } else if (inDisc(450, 300, 70)) {
        r = 20;
        g = 90;
        b = 200;
    }
    const int grain = int((unsigned(x) * 2654435761U ^ unsigned(y) * 40503U) % 25U) - 12;
    return qRgb(std::clamp(r + grain, 0, 255), std::clamp(g + grain, 0, 255),
                std::clamp(b + grain, 0, 255));
}

JpegFixture Photo(int width = 640, int height = 480)
{
    JpegFixture fixture;
    fixture.width = width;
    fixture.height = height;
    fixture.progressive = true;
    fixture.quality = 88;
    fixture.color = PhotoLike;
    return fixture;
}

// Saturated tiles of every hue whose edges, straight and slanted, cross the blocks anywhere:
// chroma that changes within a chroma block as strongly as it can.
QRgb ColourEdges(int x, int y)
{
    static constexpr std::array<QRgb, 6> kHues = {qRgb(230, 20, 30),  qRgb(20, 200, 40),
                                                  qRgb(30, 40, 220),  qRgb(240, 220, 20),
                                                  qRgb(220, 30, 210), qRgb(20, 210, 220)};
    const int tile = (x / 13 + y / 11 + (x + 2 * y) / 37) % int(kHues.size());
    return kHues[std::size_t(tile)];
}

// A picture of the size the web serves, 4:2:0.
JpegFixture WebSize(int quality = 80)
{
    JpegFixture fixture = Photo(1600, 1067);
    fixture.quality = quality;
    fixture.color = ColourEdges;
    return fixture;
}

// Where the first scan's entropy-coded data begin and end.
std::pair<qsizetype, qsizetype> FirstScanData(const QByteArray& jpeg)
{
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && uchar(jpeg[at]) == 0xFF) {
        const int length = uchar(jpeg[at + 2]) << 8 | uchar(jpeg[at + 3]);
        if (uchar(jpeg[at + 1]) == 0xDA) {
            const qsizetype begin = at + 2 + length;
            qsizetype end = begin;
            while (end + 1 < jpeg.size() &&
                   !(uchar(jpeg[end]) == 0xFF && uchar(jpeg[end + 1]) != 0 &&
                     (uchar(jpeg[end + 1]) < 0xD0 || uchar(jpeg[end + 1]) > 0xD7)))
                ++end;
            return {begin, end};
        }
        at += 2 + length;
    }
    return {-1, -1};
}

QByteArray Truncated(QByteArray jpeg)
{
    const auto [begin, end] = FirstScanData(jpeg);
    jpeg.truncate(begin + (end - begin) / 2);
    return jpeg;
}

// A run of one bits amid the first scan: longer than any code a table has.
QByteArray Corrupted(QByteArray jpeg)
{
    const auto [begin, end] = FirstScanData(jpeg);
    const qsizetype middle = begin + (end - begin) / 2;
    jpeg.replace(middle, 8, QByteArray("\xFF\x00\xFF\x00\xFF\x00\xFF\x00", 8));
    return jpeg;
}

pictures::PictureRequest ThumbnailRequest(int side = 62)
{
    pictures::PictureRequest request;
    request.target = QSize(side, side);
    request.drawnSize = [side](QSize full) {
        return pictures::FitSizeInto(full, QSize(side, side));
    };
    return request;
}

std::optional<QImage> Thumbnail(const QByteArray& jpeg, bool firstScans,
                                const pictures::PictureRequest& request = ThumbnailRequest())
{
    pictures::SetJpegFirstScansUsed(firstScans);
    const pictures::PictureLoad load = pictures::LoadPictureFromData(jpeg, request);
    pictures::SetJpegFirstScansUsed(true);
    if (!load)
        return std::nullopt;
    return load.picture->image;
}

struct Difference
{
    double mean = 0; // per channel
    int most = 0;
};

Difference Compare(const QImage& a, const QImage& b)
{
    Difference difference;
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            for (const int d : {std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q))}) {
                sum += d;
                difference.most = std::max(difference.most, d);
            }
        }
    }
    difference.mean = double(sum) / (3.0 * a.width() * a.height());
    return difference;
}

enum class Way {
    FirstScans, // the leading scans serve the thumbnail
    Layout,     // the decoder refuses the file: the full decode serves it
    TooSmall,   // the decoder would serve it, but 1/8 scale gives too few pixels
};

struct LayoutCase
{
    const char* name;
    std::function<QByteArray()> make;
    Way way;
};

void PrintTo(const LayoutCase& c, std::ostream* os)
{
    *os << c.name;
}

class JpegFirstScanTest : public testing::TestWithParam<LayoutCase>
{};

void ExpectThumbnailsAlike(const QByteArray& jpeg, Way way, const pictures::PictureRequest& request)
{
    const std::optional<QImage> ours = Thumbnail(jpeg, true, request);
    const std::optional<QImage> full = Thumbnail(jpeg, false, request);
    ASSERT_EQ(ours.has_value(), full.has_value());
    if (!full)
        return;
    ASSERT_EQ(ours->size(), full->size());
    if (way != Way::FirstScans) {
        EXPECT_EQ(*ours, *full);
        return;
    }
    const Difference difference = Compare(*ours, *full);
    EXPECT_LE(difference.mean, 2.0);
    EXPECT_LE(difference.most, 16);
}

// Every row against the thumbnail of today's full decode, at a device pixel ratio of 1 and
// of 2: close where the leading scans serve it, the very same where the loader falls back.
TEST_P(JpegFirstScanTest, ThumbnailMatchesTheFullDecode)
{
    const LayoutCase& c = GetParam();
    const QByteArray jpeg = c.make();
    ASSERT_FALSE(jpeg.isEmpty());
    EXPECT_EQ(pictures::DecodeJpegFirstScans(jpeg).isNull(), c.way == Way::Layout);
    for (const int side : {62, 124}) {
        SCOPED_TRACE(side);
        ExpectThumbnailsAlike(jpeg, c.way, ThumbnailRequest(side));
    }
}

JpegFixture WithScans(JpegFixture fixture, std::vector<JpegScan> scans)
{
    fixture.scans = std::move(scans);
    return fixture;
}

// The AC scans after the DC ones, as libjpeg's own script has them for three components.
std::vector<JpegScan> AcScans()
{
    return {{{0}, 1, 5, 0, 0}, {{2}, 1, 63, 0, 0}, {{1}, 1, 63, 0, 0}, {{0}, 6, 63, 0, 0}};
}

std::vector<JpegScan> Concat(std::vector<JpegScan> a, const std::vector<JpegScan>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// mozjpeg's default order: a DC scan per component, the lowest AC bands of each, the rest
// of the luma's, and the rest of the chroma's last.
std::vector<JpegScan> DcSeparateScans()
{
    return {{{0}, 0, 0, 0, 0},  {{1}, 0, 0, 0, 0},  {{2}, 0, 0, 0, 0},  {{0}, 1, 8, 0, 2},
            {{1}, 1, 8, 0, 0},  {{2}, 1, 8, 0, 0},  {{0}, 9, 63, 0, 2}, {{0}, 1, 63, 2, 1},
            {{0}, 1, 63, 1, 0}, {{1}, 9, 63, 0, 0}, {{2}, 9, 63, 0, 0}};
}

// The file cut short amid the data of its `scan`th scan (counting from 0).
QByteArray CutInScan(QByteArray jpeg, int scan)
{
    qsizetype at = 0;
    for (int i = 0; i <= scan && at >= 0; ++i)
        at = jpeg.indexOf("\xFF\xDA", at + 1);
    if (at >= 0)
        jpeg.truncate(at + 64);
    return jpeg;
}

const LayoutCase kLayouts[] = {
    // Chroma edges in pictures that 1/8 scale serves for a thumbnail as they are: the
    // chroma's 2 x 2 samples a block come from its first AC scans.
    {"WebSizeChromaEdges", [] { return WriteJpeg(WebSize()); }, Way::FirstScans},
    {"WebSizeChromaEdgesCoarse", [] { return WriteJpeg(WebSize(50)); }, Way::FirstScans},
    {"WebSizeChromaEdgesDcSeparate",
     [] { return WriteJpeg(WithScans(WebSize(), DcSeparateScans())); }, Way::FirstScans},
    {"WebSizeChromaEdgesRestarts",
     [] {
         JpegFixture fixture = WebSize();
         fixture.restartInterval = 3;
         return WriteJpeg(fixture);
     },
     Way::FirstScans},
    // The image ends without the chroma's AC values, or the data end amid them: the full
    // decode, which smooths the blocks that lack them.
    {"ChromaAcNeverSent",
     [] {
         return WriteJpeg(WithScans(WebSize(), {{{0, 1, 2}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 0}}));
     },
     Way::Layout},
    {"CutInChromaAc", [] { return CutInScan(WriteJpeg(WebSize()), 2); }, Way::Layout},
    {"CutInChromaAcDcSeparate",
     [] { return CutInScan(WriteJpeg(WithScans(WebSize(), DcSeparateScans())), 9); }, Way::Layout},
    {"InterleavedDcWithSuccessiveApproximation", [] { return WriteJpeg(Photo()); },
     Way::FirstScans},
    {"InterleavedDcWhole",
     [] {
         return WriteJpeg(WithScans(Photo(), Concat({{{0, 1, 2}, 0, 0, 0, 0}}, AcScans())));
     },
     Way::FirstScans},
    {"Grey",
     [] {
         JpegFixture fixture = Photo();
         fixture.grey = true;
         return WriteJpeg(fixture);
     },
     Way::FirstScans},
    {"Sampling422",
     [] {
         JpegFixture fixture = Photo();
         fixture.lumaV = 1;
         return WriteJpeg(fixture);
     },
     Way::FirstScans},
    {"Sampling444",
     [] {
         JpegFixture fixture = Photo();
         fixture.lumaH = 1;
         fixture.lumaV = 1;
         return WriteJpeg(fixture);
     },
     Way::FirstScans},
    {"Sampling411OddSize",
     [] {
         JpegFixture fixture = Photo(637, 479);
         fixture.lumaH = 4;
         fixture.lumaV = 1;
         return WriteJpeg(fixture);
     },
     Way::FirstScans},
    {"RestartIntervals",
     [] {
         JpegFixture fixture = Photo();
         fixture.restartInterval = 7;
         return WriteJpeg(fixture);
     },
     Way::FirstScans},
    // As optimisers for the web write them: one DC scan per component, before any AC scan.
    {"SeparateDcScansFirst",
     [] {
         JpegFixture fixture = WithScans(
             Photo(), Concat({{{0}, 0, 0, 0, 0}, {{1}, 0, 0, 0, 0}, {{2}, 0, 0, 0, 0}}, AcScans()));
         fixture.restartInterval = 5;
         return WriteJpeg(fixture);
     },
     Way::FirstScans},
    {"NonInterleavedFirstScanThenAc",
     [] {
         return WriteJpeg(WithScans(Photo(), {{{0}, 0, 0, 0, 0},
                                              {{0}, 1, 63, 0, 0},
                                              {{1}, 0, 0, 0, 0},
                                              {{2}, 0, 0, 0, 0},
                                              {{1}, 1, 63, 0, 0},
                                              {{2}, 1, 63, 0, 0}}));
     },
     Way::Layout},
    {"ArithmeticCoded",
     [] {
         JpegFixture fixture = Photo();
         fixture.arithmetic = true;
         return WriteJpeg(fixture);
     },
     Way::Layout},
    {"Baseline",
     [] {
         JpegFixture fixture = Photo();
         fixture.progressive = false;
         return WriteJpeg(fixture);
     },
     Way::Layout},
    // The low DC bits a later scan refines would count for several levels.
    {"CoarseQuantizerWithSuccessiveApproximation",
     [] {
         JpegFixture fixture = Photo();
         fixture.quality = 10;
         return WriteJpeg(fixture);
     },
     Way::Layout},
    {"TruncatedFirstScan", [] { return Truncated(WriteJpeg(Photo())); }, Way::Layout},
    {"CorruptedFirstScan", [] { return Corrupted(WriteJpeg(Photo())); }, Way::Layout},
    {"TooSmallForOneEighth", [] { return WriteJpeg(Photo(400, 300)); }, Way::TooSmall},
    {"Cmyk",
     [] {
         JpegFixture fixture = Photo();
         fixture.cmyk = true;
         return WriteJpeg(fixture);
     },
     Way::FirstScans},
    {"Ycck",
     [] {
         JpegFixture fixture = Photo();
         fixture.cmyk = true;
         fixture.ycck = true;
         return WriteJpeg(fixture);
     },
     Way::FirstScans},
    {"RgbCoded",
     [] {
         JpegFixture fixture = Photo();
         fixture.rgbCoded = true;
         return WriteJpeg(fixture);
     },
     Way::FirstScans},
    {"TurnedByExif",
     [] {
         JpegFixture fixture = Photo();
         fixture.exif = ExifBlock(6);
         return WriteJpeg(fixture);
     },
     Way::FirstScans},
};

// With every value whole in the scans read, the picture is the full decode's at 1/8 scale
// to the bit: the 2 x 2 transform computes as libjpeg's does.
TEST(JpegFirstScanExactTest, WholeValuesGiveTheFullDecodeAtOneEighth)
{
    for (const int quality : {30, 75, 95}) {
        SCOPED_TRACE(quality);
        // Sides of whole blocks: Qt's reader decodes at 1/8 scale and leaves it at that.
        JpegFixture fixture = WebSize(quality);
        fixture.height = 1064;
        const QByteArray jpeg = WriteJpeg(WithScans(fixture, {{{0, 1, 2}, 0, 0, 0, 0},
                                                              {{0}, 1, 5, 0, 0},
                                                              {{2}, 1, 63, 0, 0},
                                                              {{1}, 1, 63, 0, 0},
                                                              {{0}, 6, 63, 0, 0}}));
        const QImage ours = pictures::DecodeJpegFirstScans(jpeg);
        QBuffer buffer;
        buffer.setData(jpeg);
        QImageReader reader(&buffer, "jpeg");
        reader.setScaledSize(ours.size());
        const QImage full = reader.read().convertToFormat(ours.format());
        ASSERT_FALSE(ours.isNull());
        EXPECT_EQ(Compare(ours, full).most, 0);
    }
}

// Nothing after the scans needed is read: a file cut short in a later scan decodes as the
// whole one does.
TEST(JpegFirstScanExactTest, ScansAfterThoseNeededAreNotRead)
{
    const QByteArray jpeg = WriteJpeg(WebSize());
    const QImage whole = pictures::DecodeJpegFirstScans(jpeg);
    ASSERT_FALSE(whole.isNull());
    // Luma's AC values 6 to 63 follow the chroma's first AC scans.
    EXPECT_EQ(pictures::DecodeJpegFirstScans(CutInScan(jpeg, 4)), whole);
}

INSTANTIATE_TEST_SUITE_P(Layouts, JpegFirstScanTest, testing::ValuesIn(kLayouts),
                         [](const testing::TestParamInfo<LayoutCase>& info) {
                             return std::string(info.param.name);
                         });

// The progressive files of other projects' test suites, fitted into 1/8 of their size,
// which both ways reach from a picture at 1/8 scale.
TEST(JpegFirstScanCorpusTest, ServedFilesMatchTheFullDecodeAtOneEighth)
{
    const QString folder = QStringLiteral(TESSELLON_CORPUS "/image-rs/jpg/progressive/");
    if (!QFile::exists(folder))
        GTEST_SKIP() << "corpus not present";
    // 3.jpg has a DC scan per component; cat.jpg is 4:2:0 with successive approximation.
    for (const char* name : {"3.jpg", "cat.jpg"}) {
        QFile file(folder + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        const QByteArray jpeg = file.readAll();
        const QImage decoded = pictures::DecodeJpegFirstScans(jpeg);
        ASSERT_FALSE(decoded.isNull()) << name;
        pictures::PictureRequest request;
        request.target = QSize(decoded.width() - 1, decoded.height() - 1);
        const std::optional<QImage> ours = Thumbnail(jpeg, true, request);
        const std::optional<QImage> full = Thumbnail(jpeg, false, request);
        ASSERT_TRUE(ours && full) << name;
        ASSERT_EQ(ours->size(), full->size()) << name;
        const Difference difference = Compare(*ours, *full);
        EXPECT_LE(difference.mean, 2.0) << name;
        EXPECT_LE(difference.most, 16) << name;
    }
}

} // namespace
