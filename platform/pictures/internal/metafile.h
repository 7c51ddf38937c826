#pragma once

// What Windows metafiles (WMF) and enhanced metafiles (EMF) share on their way to a
// picture: the limits on what one file may hold, the check of the bitmaps their records
// carry, and one load sequence. Each file's records are first checked and tidied here,
// whatever plays them; the platform's player then draws them at the size the picture is
// drawn at: libwmf and libemf2svg through Qt Svg on Linux, GDI on Windows.

#include "pictures/internal/bmp_decoder.h"
#include "pictures/picture.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>

namespace pictures {

inline constexpr int kMaxMetafileRecords = 1 << 22;
// Bitmaps inside one metafile, in pixels all together.
inline constexpr qint64 kMaxEmbeddedPixels = qint64(64) << 20;

enum class MetafileKind { Wmf, Emf };

struct MetafileDocument
{
    // The metafile as the player gets it: records that run past the data, or past the
    // end-of-file record, are cut; damaged records are left out; an end-of-file record
    // ends it; the header's size fields match the records.
    QByteArray bytes;
    // The full size in pixels at 96 dpi; empty when only the drawing's bounds can tell.
    QSize size;
    // WMF only: the picture's frame in device units of 72 per inch (libwmf's points);
    // empty when only the drawing's bounds can tell.
    QRectF frame;
};

// Whether a bitmap inside a record is whole: `info` describes it and `bitsBytes` of its
// pixels are at hand. Its pixels count towards `pixels`, which may not pass
// kMaxEmbeddedPixels.
bool EmbeddedBitmapIsSound(const DibInfo& info, qint64 bitsBytes, qint64& pixels);

// A length in pixels, at least 1, of at most a million.
int MetafilePixels(double length);

struct PlayedMetafile
{
    QImage image;
    QSize size; // the picture's full size
};

// The platform's player: `document` drawn at the pixels `request` asks for, given its
// full size. Nothing, and an `error`, when it cannot be played.
std::optional<PlayedMetafile> PlayMetafile(MetafileKind kind, const MetafileDocument& document,
                                           const PictureRequest& request, QString& error);

// The most bytes the platform's player holds while it plays a metafile of `fileBytes` into
// a raster of `rasterBytes`: its copies of the records, what it turns them into, and its
// rasters.
qint64 MetafilePlayBytes(qint64 fileBytes, qint64 rasterBytes);

// Checks, tidies and plays a metafile of either kind.
PictureLoad LoadMetafilePicture(MetafileKind kind, QByteArrayView file,
                                const PictureRequest& request);

} // namespace pictures
