#include "pictures/decode_footprint.h"
#include "pictures/decode_memory.h"
#include "pictures/image_reader.h"
#include "pictures/internal/bmp_decoder.h"
#include "pictures/internal/icon_reader.h"
#include "pictures/internal/metafile.h"
#include "pictures/internal/picture_internal.h"
#include "pictures/jpeg_head.h"
#include "pictures/picture.h"
#include "pictures/picture_format.h"
#include "pictures/png_chunks.h"
#include "pictures/regular_file.h"
#include "pictures/tuning.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <exception>
#include <mutex>

Q_LOGGING_CATEGORY(lcPictures, "tessellon.pictures", QtCriticalMsg)

namespace pictures {
namespace {

// A file larger than a decoded picture may be is not read at all.
constexpr qint64 kMaxFileBytes = kMostPictureBytes;

// Qt's image readers, its SVG renderer and its font code warn about damaged files through
// the message handler. While a thread decodes, what it reports is passed on under our
// category, which is silent by default, instead of reaching stderr.
thread_local bool decodingHere = false;
QtMessageHandler previousHandler = nullptr;

void RouteDecoderMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (!previousHandler)
        return;
    if (!decodingHere || type == QtFatalMsg) {
        previousHandler(type, context, text);
        return;
    }
    if (!lcPictures().isDebugEnabled())
        return;
    const QMessageLogContext ours(context.file, context.line, context.function,
                                  lcPictures().categoryName());
    previousHandler(QtDebugMsg, ours, text);
}

class DecodingScope
{
public:
    DecodingScope() { decodingHere = true; }
    ~DecodingScope() { decodingHere = false; }
    DecodingScope(const DecodingScope&) = delete;
    DecodingScope& operator=(const DecodingScope&) = delete;
};

void SetUpOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        previousHandler = qInstallMessageHandler(RouteDecoderMessages);
        QImageReader::setAllocationLimit(kMostPictureMegabytes);
    });
}

QByteArray QtFormatName(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Jpeg:
        return "jpeg";
    case PictureFormat::Gif:
        return "gif";
    case PictureFormat::Png:
        return "png";
    default:
        return "bmp";
    }
}

// Photographs and bitmaps through Qt's readers. A JPEG meant for a target decodes at a
// reduced DCT scale and arrives at the fitted size, turned by its EXIF orientation.
PictureLoad LoadWithQt(const QByteArray& data, PictureFormat format, const PictureRequest& request)
{
    MemoryImageReader memory(data, QtFormatName(format));
    int orientation = 1;
    if (format == PictureFormat::Jpeg) {
        if (const std::optional<JpegHead> head = ReadJpegHead(memory.Device())) {
            if (!FileCanHoldPicture(format, head->storedSize, data.size()))
                return PictureFailure(QStringLiteral("picture is larger than its file can hold"));
            orientation = head->orientation;
        }
        memory.Device().seek(0);
    }
    QImageReader& reader = memory.Reader();
    reader.setDecideFormatFromContent(true);
    // Qt's own reading of the orientation differs from the one rule every source follows.
    reader.setAutoTransform(false);

    QSize size;
    if (format == PictureFormat::Jpeg) {
        const QSize stored = reader.size();
        if (stored.isEmpty())
            return PictureFailure(reader.errorString());
        const bool turned = OrientationTransposes(orientation);
        size = turned ? stored.transposed() : stored;
        const QSize fitted = DeliveredSize(size, request);
        if (fitted != size) {
            reader.setScaledSize(turned ? fitted.transposed() : fitted);
            reader.setQuality(75); // 50 and above scale smoothly after the DCT reduction
        }
    }
    QImage image = reader.read();
    if (image.isNull())
        return PictureFailure(reader.errorString());
    image = Oriented(image, orientation);
    if (!size.isValid())
        size = image.size();
    return PictureSuccess(std::move(image), size);
}

// Our own decoder first: Qt's BMP reader refuses several variants, cuts color channels
// narrower than eight bits short (white becomes 248), loses channels wider than eight bits
// and makes a set one-bit alpha half transparent. Qt's reader stays as the second try.
PictureLoad LoadBitmap(const QByteArray& data, const PictureRequest& request)
{
    QString error;
    QImage image = DecodeBmpFile(data, error);
    if (image.isNull()) {
        PictureLoad load = LoadWithQt(data, PictureFormat::Bmp, request);
        return load ? load : PictureFailure(error);
    }
    const QSize size = image.size();
    return PictureSuccess(std::move(image), size);
}

PictureLoad LoadPackedDib(const QByteArray& data)
{
    QString error;
    QImage image = DecodeDib(data, {}, error);
    if (image.isNull())
        return PictureFailure(error);
    const QSize size = image.size();
    return PictureSuccess(std::move(image), size);
}

PictureLoad Decode(const QByteArray& data, const PictureRequest& request)
{
    const PictureFormat format = DetectPictureFormat(data);
    const QSize stated = StatedPictureSize(
        format, QByteArrayView(data).first(std::min(data.size(), kPictureHeadBytes)));
    if (!FileCanHoldPicture(format, stated, data.size()))
        return PictureFailure(QStringLiteral("picture is larger than its file can hold"));
    switch (format) {
    case PictureFormat::Png:
        if (!IsWholePng(data))
            return PictureFailure(QStringLiteral("PNG data are damaged"));
        return LoadWithQt(data, format, request);
    case PictureFormat::Jpeg:
    case PictureFormat::Gif:
        return LoadWithQt(data, format, request);
    case PictureFormat::Bmp:
        return LoadBitmap(data, request);
    case PictureFormat::PackedDib:
        return LoadPackedDib(data);
    case PictureFormat::Icon:
    case PictureFormat::Cursor:
        return LoadIconPicture(data, request);
    case PictureFormat::Wmf:
        return LoadMetafilePicture(MetafileKind::Wmf, data, request);
    case PictureFormat::Emf:
        return LoadMetafilePicture(MetafileKind::Emf, data, request);
    case PictureFormat::Unknown:
        break;
    }
    return PictureFailure(QStringLiteral("not a picture of a known format"));
}

// Decodes `data`, whose decode has reserved its footprint among the decodes in flight.
PictureLoad DecodeReserved(const QByteArray& data, const PictureRequest& request)
{
    SetUpOnce();
    const DecodingScope scope;
    PictureLoad load;
    try {
        load = FinishPicture(Decode(data, request), request);
    } catch (const std::exception& e) {
        // Out of memory, in Qt's containers or ours, while growing a buffer.
        load = PictureFailure(QString::fromLocal8Bit(e.what()));
    }
    if (!load)
        qCDebug(lcPictures) << "picture not loaded:" << load.error;
    return load;
}

} // namespace

QImage InLoaderFormat(QImage image)
{
    const QImage::Format format =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != format)
        image.convertTo(format); // in place where the depth stays
    return image;
}

// Gives every picture the same two pixel formats and, for a target, no more pixels than
// the fit needs.
PictureLoad FinishPicture(PictureLoad load, const PictureRequest& request)
{
    if (!load)
        return load;
    Picture& picture = *load.picture;
    if (!WithinMostPictureBytes(picture.image.size()))
        return PictureFailure(QStringLiteral("picture is too large"));
    // In the loader's format first, in place where the depth stays: Qt's smooth scaling would
    // otherwise premultiply a copy of the whole picture.
    picture.image = InLoaderFormat(std::move(picture.image));
    const QSize fitted = DeliveredSize(picture.size, request);
    if (picture.image.width() > fitted.width() || picture.image.height() > fitted.height())
        picture.image =
            picture.image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (picture.image.isNull())
        return PictureFailure(QStringLiteral("not enough memory for the picture"));
    return load;
}

bool WithinMostPictureBytes(const QSize& size)
{
    return !size.isEmpty() && PixelBytes(size) <= kMostPictureBytes;
}

PictureLoad PictureFailure(const QString& error)
{
    PictureLoad load;
    load.error = error.isEmpty() ? QStringLiteral("picture could not be read") : error;
    return load;
}

PictureLoad PictureSuccess(QImage image, const QSize& size)
{
    PictureLoad load;
    load.picture = Picture{std::move(image), size};
    return load;
}

PictureLoad LoadOpenPicture(QFile& file, const PictureRequest& request)
{
    const QString path = file.fileName();
    if (file.size() > kMaxFileBytes)
        return PictureFailure(QStringLiteral("file is too large"));
    if (std::optional<PictureLoad> load = LoadJpegFirstScans(file, request))
        return *load;
    const qint64 size = file.size();
    const DecodeMemory::Reservation reservation(DecodeMemory::Shared(),
                                                DecodeFootprint(file, request));
    QByteArray data;
    try {
        // The size it has now, at most: a file that grows while it is read stays bounded.
        data = file.read(size);
    } catch (const std::exception& e) {
        return PictureFailure(QString::fromLocal8Bit(e.what()));
    }
    if (data.isEmpty())
        return PictureFailure(QStringLiteral("file is empty"));
    PictureLoad load = DecodeReserved(data, request);
    if (!load)
        qCDebug(lcPictures) << "skipped" << path;
    return load;
}

QSize FitSizeInto(const QSize& size, const QSize& target)
{
    if (size.isEmpty() || target.isEmpty())
        return size;
    if (size.width() <= target.width() && size.height() <= target.height())
        return size;
    const qint64 w = size.width();
    const qint64 h = size.height();
    const qint64 tw = target.width();
    const qint64 th = target.height();
    const auto ceilDiv = [](qint64 a, qint64 b) { return (a + b - 1) / b; };
    if (w * th >= h * tw) // the width decides
        return {int(tw), int(std::max<qint64>(1, ceilDiv(h * tw, w)))};
    return {int(std::max<qint64>(1, ceilDiv(w * th, h))), int(th)};
}

QSize DeliveredSize(const QSize& size, const PictureRequest& request)
{
    if (!request.drawnSize || size.isEmpty())
        return FitSizeInto(size, request.target);
    const QSize drawn = request.drawnSize(size);
    if (drawn.isEmpty())
        return FitSizeInto(size, request.target);
    return drawn.boundedTo(size).expandedTo(QSize(1, 1));
}

PictureLoad LoadPictureFromData(const QByteArray& data, const PictureRequest& request)
{
    QByteArray bytes = QByteArray::fromRawData(data.constData(), data.size());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    // The first scans reserve what they take themselves; only a full decode reserves the
    // footprint.
    if (std::optional<PictureLoad> load = LoadJpegFirstScans(buffer, request))
        return *load;
    const DecodeMemory::Reservation reservation(DecodeMemory::Shared(),
                                                DecodeFootprint(buffer, request));
    return DecodeReserved(data, request);
}

PictureLoad LoadPicture(const QString& path, const PictureRequest& request)
{
    QFile file;
    if (!OpenRegularFile(file, path)) {
        qCDebug(lcPictures) << "cannot open" << path << file.errorString();
        return PictureFailure(QStringLiteral("not a file that can be read"));
    }
    return LoadOpenPicture(file, request);
}

} // namespace pictures
