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
    // The APP1 block written after the start of the image; none when empty.
    QByteArray exif;
    std::function<QRgb(int x, int y)> colour = [](int, int) { return qRgb(255, 0, 0); };
};

QByteArray WriteJpeg(const JpegFixture& fixture);

// An EXIF block ("Exif\0\0" and TIFF data in the byte order `bigEndian` says) whose first
// image has the `orientation` (none when 0) and whose second is the JPEG `preview` (none
// when empty).
QByteArray ExifBlock(int orientation, const QByteArray& preview = {}, bool bigEndian = false);

// A JPEG of `width` x `height` whose every pixel is `colour`.
QByteArray SolidJpeg(int width, int height, QRgb colour);
