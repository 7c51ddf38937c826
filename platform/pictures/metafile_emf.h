#pragma once

// Enhanced metafiles (EMF and EMF+): checked and tidied here, converted to SVG by
// libemf2svg, drawn by Qt Svg.
#include "pictures/picture.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>

#include <optional>

namespace pictures {

struct EmfDocument
{
    // The metafile as the library gets it: only records whose size fits the data and
    // whose type is known, bitmap records only with a sound bitmap, EMF+ comments only with
    // sound EMF+ records, ending in an end-of-file record, with a header that matches.
    QByteArray bytes;
    // The frame at 96 dpi, or the bounds where the frame is unusable.
    QSize size;
};

std::optional<EmfDocument> PrepareEmf(QByteArrayView file, QString& error);

PictureLoad LoadEmfPicture(QByteArrayView file, const PictureRequest& request);

} // namespace pictures
