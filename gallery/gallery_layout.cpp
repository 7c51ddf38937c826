#include "gallery/grid_layout.h"
#include "main_window/frmMosaq.h"

#include <algorithm>

// Docks the gallery between toolbar and status bar, flows the cells into as many columns
// as fit, sizes the canvas and the scroll bar's range to them, and scrolls to the top.
void frmMosaq::LayOutGallery()
{
    const int toolbarHeight = tbrMain->height();
    // Below the minimum size a window may have less room than its bars take.
    picFrame->setGeometry(0, toolbarHeight, width(),
                          std::max(0, height() - toolbarHeight - sbrMain->height()));

    const int viewportWidth = picFrame->ScaleWidth();
    const int viewportHeight = picFrame->ScaleHeight();
    const int scrollBarWidth = vsbSlide->width();
    vsbSlide->setGeometry(viewportWidth - scrollBarWidth, 0, scrollBarWidth, viewportHeight);

    const auto cellWidth = static_cast<float>(optThumb.CellSize().width());
    const auto cellHeight = static_cast<float>(optThumb.CellSize().height());
    const int columns = GalleryColumns();
    const int count = optThumb.Count();
    for (int i = 0; i < count; ++i)
        optThumb(i)->Move(GridCellPosition(i, columns, cellWidth, cellHeight));
    picSlide->resize(GridCanvasSize(count, columns, cellWidth, cellHeight));

    vsbSlide->setValue(0);
    const ScrollRange range = GridScrollRange(static_cast<float>(picSlide->height()),
                                              static_cast<float>(viewportHeight), cellHeight);
    vsbSlide->setMaximum(range.maximum);
    vsbSlide->setEnabled(range.enabled);
    if (range.enabled) {
        vsbSlide->setSingleStep(range.smallChange);
        vsbSlide->setPageStep(range.largeChange);
    }
    ShowCellsInView();
}

// The columns of cells that fit beside the scroll bar.
int frmMosaq::GalleryColumns() const
{
    return GridColumns(static_cast<float>(picFrame->ScaleWidth()),
                       static_cast<float>(vsbSlide->width()),
                       static_cast<float>(optThumb.CellSize().width()));
}

// The cells in the view and a row on either side of it. A build lays its gallery out at
// the top, so while it runs, the cells near the top are those kept.
CellRange frmMosaq::CellsNearView() const
{
    const int count = optThumb.Count();
    const int cellHeight = std::max(1, optThumb.CellSize().height());
    const int columns = GalleryColumns();
    const int top = building_ ? 0 : -picSlide->y();
    const int firstRow = std::max(0, top / cellHeight - 1);
    const int lastRow = (top + picFrame->ScaleHeight()) / cellHeight + 1;
    return {std::min(count, firstRow * columns), std::min(count, (lastRow + 1) * columns)};
}
