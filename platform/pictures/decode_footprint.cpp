#include "pictures/decode_footprint.h"

#include "pictures/internal/icon_reader.h"
#include "pictures/internal/metafile.h"
#include "pictures/internal/metafile_emf.h"
#include "pictures/internal/metafile_player.h"
#include "pictures/internal/metafile_wmf.h"
#include "pictures/internal/picture_internal.h"
#include "pictures/jpeg_head.h"
#include "pictures/picture_format.h"
#include "pictures/tuning.h"

#include <QIODevice>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace pictures {
namespace {

qint64 Sum(std::initializer_list<qint64> bytes)
{
    qint64 total = 0;
    for (const qint64 part : bytes)
        total = SaturatingSum(total, part);
    return total;
}

// Decoded at full size, then scaled to the fit; a GIF's reader keeps the canvas it draws
// frames into beside the frame it hands out.
qint64 FullSizeDecodeBytes(PictureFormat format, QSize full, const PictureRequest& request)
{
    const int images = format == PictureFormat::Gif ? 2 : 1;
    return Sum(
        {SaturatingProduct(PixelBytes(full), images), PixelBytes(DeliveredSize(full, request))});
}

// libjpeg scales by n/8 while it decodes, to the smallest n that still covers the size
// asked for (as Qt's JPEG reader chooses it); Qt then scales the output to that size, and
// the loader turns it by the orientation.
qint64 JpegDecodeBytes(const JpegHead& head, const PictureRequest& request)
{
    const QSize stored = head.storedSize;
    QSize fitted = DeliveredSize(head.OrientedSize(), request);
    if (OrientationTransposes(head.orientation))
        fitted.transpose();
    qint64 eighths = 8;
    if (fitted != stored && !fitted.isEmpty()) {
        const double reduction = std::min(double(stored.width()) / fitted.width(),
                                          double(stored.height()) / fitted.height());
        eighths = std::clamp<qint64>(qint64(std::ceil(8 / reduction)), 1, 8);
    }
    const QSize output(int((stored.width() * eighths + 7) / 8),
                       int((stored.height() * eighths + 7) / 8));
    return Sum({PixelBytes(output), SaturatingProduct(PixelBytes(fitted), 2),
                head.frame.CoefficientBytes(stored)});
}

qint64 IconDecodeBytes(QIODevice& device, const PictureRequest& request)
{
    const int wanted = WantedIconSize(request);
    const std::vector<IconEntry> entries = OrderIconEntries(ReadIconDirectory(device), wanted);
    if (entries.empty())
        return 0;
    // The chosen image, decoded from a DIB or from PNG data, then put in the loader's format.
    const QSize chosen = entries.front().size;
    return Sum(
        {SaturatingProduct(PixelBytes(chosen), 2), PixelBytes(DeliveredSize(chosen, request))});
}

// A metafile is drawn at the size it is shown at; one whose head tells no size is drawn at
// most at the request's target, or at the largest size a picture may have.
qint64 MetafileDecodeBytes(PictureFormat format, QByteArrayView head, qint64 fileBytes,
                           const PictureRequest& request)
{
    const QSize stated = format == PictureFormat::Emf ? EmfFrameSize(head) : PlaceableWmfSize(head);
    QSize drawn = DeliveredSize(stated, request);
    if (drawn.isEmpty())
        drawn = request.target;
    const qint64 raster = drawn.isEmpty() ? kMostPictureBytes : PixelBytes(drawn);
    return MetafilePlayBytes(fileBytes, raster);
}

} // namespace

qint64 DecodeFootprint(QIODevice& device, const PictureRequest& request)
{
    const qint64 start = device.pos();
    const qint64 fileBytes = std::max<qint64>(0, device.size() - start);
    const QByteArray head = device.peek(kPictureHeadBytes);
    const PictureFormat format = DetectPictureFormat(head);
    qint64 decode = 0;
    switch (format) {
    case PictureFormat::Bmp:
    case PictureFormat::PackedDib:
    case PictureFormat::Gif:
    case PictureFormat::Png:
        decode = FullSizeDecodeBytes(format, StatedPictureSize(format, head), request);
        break;
    case PictureFormat::Jpeg:
        if (const std::optional<JpegHead> jpeg = ReadJpegHead(device))
            decode = JpegDecodeBytes(*jpeg, request);
        break;
    case PictureFormat::Icon:
    case PictureFormat::Cursor:
        decode = IconDecodeBytes(device, request);
        break;
    case PictureFormat::Wmf:
    case PictureFormat::Emf:
        decode = MetafileDecodeBytes(format, head, fileBytes, request);
        break;
    case PictureFormat::Unknown:
        break;
    }
    device.seek(start);
    return Sum({fileBytes, decode});
}

} // namespace pictures
