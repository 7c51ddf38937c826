// Feeds arbitrary bytes to the reader of JPEG heads and EXIF blocks, and what it finds to
// the preview checks: they must never read out of bounds, crash or hang. The bytes are
// read both as a file and as the TIFF data of an EXIF block.
#include "pictures/jpeg_head.h"
#include "thumbnails/embedded_preview.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<pictures::ExifFacts> facts = pictures::ParseExif(bytes)) {
        if (facts->orientation < 1 || facts->orientation > 8)
            std::abort();
        if (facts->previewOffset >= 0 && facts->previewOffset + facts->previewLength > bytes.size())
            std::abort();
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const std::optional<pictures::JpegHead> head = pictures::ReadJpegHead(buffer);
    if (!head)
        return 0;
    if (head->storedSize.isEmpty() || head->preview.size() > bytes.size())
        std::abort();
    QImage preview;
    if (head->preview.size() < 65536 && preview.loadFromData(head->preview, "jpeg") &&
        preview.width() <= 1024 && preview.height() <= 1024) {
        if (const std::optional<QRect> content =
                thumbnails::PreviewContent(preview, head->storedSize)) {
            if (!preview.rect().contains(*content))
                std::abort();
            pictures::Oriented(preview.copy(*content), head->orientation);
        }
    }
    return 0;
}
