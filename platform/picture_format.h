#pragma once

#include <QByteArrayView>

namespace pictures {

enum class PictureFormat { Unknown, Bmp, PackedDib, Gif, Jpeg, Png, Icon, Cursor, Wmf, Emf };

// The format of a picture file, told by its first bytes; the file name plays no part.
PictureFormat DetectPictureFormat(QByteArrayView bytes);

} // namespace pictures
