#include "pictures/internal/metafile.h"

#include "pictures/internal/metafile_emf.h"
#include "pictures/internal/metafile_wmf.h"

#include <algorithm>
#include <cmath>

namespace pictures {

bool EmbeddedBitmapIsSound(const DibInfo& info, qint64 bitsBytes, qint64& pixels)
{
    // Divided rather than multiplied: a header may state sizes whose product overflows.
    const qint64 stride = DibStride(info.width, info.bitCount);
    if (!info.compressed && (stride <= 0 || bitsBytes / stride < info.height))
        return false;
    pixels += qint64(info.width) * info.height;
    return pixels <= kMaxEmbeddedPixels;
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
