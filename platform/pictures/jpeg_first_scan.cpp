#include "pictures/jpeg_first_scan.h"

#include "pictures/decode_memory.h"
#include "pictures/internal/jpeg_dc_decoder.h"
#include "pictures/internal/picture_internal.h"
#include "pictures/jpeg_head.h"
#include "pictures/picture_format.h"

#include <QBuffer>
#include <QIODevice>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <utility>

namespace pictures {
namespace {

std::atomic<bool> firstScansUsed{true};

// Whether Qt's JPEG reader, asked for `scaled` pixels of a frame of `stored`, decodes at
// 1/8 scale: it takes the smallest M/8 that still gives the pixels asked for, reckoned
// as here, and smooth-scales the rest of the way.
bool QtDecodesAtOneEighth(QSize stored, QSize scaled)
{
    if (scaled.isEmpty())
        return false;
    const double factor = std::min(double(stored.width()) / scaled.width(),
                                   double(stored.height()) / scaled.height());
    return std::ceil(8 / factor) <= 1;
}

} // namespace

namespace {

// Runs `use` on a decoder of `file` whose headers it serves; a value-initialized result
// otherwise.
template <typename Use>
auto WithDecoder(QByteArrayView file, Use use) -> decltype(use(std::declval<JpegDcDecoder&>()))
{
    QByteArray bytes = QByteArray::fromRawData(file.data(), file.size());
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    JpegDcDecoder decoder(device);
    if (!decoder.ReadHeaders() ||
        !FileCanHoldPicture(PictureFormat::Jpeg, decoder.StoredSize(), bytes.size()))
        return {};
    return use(decoder);
}

} // namespace

QImage DecodeJpegFirstScans(QByteArrayView file)
{
    return WithDecoder(file, [](JpegDcDecoder& decoder) { return decoder.Decode(); });
}

qint64 JpegFirstScansHeldBytes(QByteArrayView file)
{
    return WithDecoder(file, [](JpegDcDecoder& decoder) { return decoder.HeldBytes(); });
}

void SetJpegFirstScansUsed(bool used)
{
    firstScansUsed.store(used, std::memory_order_relaxed);
}

std::optional<PictureLoad> LoadJpegFirstScans(QIODevice& device, const PictureRequest& request)
{
    if (!firstScansUsed.load(std::memory_order_relaxed) ||
        DetectPictureFormat(device.peek(kPictureHeadBytes)) != PictureFormat::Jpeg)
        return std::nullopt;
    const qint64 start = device.pos();
    const auto fallBack = [&]() -> std::optional<PictureLoad> {
        device.seek(start);
        return std::nullopt;
    };
    try {
        const std::optional<JpegHead> head = ReadJpegHead(device);
        if (!head || !head->frame.Progressive() || !device.seek(start) ||
            !FileCanHoldPicture(PictureFormat::Jpeg, head->storedSize, device.size() - start))
            return fallBack();
        const QSize size = head->OrientedSize();
        const QSize fitted = DeliveredSize(size, request);
        const QSize scaled =
            OrientationTransposes(head->orientation) ? fitted.transposed() : fitted;
        if (fitted == size || !QtDecodesAtOneEighth(head->storedSize, scaled))
            return fallBack();
        JpegDcDecoder decoder(device);
        if (!decoder.ReadHeaders() || decoder.StoredSize() != head->storedSize)
            return fallBack();
        const DecodeMemory::Reservation reservation(DecodeMemory::Shared(), decoder.HeldBytes());
        QImage image = decoder.Decode();
        if (image.isNull())
            return fallBack();
        // The rest of the way as Qt's reader goes it after its own decode at 1/8 scale.
        if (image.size() != scaled)
            image = image.scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return FinishPicture(PictureSuccess(Oriented(image, head->orientation), size), request);
    } catch (const std::exception& e) {
        qCDebug(lcPictures) << "first scans not read:" << e.what();
        return fallBack();
    }
}

} // namespace pictures
