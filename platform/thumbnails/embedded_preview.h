#pragma once

// The small JPEG preview that cameras embed in a photo's EXIF block, as a stand-in for the
// photo: used only when it shows the same picture, once black letterbox bars are off.

#include "pictures/jpeg_head.h"
#include "pictures/picture.h"

#include <QImage>
#include <QRect>
#include <QSize>

#include <optional>

namespace thumbnails {

// The part of an embedded preview that shows a picture stored at `stored`: the whole
// preview when its aspect matches within one pixel, else what is left once dark bars
// along its edges are taken off, if that matches. Nothing when neither does.
std::optional<QRect> PreviewContent(const QImage& preview, QSize stored);

// The picture of the photo's embedded preview, turned by the photo's orientation and with
// the photo's full size, when the preview shows the photo and has at least the pixels a
// picture `drawn` large needs. Nothing otherwise.
std::optional<pictures::Picture> PictureOfPreview(const pictures::JpegHead& jpeg, QSize drawn);

} // namespace thumbnails
