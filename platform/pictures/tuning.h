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

// Pixels of any picture that decoders may allocate without asking the file: 16 megapixels.
// Beyond them a picture must be one its file's bytes can hold (FileCanHoldPicture).
inline constexpr qint64 kAlwaysAllowedPixels = qint64(16) << 20;

// Segments a JPEG's head is read through for its frame header: it comes after a few, and
// a file that has not reached it by then is not worth reading further.
inline constexpr int kMostJpegHeadSegments = 256;

// Segments before and between the leading scans of a progressive JPEG read for a
// thumbnail; a file with more is not worth reading on.
inline constexpr int kMostFirstScanSegments = 1024;

} // namespace pictures
