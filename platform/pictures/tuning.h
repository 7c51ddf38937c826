#pragma once

// The picture loader's numbers chosen for speed or memory, in one place. The limits that
// guard against damaged or hostile files stay beside the code that reads those files.

#include <QtGlobal>

namespace pictures {

// The most bytes of one picture: the most memory its pixels may take at the size they
// are decoded at. 512 MiB, e.g. 16384 x 8192 pixels at 4 bytes each. A larger picture is
// refused, and a file larger than this is not read at all.
inline constexpr qint64 kMostPictureBytes = qint64(512) << 20;
inline constexpr int kMostPictureMegabytes = int(kMostPictureBytes >> 20);

// The most bytes the decodes in flight may reserve together, whatever the number of
// threads decoding (DecodeMemory): four photographs of 4000 x 3000 at full size, or one
// of the largest pictures the loader accepts; a gallery of small pictures never comes
// near it.
inline constexpr qint64 kMostDecodeBytesInFlight = qint64(256) << 20;

} // namespace pictures
