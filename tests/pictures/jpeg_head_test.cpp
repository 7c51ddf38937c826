#include "pictures/jpeg_head.h"
#include "support/jpeg_fixtures.h"

#include <QBuffer>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace pictures;

namespace {

std::optional<JpegHead> HeadOf(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return ReadJpegHead(buffer);
}

QByteArray PhotoWithExif(int width, int height, const QByteArray& exif)
{
    JpegFixture fixture;
    fixture.width = width;
    fixture.height = height;
    fixture.exif = exif;
    return WriteJpeg(fixture);
}

// The TIFF data of an EXIF block, without "Exif\0\0".
QByteArray TiffOf(const QByteArray& exif)
{
    return exif.mid(6);
}

} // namespace

TEST(JpegHeadTest, ReadsSizeOrientationAndPreviewInBothByteOrders)
{
    const QByteArray preview = SolidJpeg(32, 24, qRgb(0, 0, 255));
    for (const bool bigEndian : {false, true}) {
        const std::optional<JpegHead> head =
            HeadOf(PhotoWithExif(80, 60, ExifBlock(6, preview, bigEndian)));
        ASSERT_TRUE(head) << bigEndian;
        EXPECT_EQ(head->storedSize, QSize(80, 60));
        EXPECT_EQ(head->orientation, 6);
        EXPECT_EQ(head->OrientedSize(), QSize(60, 80));
        EXPECT_EQ(head->preview, preview);
    }
}

TEST(JpegHeadTest, PlainJpegHasNoPreviewAndNoTurn)
{
    const std::optional<JpegHead> head = HeadOf(SolidJpeg(33, 17, qRgb(9, 9, 9)));
    ASSERT_TRUE(head);
    EXPECT_EQ(head->storedSize, QSize(33, 17));
    EXPECT_EQ(head->orientation, 1);
    EXPECT_TRUE(head->preview.isEmpty());
}

TEST(JpegHeadTest, ReadsOnlyTheSegmentsBeforeTheFrame)
{
    QByteArray photo = PhotoWithExif(400, 300, ExifBlock(1, SolidJpeg(160, 120, qRgb(1, 2, 3))));
    QBuffer buffer(&photo);
    buffer.open(QIODevice::ReadOnly);
    ASSERT_TRUE(ReadJpegHead(buffer));
    // The frame header lies before the tables and the entropy-coded data, which are most
    // of the file.
    EXPECT_LT(buffer.pos(), photo.lastIndexOf("\xFF\xDA"));
}

TEST(JpegHeadTest, OrientationsOutsideOneToEightReadAsOne)
{
    for (const int orientation : {0, 9, 300}) {
        QByteArray exif = ExifBlock(1);
        // The value of the one entry of the first directory: "Exif\0\0", header, count, tag,
        // type and count come before it.
        qToLittleEndian<quint16>(quint16(orientation), exif.data() + 6 + 8 + 2 + 8);
        const std::optional<ExifFacts> facts = ParseExif(TiffOf(exif));
        ASSERT_TRUE(facts);
        EXPECT_EQ(facts->orientation, 1) << orientation;
    }
}

// Damaged blocks never read beyond their data; what they still hold reads as it is.
TEST(JpegHeadTest, DamagedExifReadsAsAbsentParts)
{
    const QByteArray preview = SolidJpeg(16, 16, qRgb(0, 255, 0));
    const QByteArray whole = TiffOf(ExifBlock(3, preview));
    struct Case
    {
        const char* name;
        QByteArray tiff;
        bool isTiff = true;
        int orientation = 1;
        bool hasPreview = false;
    };
    auto patched = [&](qsizetype at, const QByteArray& bytes) {
        QByteArray data = whole;
        data.replace(at, bytes.size(), bytes);
        return data;
    };
    const qsizetype secondDirectory = 8 + 2 + 12 + 4;
    const qsizetype previewOffsetValue = secondDirectory + 2 + 12 + 8;
    const qsizetype previewLengthValue = secondDirectory + 2 + 24 + 8;
    const Case cases[] = {
        {"whole", whole, true, 3, true},
        {"empty", QByteArray(), false},
        {"no byte order", patched(0, "XX"), false},
        {"wrong magic", patched(2, QByteArray("\x2B\x00", 2)), false},
        {"first directory beyond the end", patched(4, QByteArray("\xFF\xFF\x00\x00", 4))},
        {"entry count beyond the end", patched(8, QByteArray("\xFF\x7F", 2))},
        {"cut in the first directory", whole.first(12)},
        {"cut before the preview", whole.first(whole.size() - 4), true, 3, false},
        {"preview offset beyond the end",
         patched(previewOffsetValue, QByteArray("\xF0\xFF\xFF\x7F", 4)), true, 3, false},
        {"preview length beyond the end",
         patched(previewLengthValue, QByteArray("\xFF\xFF\xFF\xFF", 4)), true, 3, false},
        {"preview that is no JPEG",
         whole.first(whole.size() - preview.size()) + QByteArray(preview.size(), 'x'), true, 3,
         false},
        {"second directory is the first", patched(8 + 2 + 12, QByteArray("\x08\0\0\0", 4)), true, 3,
         false},
    };
    for (const Case& c : cases) {
        const std::optional<ExifFacts> facts = ParseExif(c.tiff);
        ASSERT_EQ(facts.has_value(), c.isTiff) << c.name;
        if (!facts)
            continue;
        EXPECT_EQ(facts->orientation, c.orientation) << c.name;
        EXPECT_EQ(facts->previewOffset >= 0, c.hasPreview) << c.name;
    }
}

TEST(JpegHeadTest, DamagedFilesGiveNoHead)
{
    const QByteArray photo = PhotoWithExif(40, 30, ExifBlock(6, SolidJpeg(16, 12, 0)));
    const qsizetype frame = photo.lastIndexOf("\xFF\xC0");
    ASSERT_GT(frame, 0);
    QByteArray zeroSize = photo;
    zeroSize.replace(frame + 5, 4, QByteArray(4, '\0'));
    QByteArray badLength = photo;
    badLength.replace(4, 2, QByteArray("\x00\x01", 2));
    const QByteArray cases[] = {
        QByteArray(),
        QByteArray("\xFF\xD8", 2),
        photo.first(frame),     // ends before the frame header
        photo.first(frame + 6), // cut inside it
        photo.sliced(2),        // no start of image
        zeroSize,
        badLength,
        QByteArray("\xFF\xD8\xFF\xDA\x00\x02", 6), // scan before any frame
    };
    for (const QByteArray& bytes : cases)
        EXPECT_FALSE(HeadOf(bytes)) << bytes.size();
}
