#include "gallery/grid_layout.h"
#include "main_window/frmMosaq.h"

#include <QWindow>

// Keeps the window at its minimum size, docks the gallery between toolbar and status
// bar, flows the cells into as many columns as fit, and scrolls back to the top.
void frmMosaq::Form_Resize()
{
    if (isMinimized() || unloaded_)
        return;
    // The window manager decides the size of a maximized window; resizing it would end the
    // maximized state, even one set on a window that is not shown yet.
    if (IsInNormalState() && !KeepsMinimumSize())
        return;
    LayOutGallery();
}

// Corrects a window smaller than its minimum, width first, then height; false when it did.
// The nested resize lays the window out.
bool frmMosaq::KeepsMinimumSize()
{
    // The frame around the client area, so that the minimum applies to the outer size.
    const QMargins frame = FrameMargins();
    const QSize frameExtra(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QSize outer = size() + frameExtra;
    // Tells the window manager where to stop a drag; the checks below still correct any
    // size that reaches the window. QWidget::setMinimumSize would clamp every resize
    // before these checks could see it.
    if (QWindow* window = windowHandle())
        window->setMinimumSize(kMinimumOuterSize - frameExtra);
    if (outer.width() < kMinimumOuterSize.width()) {
        ResizeAndLayOut(QSize(kMinimumOuterSize.width() - frameExtra.width(), height()));
        return false;
    }
    if (outer.height() < kMinimumOuterSize.height()) {
        ResizeAndLayOut(QSize(width(), kMinimumOuterSize.height() - frameExtra.height()));
        return false;
    }
    return true;
}

// Docks the gallery between toolbar and status bar, flows the cells into as many columns
// as fit, and scrolls back to the top.
void frmMosaq::LayOutGallery()
{
    const int toolbarHeight = tbrMain->height();
    picFrame->setGeometry(0, toolbarHeight, width(), height() - toolbarHeight - sbrMain->height());

    const int viewportWidth = picFrame->ScaleWidth();
    const int viewportHeight = picFrame->ScaleHeight();
    const int scrollBarWidth = vsbSlide->width();
    vsbSlide->setGeometry(viewportWidth - scrollBarWidth, 0, scrollBarWidth, viewportHeight);

    const auto cellWidth = static_cast<float>(optThumb(0)->width());
    const auto cellHeight = static_cast<float>(optThumb(0)->height());
    const int columns = GalleryColumns();
    const int count = optThumb.Count();
    for (int i = 0; i < count; ++i)
        optThumb(i)->move(GridCellPosition(i, columns, cellWidth, cellHeight));
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

bool frmMosaq::IsInNormalState() const
{
    return !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

// The columns of cells that fit beside the scroll bar.
int frmMosaq::GalleryColumns() const
{
    return GridColumns(static_cast<float>(picFrame->ScaleWidth()),
                       static_cast<float>(vsbSlide->width()),
                       static_cast<float>(optThumb(0)->width()));
}

// A visible window reports its new size later, and that resize notification lays it out.
// A window that is still being shown takes the size at once and raises no notification:
// it is laid out here.
void frmMosaq::ResizeAndLayOut(QSize size)
{
    resize(size);
    if (this->size() == size) {
        DockBars();
        Form_Resize();
    }
}
