#pragma once

#include "pictures/picture.h"

#include <QtGlobal>

class QIODevice;

namespace pictures {

// The most bytes a decode of the picture file at the current position of `device` holds
// at once for `request`: the file's bytes, which the loader reads whole; the pixels at the
// size the decoder produces them; what the decoder keeps beside them (a progressive JPEG's
// coefficients, a GIF's canvas, a metafile player's rasters); and the copies the loader
// makes to fit the picture. Told from the file's head (and for icons the heads of their
// images) without decoding; a picture whose head tells no size counts its file alone.
// Leaves the device where it was. Never overflows: a sum beyond 64 bits is the largest
// number.
qint64 DecodeFootprint(QIODevice& device, const PictureRequest& request);

} // namespace pictures
