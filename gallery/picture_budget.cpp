#include "gallery/picture_budget.h"

std::vector<int> PictureBudget::Hold(int index, qint64 bytes, CellRange view)
{
    Release(index);
    held_[index] = bytes;
    heldBytes_ += bytes;
    return Shed(view);
}

std::vector<int> PictureBudget::Resize(qint64 bytes, CellRange view)
{
    capacity_ = bytes;
    return Shed(view);
}

void PictureBudget::Release(int index)
{
    const auto found = held_.find(index);
    if (found == held_.end())
        return;
    heldBytes_ -= found->second;
    held_.erase(found);
}

void PictureBudget::Clear()
{
    held_.clear();
    heldBytes_ = 0;
}

// The held cells are ordered by index, so the one farthest from the view is the first or
// the last of them.
std::vector<int> PictureBudget::Shed(CellRange view)
{
    std::vector<int> shed;
    while (heldBytes_ > capacity_ && !held_.empty()) {
        const auto lowest = held_.begin();
        const auto highest = std::prev(held_.end());
        const int below = view.first - lowest->first;
        const int above = highest->first - (view.end - 1);
        if (below <= 0 && above <= 0)
            break; // only the view's own pictures are left
        const auto farthest = above >= below ? highest : lowest;
        shed.push_back(farthest->first);
        heldBytes_ -= farthest->second;
        held_.erase(farthest);
    }
    return shed;
}
