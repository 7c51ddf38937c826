#pragma once

// The size of Windows metafiles, placeable or plain; their records are checked by PrepareWmf.
#include "pictures/internal/metafile.h"

#include <QByteArrayView>
#include <QSize>

namespace pictures {

// The size of a placeable metafile's picture in pixels at 96 dpi, from its header; empty
// for a plain metafile, whose size only its records tell.
QSize PlaceableWmfSize(QByteArrayView head);

} // namespace pictures
