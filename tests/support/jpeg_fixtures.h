#pragma once

#include <QByteArray>
#include <QRgb>

#include <functional>

// JPEG files written with libjpeg for the tests, with EXIF blocks of our own making.

struct JpegFixture
{
    int width = 16;
    int height = 16;
    bool progressive = false;
    bool cmyk = false;
    bool grey = false;
    // An APP1 block written before the EXIF one (an XMP packet, say); none when empty.
    QByteArray leadingApp1;
    // The APP1 block written after the start of the image; none when empty.
    QByteArray exif;
    std::function<QRgb(int x, int y)> color = [](int, int) { return qRgb(255, 0, 0); };
};

QByteArray WriteJpeg(const JpegFixture& fixture);

// An EXIF block ("Exif\0\0" and TIFF data in the byte order `bigEndian` says) whose first
// image has the `orientation` (none when 0) and whose second is the JPEG `preview` (none
// when empty).
QByteArray ExifBlock(int orientation, const QByteArray& preview = {}, bool bigEndian = false);

// How an EXIF block's orientation is written, for the cases readers disagree on.
struct ExifLayout
{
    int orientation = 0;   // none when 0
    bool asLong = false;   // a LONG instead of the standard SHORT
    bool inSecond = false; // in the second image's (the preview's) directory only
    QByteArray preview{};  // none when empty
};
QByteArray ExifBlock(const ExifLayout& layout, bool bigEndian = false);

// An XMP packet as an APP1 block carries it.
QByteArray XmpBlock();

// A JPEG of `width` x `height` whose every pixel is `color`.
QByteArray SolidJpeg(int width, int height, QRgb color);
