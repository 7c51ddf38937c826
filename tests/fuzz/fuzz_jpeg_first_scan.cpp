// Feeds arbitrary bytes to the decoder of a progressive JPEG's leading scans (DC values,
// and the AC values of chroma subsampled both ways, with those between skipped): it must
// refuse or decode cleanly, never read out of bounds, crash, hang or allocate what the
// bytes merely claim. What it decodes has a pixel per 8 x 8 block of a frame the bytes can
// hold, in one of its two pixel formats.
#include "fuzz_require.h"
#include "pictures/jpeg_first_scan.h"

#include <QByteArrayView>
#include <QImage>

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QImage image = pictures::DecodeJpegFirstScans(bytes);
    if (image.isNull())
        return 0;
    Require(image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_Grayscale8);
    // A frame of at most 65535 x 65535 pixels, and one its bytes can hold: 16 megapixels,
    // or beyond that 512 pixels a byte.
    Require(image.width() <= 8192 && image.height() <= 8192);
    const qint64 framePixels = std::max<qint64>(qint64(16) << 20, qint64(size) * 512);
    Require(qint64(image.width() - 1) * (image.height() - 1) * 64 <= framePixels);
    return 0;
}
