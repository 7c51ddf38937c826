// Feeds arbitrary bytes to the picture loader: it must fail cleanly, never crash, hang or
// exhaust memory. The last byte also picks the request, so that every path is reached
// while plain picture files serve as seeds.
#include "pictures/picture.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Text in metafiles is drawn with Qt's fonts, which need a GUI application.
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t choice = data[size - 1];
    pictures::PictureRequest request;
    request.iconSize =
        (choice & 1) ? pictures::IconSizeChoice::LargeIcon : pictures::IconSizeChoice::Default;
    request.largeIconSize = 16 + (choice >> 4) * 8;
    // Full-size decodes are bounded by the loader's cap; most runs ask for a thumbnail.
    if ((choice & 6) != 0)
        request.target = QSize(64, 64);
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const pictures::PictureLoad load = pictures::LoadPictureFromData(bytes, request);
    if (load && (load.picture->image.isNull() || load.picture->size.isEmpty()))
        std::abort();
    if (!load && load.error.isEmpty())
        std::abort();
    return 0;
}
