#pragma once

// The chunk structure of PNG data: what the loader checks before libpng sees the data, and
// what the thumbnail cache writes around Qt's pixels.
#include <QByteArray>
#include <QByteArrayView>

#include <utility>
#include <vector>

namespace pictures {

inline constexpr QByteArrayView kPngSignature("\x89PNG\r\n\x1A\n", 8);

inline bool StartsAsPng(QByteArrayView bytes)
{
    return bytes.startsWith(kPngSignature);
}

// PNG data whose chunks are all whole, with good checksums, a sound header and an end.
// libpng reports damage it meets on stderr, so damaged data must not reach it.
bool IsWholePng(QByteArrayView bytes);

// A key and its Latin-1 text, as a tEXt chunk carries them.
using PngText = std::pair<QByteArray, QByteArray>;

// Whole PNG data with `texts` inserted as uncompressed tEXt chunks right after the header,
// where readers that stop at the pixels still find them. Empty when `png` is not whole.
QByteArray WithPngTexts(QByteArrayView png, const std::vector<PngText>& texts);

} // namespace pictures
