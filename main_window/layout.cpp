#include "main_window/frmMosaq.h"

#include <QWindow>

// Asks for the minimum size, then lays the gallery out in the room there is. A window
// manager may hold the window below its minimum (a tiling one does, beside another window):
// the gallery is then laid out at the size the window has, and again at the minimum if the
// window manager grants it.
void frmMosaq::Form_Resize()
{
    if (isMinimized() || unloaded_)
        return;
    // The window manager decides the size of a maximized window; resizing it would end the
    // maximized state, even one set on a window that is not shown yet.
    if (IsInNormalState() && !KeepsMinimumSize() && MeetsMinimumSize())
        return; // the nested resize has laid the window out at its minimum
    LayOutGallery();
}

bool frmMosaq::MeetsMinimumSize() const
{
    const QMargins frame = FrameMargins();
    const QSize outer = size() + QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    return outer.width() >= kMinimumOuterSize.width() &&
           outer.height() >= kMinimumOuterSize.height();
}

// Corrects a window smaller than its minimum, width first, then height; false when it asked
// for a correction. Where the window takes the size at once, the nested resize lays it out.
bool frmMosaq::KeepsMinimumSize()
{
    // The frame around the client area, so that the minimum applies to the outer size.
    const QMargins frame = FrameMargins();
    const QSize frameExtra(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QSize outer = size() + frameExtra;
    HintMinimumSize(frame);
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

// Tells the window manager where to stop a drag; KeepsMinimumSize still corrects any size
// that reaches the window. QWidget::setMinimumSize would clamp every resize before it
// could see it. The window manager holds a requested size to this hint as it stands when
// the request arrives, so the hint must follow the frame before any request is sent.
void frmMosaq::HintMinimumSize(const QMargins& frame)
{
    if (QWindow* window = windowHandle())
        window->setMinimumSize(kMinimumOuterSize -
                               QSize(frame.left() + frame.right(), frame.top() + frame.bottom()));
}

bool frmMosaq::IsInNormalState() const
{
    return !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
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
