#pragma once

// Shared by the picture decoders inside the loader; nothing outside platform/pictures/
// includes it.
#include "pictures/picture.h"
#include "pictures/tuning.h"

#include <QByteArrayView>
#include <QFile>
#include <QLoggingCategory>
#include <QtEndian>
#include <QtNumeric>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

class QIODevice;

// Warnings of the decoders and their libraries; silent unless enabled by logging rules
// (QT_LOGGING_RULES="tessellon.pictures.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcPictures)

namespace pictures {

// True when a 32-bit image of `size` is not empty and stays within the most bytes of one
// picture (kMostPictureBytes).
bool WithinMostPictureBytes(const QSize& size);

// Byte counts worked out from sizes that files state: a result beyond 64 bits is the largest
// number rather than an overflow. Negative parts count as none.
inline qint64 SaturatingProduct(qint64 a, qint64 b)
{
    qint64 product = 0;
    if (a <= 0 || b <= 0)
        return 0;
    return qMulOverflow(a, b, &product) ? std::numeric_limits<qint64>::max() : product;
}
inline qint64 SaturatingSum(qint64 a, qint64 b)
{
    qint64 sum = 0;
    return qAddOverflow(std::max<qint64>(a, 0), std::max<qint64>(b, 0), &sum)
               ? std::numeric_limits<qint64>::max()
               : sum;
}

// The bytes of an image of `size` at `bytesPerPixel`; 0 for an empty size.
inline qint64 PixelBytes(QSize size, qint64 bytesPerPixel = 4)
{
    return SaturatingProduct(SaturatingProduct(size.width(), size.height()), bytesPerPixel);
}

// A progressive JPEG for a thumbnail, from the DC values of its leading scans
// (jpeg_first_scan.h), reserving what that takes among the decodes in flight. Nothing when the
// file is not one this way serves, or its scans are damaged: the device is then back where
// it was, for the full decode.
std::optional<PictureLoad> LoadJpegFirstScans(QIODevice& device, const PictureRequest& request);

// Little-endian numbers of a file's bytes at `at`; the caller has checked the bounds.
inline std::uint16_t LeU16(QByteArrayView data, qsizetype at)
{
    return qFromLittleEndian<std::uint16_t>(data.data() + at);
}
inline std::int16_t LeS16(QByteArrayView data, qsizetype at)
{
    return qFromLittleEndian<std::int16_t>(data.data() + at);
}
inline std::uint32_t LeU32(QByteArrayView data, qsizetype at)
{
    return qFromLittleEndian<std::uint32_t>(data.data() + at);
}
inline std::int32_t LeS32(QByteArrayView data, qsizetype at)
{
    return qFromLittleEndian<std::int32_t>(data.data() + at);
}

// Writes little-endian numbers into `data` at `at`; the caller has checked the bounds.
inline void PutLeU16(QByteArray& data, qsizetype at, std::uint16_t value)
{
    qToLittleEndian(value, data.data() + at);
}
inline void PutLeU32(QByteArray& data, qsizetype at, std::uint32_t value)
{
    qToLittleEndian(value, data.data() + at);
}

} // namespace pictures
