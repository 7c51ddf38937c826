#pragma once

#include <QtGlobal>

#include <map>
#include <vector>

// The cells in and beside the view: from `first` to before `end`.
struct CellRange
{
    int first = 0;
    int end = 0;

    bool Contains(int index) const { return index >= first && index < end; }
};

// Which cells hold their thumbnail's pixels, within a budget of bytes. When a picture does
// not fit, the cells farthest from the view give theirs up; a cell in the view never does,
// so the view's own pictures are held even beyond the budget.
class PictureBudget
{
public:
    explicit PictureBudget(qint64 bytes)
        : capacity_(bytes)
    {}

    // Cell `index` now holds `bytes` of pixels. Returns the cells that must let theirs go,
    // the farthest from `view` first; they are no longer counted.
    std::vector<int> Hold(int index, qint64 bytes, CellRange view);
    // A new budget; returns the cells that must let their pictures go to meet it.
    std::vector<int> Resize(qint64 bytes, CellRange view);
    void Release(int index);
    void Clear();

    qint64 Capacity() const { return capacity_; }
    qint64 HeldBytes() const { return heldBytes_; }
    bool Holds(int index) const { return held_.count(index) != 0; }

private:
    std::vector<int> Shed(CellRange view);

    qint64 capacity_;
    qint64 heldBytes_ = 0;
    std::map<int, qint64> held_; // cell index to the bytes of its picture
};
