#pragma once

#include <QByteArrayView>

namespace pictures {

enum class PictureFormat { Unknown, Bmp, PackedDib, Gif, Jpeg, Png, Icon, Cursor, Wmf, Emf };

// The format of a picture file, told by its first bytes; the file name plays no part.
PictureFormat DetectPictureFormat(QByteArrayView bytes);

// PNG data whose chunks are all whole, with good checksums, a sound header and an end.
// libpng reports damage it meets on stderr, so damaged data must not reach it.
bool IsWholePng(QByteArrayView bytes);

} // namespace pictures
