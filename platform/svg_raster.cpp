#include "platform/svg_raster.h"

#include "platform/picture_internal.h"

#include <QPainter>
#include <QSvgRenderer>

namespace pictures {
namespace {

// Metafiles convert to a few megabytes of SVG at most; more is a damaged or hostile file.
constexpr qsizetype kMaxSvgBytes = qsizetype(64) << 20;

} // namespace

QImage RenderSvg(const QByteArray& svg, const QSize& pixels, QString& error)
{
    if (svg.size() > kMaxSvgBytes) {
        error = QStringLiteral("drawing is too complex");
        return {};
    }
    if (!FitsPictureBudget(pixels)) {
        error = QStringLiteral("drawing of %1 x %2 pixels is too large")
                    .arg(pixels.width())
                    .arg(pixels.height());
        return {};
    }
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        error = QStringLiteral("drawing could not be converted");
        return {};
    }
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        error = QStringLiteral("not enough memory for the drawing");
        return {};
    }
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    painter.end();
    return image;
}

} // namespace pictures
