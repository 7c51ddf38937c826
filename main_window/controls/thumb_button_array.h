#pragma once

#include "main_window/controls/thumb_button.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

#include <deque>
#include <functional>
#include <vector>

class QFont;

// One cell of the gallery: what it shows and where, whether or not a widget shows it now.
// A cell shown on screen passes every change on to its widget.
class ThumbCell
{
public:
    const QString& Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    const QString& Tag() const { return tag_; }
    void SetTag(const QString& tag);
    const QImage& GetPicture() const { return picture_; }
    void SetPicture(const QImage& picture);
    // Whether the cell belongs in the gallery: its visible property. Whether it is also on
    // screen is the gallery's business, which shows only the cells near its view.
    bool InGallery() const { return inGallery_; }
    void SetInGallery(bool on);
    QPoint Position() const { return position_; }
    void Move(QPoint position);
    // Whether a widget shows the cell now, visibly.
    bool OnScreen() const;

private:
    friend class ThumbButtonArray;

    QString caption_;
    QString tag_;
    QImage picture_;
    QPoint position_;
    bool inGallery_ = false;
    ThumbButton* widget_ = nullptr;
};

// The indexed family of cells, all of them one exclusive group. Element 0 always exists;
// elements 1 and up are created as copies of it and destroyed again. The cells are plain
// records: a small pool of widgets shows those that the gallery puts on screen, each widget
// showing one cell at a time and taken over by another as the view moves.
class ThumbButtonArray
{
public:
    // `first` is the pool's first widget, showing element 0: the one of design time, whose
    // parent, size and font every other widget takes.
    explicit ThumbButtonArray(ThumbButton* first);
    ThumbButtonArray(const ThumbButtonArray&) = delete;
    ThumbButtonArray& operator=(const ThumbButtonArray&) = delete;
    ~ThumbButtonArray() = default;

    int Count() const { return static_cast<int>(cells_.size()); }
    ThumbCell* operator()(int index) { return &cells_.at(static_cast<size_t>(index)); }
    const ThumbCell* operator()(int index) const { return &cells_.at(static_cast<size_t>(index)); }
    // Creates element `index` (the next free one) as a copy of element 0 that is not in the
    // gallery, at element 0's position.
    ThumbCell* Load(int index);
    // Destroys element `index` (the last one). Element 0 cannot be destroyed.
    void Unload(int index);

    QSize CellSize() const { return first_->size(); }
    QFont Font() const;
    QRect Geometry(int index) const;

    // The selected element, or -1 when none is.
    int Selected() const { return selected_; }
    bool IsSelected(int index) const { return index == selected_; }
    // Selects element `index`, as a click on it does; the handler hears of a change.
    void Select(int index);
    void ClearSelection();
    // What a click that selects an element, and a double-click on one, are passed to.
    void SetHandlers(std::function<void(int)> selected, std::function<void(int)> doubleClicked);

    // Shows the elements from `first` to before `end` and no others: each in the gallery
    // gets a widget of the pool, which grows to as many as are shown at once.
    void ShowRange(int first, int end);
    // The widget showing element `index`, or null when none does.
    ThumbButton* Widget(int index) const;
    int WidgetCount() const { return static_cast<int>(pool_.size()); }
    // Where the keyboard focus goes when the widget that holds it turns to another cell.
    void SetFocusFallback(QWidget* widget) { focusFallback_ = widget; }
    // Watches the events of every widget of the pool, those created later included.
    void SetWidgetEventFilter(QObject* filter);

private:
    void GrowPool(int size);
    ThumbButton* NewWidget();
    int SlotOf(int index) const { return index % static_cast<int>(pool_.size()); }
    void Bind(int index);
    void Unbind(int index);
    void OnWidgetToggled(int slot, bool on);
    void OnWidgetDoubleClicked(int slot);

    // A deque, so that a cell stays where it is while others are added or removed.
    std::deque<ThumbCell> cells_;
    ThumbButton* first_;
    std::vector<ThumbButton*> pool_;
    // The element each widget of the pool shows, or -1.
    std::vector<int> shows_;
    int shownFirst_ = 0;
    int shownEnd_ = 1;
    int selected_ = -1;
    std::function<void(int)> onSelected_;
    std::function<void(int)> onDoubleClicked_;
    QWidget* focusFallback_ = nullptr;
    QObject* eventFilter_ = nullptr;
};
