#pragma once

// What Windows metafiles (WMF) and enhanced metafiles (EMF) share on their way to a
// picture: the limits on what one file may hold, the check of the bitmaps their records
// carry, and one load sequence. Each file's records are first checked and tidied here,
// whatever plays them; the platform's player then draws them at the size the picture is
// drawn at (metafile_player.h).

#include "pictures/internal/bmp_decoder.h"
#include "pictures/metafile_records.h"
#include "pictures/picture.h"

#include <QByteArrayView>
#include <QSize>
#include <QString>

#include <cstdint>
#include <optional>

namespace pictures {

inline constexpr int kMaxMetafileRecords = 1 << 22;
// Bitmaps inside one metafile, in pixels all together.
inline constexpr qint64 kMaxEmbeddedPixels = qint64(64) << 20;

enum class MetafileKind { Wmf, Emf };

// How the colors of a bitmap inside a record are given.
enum DibUsage : std::uint32_t { kDibRgbColors = 0, kDibPalColors = 1, kDibPalIndices = 2 };

// Whether a bitmap inside a record is whole as GDI reads it: `info` describes it, its
// colors are of `usage`, `headerBytes` hold its header and color table and `bitsBytes` its
// pixels. Its pixels count towards `pixels`, which may not pass kMaxEmbeddedPixels.
bool EmbeddedBitmapIsSound(const DibInfo& info, std::uint32_t usage, qint64 headerBytes,
                           qint64 bitsBytes, qint64& pixels);

// States the number of colors of a bitmap of up to 8 bits a pixel, whose header lies at
// `headerAt` in `record`, where its header leaves it to the depth: the format means the
// same, and Wine's GDI mishandles such a bitmap when it turns a Windows metafile into an
// enhanced one, writing past what it allocated.
void StateDibColors(QByteArray& record, qsizetype headerAt, const DibInfo& info);

// Where the pixels of a packed bitmap start, after its header and a color table of
// `usage`.
qint64 DibColorTableEnd(const DibInfo& info, std::uint32_t usage);

// A length in pixels, at least 1, of at most a million.
int MetafilePixels(double length);

// Checks, tidies and plays a metafile of either kind.
PictureLoad LoadMetafilePicture(MetafileKind kind, QByteArrayView file,
                                const PictureRequest& request);

} // namespace pictures
