#pragma once

// The size of enhanced metafiles (EMF and EMF+); their records are checked by PrepareEmf.
#include "pictures/internal/metafile.h"

#include <QByteArrayView>
#include <QSize>

namespace pictures {

// The size of an enhanced metafile's picture in pixels at 96 dpi, from its header: the
// frame, or the bounds where the frame is unusable; empty when neither is.
QSize EmfFrameSize(QByteArrayView header);

} // namespace pictures
