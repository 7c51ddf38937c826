#pragma once

#include "pictures/jpeg_head.h"

#include <QByteArrayView>
#include <QSize>

class QIODevice;

namespace pictures {

enum class PictureFormat { Unknown, Bmp, PackedDib, Gif, Jpeg, Png, Icon, Cursor, Wmf, Emf };

// The format of a picture file, told by its first bytes; the file name plays no part.
PictureFormat DetectPictureFormat(QByteArrayView bytes);

// Enough of a file's first bytes to tell its format and the size its header states.
inline constexpr qsizetype kPictureHeadBytes = 512;

// The size a bitmap's (packed DIBs too), GIF's or PNG's header states, from the file's
// first bytes, before any decoding (a GIF's logical screen, which every frame is drawn
// into). Empty where the header tells none: JPEG's frame lies after its segments, icons
// and metafiles have none.
QSize StatedPictureSize(PictureFormat format, QByteArrayView head);

// What a file's first bytes tell of its picture without decoding it.
struct PictureHead
{
    PictureFormat format = PictureFormat::Unknown;
    QSize size; // the full size, oriented; empty when not known without decoding
    JpegHead jpeg;
};

// Reads the head of the picture at the current position of `device`; where it leaves the
// device is unspecified.
PictureHead ReadPictureHead(QIODevice& device);

// Whether a file of `fileBytes` can hold the pixels of a picture of `stated` size in
// `format`, by the most pixels one byte of its coding can fill: 12-bit LZW codes of 4096
// pixels for GIF, 1032:1 deflate of one-bit pixels for PNG, a DC code of one bit per 8 x 8
// block for JPEG, run-length jumps of 255 x 255 pixels for bitmaps. Pictures of up to 16
// megapixels always pass: a decoder may allocate what a file merely claims, and beyond
// that only what a file can hold is worth the memory.
bool FileCanHoldPicture(PictureFormat format, QSize stated, qint64 fileBytes);

} // namespace pictures
