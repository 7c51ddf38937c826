#include "gallery/thumbnail_geometry.h"

#include "common/rounding.h"

#include <cmath>

QRect ThumbnailImageRect(QSizeF target, QSizeF source)
{
    const auto dstW = static_cast<float>(target.width());
    const auto dstH = static_cast<float>(target.height());
    const auto srcW = static_cast<float>(source.width());
    const auto srcH = static_cast<float>(source.height());

    float scale = 1.0F;
    if (!(dstW - 2 >= srcW && dstH - 2 >= srcH))
        scale = srcW > srcH ? (dstW - 2) / srcW : (dstH - 2) / srcH;

    const int w = RoundToInt(srcW * scale);
    const int h = RoundToInt(srcH * scale);
    const int x = RoundToInt(std::floor((static_cast<double>(dstW) - w) / 2));
    const int y = RoundToInt(std::floor((static_cast<double>(dstH) - h) / 2));
    return {x, y, w, h};
}

QSize ThumbnailPixelSize(QSizeF target, QSizeF source, qreal ratio)
{
    return (QSizeF(ThumbnailImageRect(target, source).size()) * ratio).toSize();
}
