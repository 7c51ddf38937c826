#include "pictures/internal/metafile.h"

#include "pictures/internal/metafile_emf.h"
#include "pictures/internal/metafile_player.h"
#include "pictures/internal/metafile_wmf.h"
#include "pictures/internal/picture_internal.h"

#include <algorithm>
#include <cmath>

namespace pictures {

qint64 DibColorTableEnd(const DibInfo& info, std::uint32_t usage)
{
    const int entryBytes = usage == kDibPalColors ? 2 : info.headerSize == 12 ? 3 : 4;
    return usage == kDibPalIndices ? info.paletteOffset
                                   : info.paletteOffset + qint64(info.colors) * entryBytes;
}

bool EmbeddedBitmapIsSound(const DibInfo& info, std::uint32_t usage, qint64 headerBytes,
                           qint64 bitsBytes, qint64& pixels)
{
    // GDI knows the core header and the Windows ones, and reads a color table of the size
    // the header declares.
    if (usage > kDibPalIndices || (info.headerSize != 12 && info.headerSize < 40) ||
        DibColorTableEnd(info, usage) > headerBytes || bitsBytes < 0)
        return false;
    // Divided rather than multiplied: a header may state sizes whose product overflows.
    const qint64 stride = DibStride(info.width, info.bitCount);
    if (info.compressed ? info.sizeImage == 0 || info.sizeImage > bitsBytes
                        : stride <= 0 || bitsBytes / stride < info.height)
        return false;
    pixels += qint64(info.width) * info.height;
    return pixels <= kMaxEmbeddedPixels;
}

void StateDibColors(QByteArray& record, qsizetype headerAt, const DibInfo& info)
{
    constexpr qsizetype kColorsUsedAt = 32;
    if (info.headerSize >= 40 && info.bitCount <= 8 &&
        headerAt + kColorsUsedAt + 4 <= record.size())
        PutLeU32(record, headerAt + kColorsUsedAt, std::uint32_t(info.colors));
}

int MetafilePixels(double length)
{
    return std::max(1, int(std::lround(std::min(std::abs(length), 1e6))));
}

PictureLoad LoadMetafilePicture(MetafileKind kind, QByteArrayView file,
                                const PictureRequest& request)
{
    QString error;
    const std::optional<MetafileDocument> document =
        kind == MetafileKind::Wmf ? PrepareWmf(file, error) : PrepareEmf(file, error);
    if (!document)
        return PictureFailure(error);
    std::optional<PlayedMetafile> played = PlayMetafile(kind, *document, request, error);
    if (!played)
        return PictureFailure(error);
    return PictureSuccess(std::move(played->image), played->size);
}

} // namespace pictures
