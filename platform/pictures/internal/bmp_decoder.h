#pragma once

// A bounded decoder of device-independent bitmaps: BMP files, packed DIBs as the clipboard
// stores them, and the bitmaps inside icons and cursors. It reads what Qt's BMP reader
// refuses too: 2-bit pixels, OS/2 2.x headers, RLE24, V3 headers, alpha bit fields and
// damaged files (bad palette sizes, runs past the row, truncated data).
#include <QByteArrayView>
#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

namespace pictures {

struct DibInfo
{
    int width = 0;
    int height = 0; // rows stored, icon masks included
    int bitCount = 0;
    bool compressed = false;  // run-length encoded
    qsizetype bitsOffset = 0; // where the pixels start when they follow the palette
    std::uint32_t headerSize = 0;
    std::uint32_t sizeImage = 0; // the bytes of compressed pixels, as the header states
    qsizetype paletteOffset = 0;
    int colors = 0; // entries of the palette the header declares
};

// The bytes of one stored row of `width` pixels of `bitCount` bits: rows are padded to
// whole 32-bit words.
qint64 DibStride(int width, int bitCount);

// Whether a DIB may have `bits` bits a pixel: 1, 2, 4, 8, 16, 24 or 32.
bool IsDibBitCount(int bits);

// The dimensions and depth of a DIB, from its header alone.
std::optional<DibInfo> ReadDibInfo(QByteArrayView dib);

struct DibOptions
{
    // Where the pixels start, counted from the start of the DIB; -1 when they follow the
    // palette directly.
    qsizetype bitsOffset = -1;
    // The DIB is an icon or cursor image: twice as high as the picture, the colors
    // followed by a one-bit AND mask that makes pixels transparent.
    bool iconWithMask = false;
};

// Decodes a DIB (a header, optional color masks and palette, and the pixels). Returns a
// null image and sets `error` when the data cannot be decoded.
QImage DecodeDib(QByteArrayView dib, const DibOptions& options, QString& error);

// Decodes a BMP file: a file header ("BM") followed by a DIB.
QImage DecodeBmpFile(QByteArrayView file, QString& error);

} // namespace pictures
