#include "main_window/controls/image_list.h"

void ImageList::Add(const QString& key, const QString& image)
{
    images_.insert(key, image);
}

void AddResourceImage(QIcon& icon, const QString& image, QSize size, QIcon::Mode mode)
{
    const QString path = QStringLiteral(":/") + image;
#ifdef TESSELLON_RASTER_ICONS
    icon.addFile(path + QStringLiteral(".png"), size, mode);
    for (const int scale : {2, 3})
        icon.addFile(path + QStringLiteral("@%1x.png").arg(scale), size * scale, mode);
#else
    icon.addFile(path + QStringLiteral(".svg"), size, mode);
#endif
}
