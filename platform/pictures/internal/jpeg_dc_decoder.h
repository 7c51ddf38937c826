#pragma once

// A progressive JPEG at 1/8 scale, read from its leading scans alone. Such a decode turns
// most components' blocks into one pixel each, by a 1 x 1 inverse transform of the DC value
// alone; a component subsampled both ways gets 2 x 2 samples a block instead, from a 2 x 2
// transform that also takes some of its lowest AC values, which its first AC scans give.
// Our own reader, since libjpeg allocates and clears the coefficients of the whole image
// before it reads the first scan.

#include <QImage>
#include <QSize>
#include <QtGlobal>

#include <memory>

class QIODevice;

namespace pictures {

class JpegDcDecoder
{
public:
    // Reads from the current position of `device` through a buffer of 64 KiB: no further
    // than that past the end of the last scan it needs. Segments it has no use for are
    // skipped, not read.
    explicit JpegDcDecoder(QIODevice& device);
    ~JpegDcDecoder();
    JpegDcDecoder(const JpegDcDecoder&) = delete;
    JpegDcDecoder& operator=(const JpegDcDecoder&) = delete;

    // Reads the segments up to the header of the first scan. True when the file is a
    // progressive, Huffman-coded JPEG of 8-bit samples in 1, 3 or 4 components whose first
    // scan is a first pass over DC values; only then may Decode be called.
    bool ReadHeaders();

    // The frame as stored, and the picture Decode makes: one pixel per block, rounded up.
    QSize StoredSize() const;
    QSize DecodedSize() const;

    // What decoding holds at its fullest: the read buffer, the DC values and the picture.
    qint64 HeldBytes() const;

    // Decodes the DC scans that lead the file, and for components subsampled both ways the
    // first passes over the AC values they keep, skipping the scans in between over their
    // data; reads nothing after the last it needs. Makes the picture: a component's
    // samples repeated over the pixels they cover, then YCbCr, RGB, CMYK or YCCK turned into
    // RGB as libjpeg and Qt's JPEG reader turn them; grey stays grey (Format_Grayscale8).
    // Low bits that later scans would refine are taken at the middle of what they may be.
    // Null when a scan of another kind comes before every component has its DC values, when
    // the image ends before the AC values needed, or when the data are damaged: restart
    // markers out of order, a code no table has, values out of range, data that end early.
    QImage Decode();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace pictures
