#pragma once

// The DC values of a progressive JPEG, read from its leading scans alone: one value per
// 8 x 8 block, which is all a decode at 1/8 scale turns into pixels (its 1 x 1 inverse
// transform takes the DC value alone). Our own reader, since libjpeg allocates and clears
// the coefficients of the whole image before it reads the first scan.

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

    // Decodes the DC scans that lead the file and makes the picture of their values:
    // chroma repeated over the blocks it covers, then YCbCr, RGB, CMYK or YCCK turned into
    // RGB as libjpeg and Qt's JPEG reader turn them; grey stays grey (Format_Grayscale8).
    // Null when a scan of another kind comes before every component has its DC values, or
    // the data are damaged: restart markers out of order, a code no table has, values out of
    // range, data that end early.
    QImage Decode();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace pictures
