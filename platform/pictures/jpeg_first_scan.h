#pragma once

// Progressive JPEGs decoded for a thumbnail from their leading scans: the picture at 1/8
// scale from the DC values, and for chroma subsampled both ways its lowest AC values too,
// without decoding the scans in between or reading those that follow. The loader takes this
// way when a full decode would run at 1/8 scale itself, and falls back to the full decode
// for every other layout and for damaged data.

#include <QByteArrayView>
#include <QImage>

namespace pictures {

// The picture the leading scans of a progressive JPEG hold: one pixel per 8 x 8 block of the
// frame as stored (not turned by its orientation), as a decode of the whole file at 1/8
// scale gives it but for the low bits that later scans refine. Null when the file is no
// progressive, Huffman-coded JPEG of 8-bit samples whose leading scans give every
// component its DC values, when the image ends before the AC values its chroma needs, or
// when the scans read are damaged.
QImage DecodeJpegFirstScans(QByteArrayView file);

// What decoding `file` that way holds at its fullest (a buffer of its bytes, the DC
// values, the AC values kept for chroma, the picture), which it reserves among the decodes
// in flight; 0 when the file is not one it serves. A full decode of a progressive file
// holds the coefficients of the whole image instead.
qint64 JpegFirstScansHeldBytes(QByteArrayView file);

// Whether the loader takes that way (it does unless told otherwise). The benchmark turns it
// off to measure the full decode in the same run; the program never does.
void SetJpegFirstScansUsed(bool used);

} // namespace pictures
