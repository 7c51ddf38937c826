#include "main_window/controls/image_list.h"

void ImageList::Add(const QString& key, const QString& file)
{
    files_.insert(key, file);
}
