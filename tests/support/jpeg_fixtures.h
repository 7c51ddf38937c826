#pragma once

#include <QByteArray>
#include <QRgb>

#include <functional>
#include <vector>

// JPEG files written with libjpeg for the tests, with EXIF blocks of our own making.

// One scan of a progressive file: which components (by index), the band of coefficients
// (Ss to Se) and the successive approximation's bits (Ah, Al).
struct JpegScan
{
    std::vector<int> components;
    int ss = 0;
    int se = 0;
    int ah = 0;
    int al = 0;
};

struct JpegFixture
{
    int width = 16;
    int height = 16;
    bool progressive = false;
    bool cmyk = false;
    bool grey = false;
    // Colour pictures coded as RGB or CMYK as YCCK, with Adobe's marker saying so.
    bool rgbCoded = false;
    bool ycck = false;
    int quality = 95;
    // The first component's sampling factors; the others' are 1 x 1. libjpeg's 4:2:0.
    int lumaH = 2;
    int lumaV = 2;
    int restartInterval = 0; // MCUs between restart markers; none when 0
    bool arithmetic = false;
    // The scans of a progressive file; libjpeg's own script when empty.
    std::vector<JpegScan> scans;
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
