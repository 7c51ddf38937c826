#pragma once

// The platform's metafile player, which draws a metafile's checked and tidied records at
// the size the picture is drawn at: libwmf and libemf2svg through Qt Svg on Linux
// (metafile_player_posix.cpp), GDI on Windows (metafile_player_windows.cpp).

#include "pictures/internal/metafile.h"
#include "pictures/metafile_records.h"
#include "pictures/picture.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

namespace pictures {

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

} // namespace pictures
