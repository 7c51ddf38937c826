#pragma once

// Windows metafiles: checked and tidied here, converted to SVG by libwmf, drawn by Qt Svg.
#include "pictures/picture.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QRectF>
#include <QSize>

#include <optional>

namespace pictures {

struct WmfDocument
{
    // The metafile as the library gets it: records that run past the data or past the
    // end-of-file record are cut, an end-of-file record is added where it is missing, and
    // the header's size fields match the records.
    QByteArray bytes;
    // The full size in pixels at 96 dpi; empty when only the drawing's bounds can tell.
    QSize size;
    // The picture's frame in the library's device units; empty when only the drawing's
    // bounds can tell.
    QRectF frame;
};

// Checks the structure of a metafile (placeable or plain) and works out its size and frame.
// Placeable files measure their frame in units per inch; plain ones have no physical size,
// so their window is taken as pixels: one logical unit per pixel.
std::optional<WmfDocument> PrepareWmf(QByteArrayView file, QString& error);

// Corrects libwmf's SVG for Qt Svg: declares the namespaces, places embedded bitmaps once
// (libwmf sets both their destination rectangle and a transform that moves and scales
// them again), fills shapes opaquely (libwmf halves fill opacity in transparent background
// mode, which only concerns hatch and text backgrounds) and escapes text, read as
// Windows-1252.
QByteArray RepairWmfSvg(const QByteArray& svg);

PictureLoad LoadWmfPicture(QByteArrayView file, const PictureRequest& request);

} // namespace pictures
