#include "gallery/thumbnail_geometry.h"
#include "main_window/frmMosaq.h"

#include <QPainter>

namespace {

// The picture's pixels at `size`: averaged down when they are larger, replicated when
// they are smaller, so that no detail is invented.
QImage ResampledTo(const QImage& pixels, QSize size)
{
    if (pixels.size() == size)
        return pixels;
    const bool shrinking = pixels.width() >= size.width() && pixels.height() >= size.height();
    return pixels.scaled(size, Qt::IgnoreAspectRatio,
                         shrinking ? Qt::SmoothTransformation : Qt::FastTransformation);
}

} // namespace

// Draws the source's picture, on the source's background, into the target as a 64 x 64
// thumbnail on button face, framed by a one-pixel black outline that touches the picture
// on every side. The
// target draws at the screen's pixel ratio; the geometry stays in logical pixels.
void frmMosaq::DrawThumbnail(const PictureBox& source, PictureBox& target)
{
    target.resize(kThumbnailSize, kThumbnailSize);
    target.SetBackColor(SystemColor::kButtonFace);
    target.Cls();

    const pictures::Picture& picture = source.GetPicture();
    const QRect rect = ThumbnailImageRect(QSizeF(target.width(), target.height()),
                                          QSizeF(source.width(), source.height()));
    QImage& surface = target.Surface();
    const qreal ratio = surface.devicePixelRatio();
    QPainter painter(&surface);
    if (!picture.image.isNull() && !rect.isEmpty()) {
        // The picture is copied as the source box shows it: over the source's own
        // background, which fills whatever the picture leaves transparent.
        painter.fillRect(rect, source.ResolvedBackColor());
        QImage pixels = ResampledTo(
            picture.image, ThumbnailPixelSize(QSizeF(target.width(), target.height()),
                                              QSizeF(source.width(), source.height()), ratio));
        pixels.setDevicePixelRatio(ratio);
        painter.drawImage(rect.topLeft(), pixels);
    }
    const QColor black(Qt::black);
    painter.fillRect(QRectF(rect.x() - 1, rect.y() - 1, rect.width() + 2, 1), black);
    painter.fillRect(QRectF(rect.x() - 1, rect.y() + rect.height(), rect.width() + 2, 1), black);
    painter.fillRect(QRectF(rect.x() - 1, rect.y(), 1, rect.height()), black);
    painter.fillRect(QRectF(rect.x() + rect.width(), rect.y(), 1, rect.height()), black);
}
