#include "files/file_names.h"
#include "gallery/navigation.h"
#include "main_window/command_keys.h"
#include "main_window/frmMosaq.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWheelEvent>

// The canvas follows the scroll bar; the viewport keeps the keyboard focus.
void frmMosaq::vsbSlide_Change()
{
    picSlide->move(picSlide->x(), -vsbSlide->value());
    ShowCellsInView();
    picFrame->setFocus();
}

// Puts on screen the cells that lie in the view or a row beside it, and takes the others
// off: the widgets of the few on screen are all the gallery holds. The cells keep their
// place in the gallery either way.
void frmMosaq::ShowCellsInView()
{
    const auto [first, end] = CellsNearView();
    optThumb.ShowRange(first, end);
    pictures_.FetchNearView();
}

void frmMosaq::vsbSlide_Scroll()
{
    vsbSlide_Change();
}

void frmMosaq::optThumb_Click(int index)
{
    if (index < 0 || index >= optThumb.Count())
        return;
    sbrMain->SetPanelText(2, files::ShownName(CellFilePath(index)));
    selectedIndex_ = index;
}

void frmMosaq::optThumb_DblClick(int /*index*/)
{
    tbrMain_ButtonClick(ToolbarButtonByKey(kEditCommand));
}

bool frmMosaq::GalleryHasFocus() const
{
    const QWidget* focus = focusWidget();
    return focus != nullptr && focus != vsbSlide &&
           (focus == picFrame || picFrame->isAncestorOf(focus));
}

// Arrow keys move the selection between cells and keep it in view; Enter selects.
void frmMosaq::keyPressEvent(QKeyEvent* event)
{
    if (!GalleryHasFocus() || pictures_.CellCount() == 0 || building_) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        tbrMain_ButtonClick(ToolbarButtonByKey(kEditCommand));
        return;
    }
    const int cellHeight = std::max(1, optThumb.CellSize().height());
    const int columns = GalleryColumns();
    const int rowsPerPage = picFrame->ScaleHeight() / cellHeight;
    const int current = std::clamp(selectedIndex_, 0, pictures_.CellCount() - 1);
    const int target =
        GalleryKeyTarget(event->key(), current, columns, rowsPerPage, pictures_.CellCount());
    if (target < 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (target != selectedIndex_)
        optThumb.Select(target);
    ScrollCellIntoView(target);
    if (ThumbButton* widget = optThumb.Widget(target))
        widget->setFocus();
}

// The wheel over the gallery scrolls it, whichever of its parts lies under the pointer.
// True when the scroll bar took the event.
bool frmMosaq::ScrollGalleryByWheel(QEvent* event)
{
    if (!vsbSlide->isEnabled())
        return false;
    QCoreApplication::sendEvent(vsbSlide, event);
    return true;
}

void frmMosaq::ScrollCellIntoView(int index)
{
    const QRect cell = optThumb.Geometry(index);
    const int viewportHeight = picFrame->ScaleHeight();
    const int top = vsbSlide->value();
    if (cell.top() < top)
        vsbSlide->setValue(cell.top());
    else if (cell.bottom() + 1 > top + viewportHeight)
        vsbSlide->setValue(cell.bottom() + 1 - viewportHeight);
}
