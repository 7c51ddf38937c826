#include "gallery/navigation.h"

#include <Qt>

#include <algorithm>

int GalleryKeyTarget(int key, int current, int columns, int rowsPerPage, int count)
{
    if (count <= 0)
        return -1;
    const int page = std::max(1, rowsPerPage) * columns;
    auto within = [&](int target) { return target >= 0 && target < count ? target : current; };
    switch (key) {
    case Qt::Key_Left:
        return within(current - 1);
    case Qt::Key_Right:
        return within(current + 1);
    case Qt::Key_Up:
        return within(current - columns);
    case Qt::Key_Down:
        return within(current + columns);
    case Qt::Key_PageUp:
        return current - page >= 0 ? current - page : current % columns;
    case Qt::Key_PageDown:
        return current + page < count ? current + page : within(count - 1);
    case Qt::Key_Home:
        return 0;
    case Qt::Key_End:
        return count - 1;
    default:
        return -1;
    }
}
