#pragma once

// What the leading segments of a JPEG file tell without decoding it: the frame's size, the
// EXIF orientation and the small JPEG preview that cameras embed in the EXIF block. A
// bounded reader of our own: every offset is checked against the bytes at hand.

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QSize>

#include <optional>
#include <vector>

class QIODevice;

namespace pictures {

struct ExifFacts
{
    int orientation = 1; // 1 to 8 as EXIF numbers them; 1 when absent or unknown
    // Where the preview lies in the TIFF data of the EXIF block; none without one.
    qsizetype previewOffset = -1;
    qsizetype previewLength = 0;
};

// Reads the TIFF data of an EXIF block (what follows "Exif\0\0" in APP1): the orientation
// of the first image and the JPEG preview of the second. Nothing when the data are not
// TIFF; damaged parts read as absent.
std::optional<ExifFacts> ParseExif(QByteArrayView tiff);

// What a JPEG's frame header says of how its picture is coded.
struct JpegFrame
{
    struct Component
    {
        int horizontal = 1; // sampling factors, 1 to 4
        int vertical = 1;
    };

    int marker = 0; // SOF0 to SOF15
    std::vector<Component> components;

    // Coded in several scans, whose coefficients a decoder keeps for the whole picture.
    bool Progressive() const;
    // The bytes of those coefficients, two for each of the 64 of every 8 x 8 block of
    // every component, in whole units of the largest sampling; 0 for a picture coded in
    // one scan, which is decoded a row of blocks at a time.
    qint64 CoefficientBytes(QSize storedSize) const;
};

struct JpegHead
{
    QSize storedSize; // the frame as stored, before the orientation turns it
    JpegFrame frame;
    int orientation = 1;
    QByteArray preview; // the embedded JPEG preview; empty without one

    // The size the picture shows at once turned by its orientation.
    QSize OrientedSize() const;
};

// Reads the segments of the JPEG at the start of `device` up to its frame header, skipping
// over all but the EXIF block, so that only the file's leading part is read. Nothing when
// the data are no JPEG or end before a frame header.
std::optional<JpegHead> ReadJpegHead(QIODevice& device);

// Whether EXIF `orientation` swaps width and height.
bool OrientationTransposes(int orientation);

// `image` turned as EXIF `orientation` (1 to 8) says. Every source of a photo's picture
// (its decode, its preview, a cache entry made from it) is turned by this one rule: the
// first image's Orientation, SHORT or LONG, of the first EXIF block, wherever other APP1
// blocks stand.
QImage Oriented(const QImage& image, int orientation);

} // namespace pictures
