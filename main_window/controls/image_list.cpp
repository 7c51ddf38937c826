#include "main_window/controls/image_list.h"

#include <QPixmap>

ImageList::ImageList(QSize imageSize)
    : imageSize_(imageSize)
{}

void ImageList::Add(const QString& key, const QString& file)
{
    files_.insert(key, file);
}

QIcon ImageList::Icon(const QString& key) const
{
    return Contains(key) ? QIcon(File(key)) : QIcon();
}

QPixmap ImageList::Pixmap(const QString& key, qreal devicePixelRatio) const
{
    return Icon(key).pixmap(imageSize_, devicePixelRatio);
}
