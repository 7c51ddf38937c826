#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace pictures {

// Renders SVG data, stretched to `pixels`, onto a transparent image. Returns a null image
// and sets `error` when the data are not valid SVG or the image would be too large.
QImage RenderSvg(const QByteArray& svg, const QSize& pixels, QString& error);

} // namespace pictures
