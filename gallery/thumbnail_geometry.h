#pragma once

#include <QRect>
#include <QSizeF>

// The side of a thumbnail, in logical pixels.
inline constexpr int kThumbnailSize = 64;

// Where a picture of `source` size lands in a thumbnail of `target` size: scaled down by
// its larger side to fit within a one-pixel margin on every side (never enlarged), and
// centred, any odd pixel of free space going to the right or bottom.
QRect ThumbnailImageRect(QSizeF target, QSizeF source);

// The device pixels the picture's rectangle covers at pixel ratio `ratio`.
QSize ThumbnailPixelSize(QSizeF target, QSizeF source, qreal ratio);
