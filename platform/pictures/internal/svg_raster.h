#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace pictures {

// The most SVG a drawing may have; more is too complex to draw.
inline constexpr qsizetype kMaxSvgBytes = qsizetype(64) << 20;

// Renders SVG data, stretched to `pixels`, onto a transparent image. Returns a null image
// and sets `error` when the data are not valid SVG or the image would be too large.
QImage RenderSvg(const QByteArray& svg, const QSize& pixels, QString& error);

// Clamps every number in the attributes of the SVG's elements (links and names aside) to
// [-limit, limit], and counts the numbers it clamped. Qt takes time in proportion to the
// length of what it draws, so a damaged metafile with coordinates in the hundreds of
// millions would stall it for seconds.
QByteArray ClampSvgNumbers(const QByteArray& svg, double limit, int* clamped = nullptr);

} // namespace pictures
