#include "main_window/controls/thumb_button_array.h"

#include <QSignalBlocker>

void ThumbCell::SetCaption(const QString& caption)
{
    caption_ = caption;
    if (widget_ != nullptr)
        widget_->SetCaption(caption);
}

void ThumbCell::SetTag(const QString& tag)
{
    tag_ = tag;
    if (widget_ != nullptr)
        widget_->SetTag(tag);
}

void ThumbCell::SetPicture(const QImage& picture)
{
    picture_ = picture;
    if (widget_ != nullptr)
        widget_->SetPicture(picture);
}

void ThumbCell::SetInGallery(bool on)
{
    inGallery_ = on;
    if (widget_ != nullptr)
        widget_->setVisible(on);
}

void ThumbCell::Move(QPoint position)
{
    position_ = position;
    if (widget_ != nullptr)
        widget_->move(position);
}

bool ThumbCell::OnScreen() const
{
    return widget_ != nullptr && widget_->isVisible();
}

ThumbButtonArray::ThumbButtonArray(ThumbButton* first)
    : first_(first)
{
    ThumbCell& cell = cells_.emplace_back();
    cell.inGallery_ = true;
    cell.widget_ = first;
    pool_.push_back(first);
    shows_.push_back(0);
    QObject::connect(first, &QAbstractButton::toggled, first,
                     [this](bool on) { OnWidgetToggled(0, on); });
    QObject::connect(first, &ThumbButton::DoubleClicked, first,
                     [this] { OnWidgetDoubleClicked(0); });
}

ThumbCell* ThumbButtonArray::Load(int index)
{
    Q_ASSERT(index == Count());
    ThumbCell& cell = cells_.emplace_back();
    cell.position_ = cells_.front().position_;
    return &cell;
}

void ThumbButtonArray::Unload(int index)
{
    Q_ASSERT(index > 0 && index == Count() - 1);
    if (index <= 0 || index != Count() - 1)
        return;
    Unbind(index);
    if (selected_ == index)
        selected_ = -1;
    cells_.pop_back();
}

QFont ThumbButtonArray::Font() const
{
    return first_->font();
}

QRect ThumbButtonArray::Geometry(int index) const
{
    return {(*this)(index)->Position(), CellSize()};
}

void ThumbButtonArray::Select(int index)
{
    if (index == selected_ || index < 0 || index >= Count())
        return;
    ClearSelection();
    selected_ = index;
    if (ThumbButton* widget = Widget(index)) {
        const QSignalBlocker blocker(widget);
        widget->setChecked(true);
    }
    if (onSelected_)
        onSelected_(index);
}

void ThumbButtonArray::ClearSelection()
{
    if (selected_ < 0)
        return;
    if (ThumbButton* widget = Widget(selected_)) {
        const QSignalBlocker blocker(widget);
        widget->setChecked(false);
    }
    selected_ = -1;
}

void ThumbButtonArray::SetHandlers(std::function<void(int)> selected,
                                   std::function<void(int)> doubleClicked)
{
    onSelected_ = std::move(selected);
    onDoubleClicked_ = std::move(doubleClicked);
}

void ThumbButtonArray::ShowRange(int first, int end)
{
    end = std::clamp(end, 0, Count());
    first = std::clamp(first, 0, end);
    if (end - first > WidgetCount())
        GrowPool(end - first);
    for (int i = shownFirst_; i < std::min(shownEnd_, Count()); ++i) {
        if (i < first || i >= end)
            Unbind(i);
    }
    for (int i = first; i < end; ++i)
        Bind(i);
    shownFirst_ = first;
    shownEnd_ = end;
}

ThumbButton* ThumbButtonArray::Widget(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return cells_[static_cast<size_t>(index)].widget_;
}

void ThumbButtonArray::SetWidgetEventFilter(QObject* filter)
{
    eventFilter_ = filter;
    for (ThumbButton* widget : pool_)
        widget->installEventFilter(filter);
}

// A pool of another size shows the cells in other widgets, so every cell gives up its own.
void ThumbButtonArray::GrowPool(int size)
{
    for (int i = shownFirst_; i < std::min(shownEnd_, Count()); ++i)
        Unbind(i);
    while (WidgetCount() < size) {
        pool_.push_back(NewWidget());
        shows_.push_back(-1);
    }
}

ThumbButton* ThumbButtonArray::NewWidget()
{
    auto* widget = new ThumbButton(first_->parentWidget());
    widget->hide();
    widget->setFont(first_->font());
    widget->resize(first_->size());
    if (eventFilter_ != nullptr)
        widget->installEventFilter(eventFilter_);
    const int slot = WidgetCount();
    QObject::connect(widget, &QAbstractButton::toggled, widget,
                     [this, slot](bool on) { OnWidgetToggled(slot, on); });
    QObject::connect(widget, &ThumbButton::DoubleClicked, widget,
                     [this, slot] { OnWidgetDoubleClicked(slot); });
    return widget;
}

void ThumbButtonArray::Bind(int index)
{
    ThumbCell& cell = cells_[static_cast<size_t>(index)];
    const int slot = SlotOf(index);
    ThumbButton* widget = pool_[static_cast<size_t>(slot)];
    if (cell.widget_ != widget) {
        if (const int shown = shows_[static_cast<size_t>(slot)]; shown >= 0)
            Unbind(shown);
        cell.widget_ = widget;
        shows_[static_cast<size_t>(slot)] = index;
        const QSignalBlocker blocker(widget);
        widget->SetTag(cell.tag_);
        widget->SetCaption(cell.caption_);
        widget->SetPicture(cell.picture_);
        widget->setChecked(index == selected_);
        widget->setGeometry(QRect(cell.position_, first_->size()));
    }
    widget->setVisible(cell.inGallery_);
}

// The widget gives the cell up, hidden; the keyboard focus it held stays in the gallery.
void ThumbButtonArray::Unbind(int index)
{
    ThumbCell& cell = cells_[static_cast<size_t>(index)];
    ThumbButton* widget = cell.widget_;
    if (widget == nullptr)
        return;
    if (widget->hasFocus() && focusFallback_ != nullptr)
        focusFallback_->setFocus();
    widget->hide();
    widget->setDown(false);
    widget->SetPicture(QImage());
    shows_[static_cast<size_t>(SlotOf(index))] = -1;
    cell.widget_ = nullptr;
}

void ThumbButtonArray::OnWidgetToggled(int slot, bool on)
{
    // Only a click turns a widget on unprompted; every other change of its state comes
    // from the cell it shows.
    const int index = shows_[static_cast<size_t>(slot)];
    if (on && index >= 0)
        Select(index);
}

void ThumbButtonArray::OnWidgetDoubleClicked(int slot)
{
    const int index = shows_[static_cast<size_t>(slot)];
    if (index >= 0 && onDoubleClicked_)
        onDoubleClicked_(index);
}
