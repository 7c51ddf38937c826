#include "gallery/cell_pictures.h"

#include "gallery/thumbnail_geometry.h"
#include "thumbnails/thumbnail_cache.h"

#include <algorithm>
#include <cmath>

namespace {

// Icons and cursors load at the large icon size; the test looks anywhere in the name.
bool WantsIconSize(const QString& name)
{
    return name.contains(QLatin1String(".ico"), Qt::CaseInsensitive) ||
           name.contains(QLatin1String(".cur"), Qt::CaseInsensitive);
}

} // namespace

CellPictures::CellPictures(Window window)
    : window_(std::move(window))
    , fetches_(
          [this](int cell, thumbnails::ThumbnailLoad load) { TakeFetched(cell, std::move(load)); })
{}

void CellPictures::SetBudget(qint64 bytes)
{
    Release(budget_.Resize(bytes, window_.nearView()));
    FetchNearView();
}

std::vector<ThumbnailJob> CellPictures::BeginBuild(const QString& folder, const QStringList& names,
                                                   Look look)
{
    Clear();
    folder_ = folder;
    look_ = look;
    buildSources_ = {true, thumbnails::DefaultThumbnailCacheFolder(), writeCache_};
    std::vector<ThumbnailJob> jobs;
    jobs.reserve(static_cast<size_t>(names.size()));
    for (int j = 0; j < names.size(); ++j)
        jobs.push_back({j, folder + names[j], RequestFor(names[j]), buildSources_});
    return jobs;
}

// What the thumbnail of file `name` is decoded as: icons and cursors at the large icon
// size, pictures straight at the pixels the thumbnail shows, so that they are resampled
// once, not twice.
pictures::PictureRequest CellPictures::RequestFor(const QString& name) const
{
    const qreal ratio = look_.pixelRatio;
    pictures::PictureRequest request;
    request.target = QSize(kThumbnailSize - 2, kThumbnailSize - 2) * ratio;
    request.drawnSize = [ratio](QSize fullSize) {
        return ThumbnailPixelSize(QSizeF(kThumbnailSize, kThumbnailSize), QSizeF(fullSize), ratio);
    };
    request.largeIconSize = look_.largeIconSize;
    request.iconSize = WantsIconSize(name) ? pictures::IconSizeChoice::LargeIcon
                                           : pictures::IconSizeChoice::Default;
    return request;
}

void CellPictures::AddCell(const QString& name, thumbnails::ThumbnailLoad load)
{
    const int cell = CellCount();
    cells_.push_back({name, load.origin});
    const double drawnBytes =
        kThumbnailSize * kThumbnailSize * 4 * look_.pixelRatio * look_.pixelRatio;
    if (!Reserve(cell, static_cast<qint64>(std::ceil(drawnBytes)))) {
        window_.show(cell, QImage());
        return;
    }
    const QImage picture = window_.draw(*load.load.picture);
    window_.show(cell, picture);
    Keep(cell, picture);
}

void CellPictures::Clear()
{
    budget_.Clear();
    cells_.clear();
    fetching_.clear();
    fetches_.Cancel();
}

// Counts `bytes` of pixels for `cell` before it draws them; false when the budget would
// give them up at once, farthest from the view of all.
bool CellPictures::Reserve(int cell, qint64 bytes)
{
    std::vector<int> released = budget_.Hold(cell, bytes, window_.nearView());
    const auto self = std::find(released.begin(), released.end(), cell);
    const bool kept = self == released.end();
    if (!kept)
        released.erase(self);
    Release(released);
    return kept;
}

// Counts the pixels `cell` shows, as drawn.
void CellPictures::Keep(int cell, const QImage& picture)
{
    Release(budget_.Hold(cell, picture.sizeInBytes(), window_.nearView()));
}

void CellPictures::Release(const std::vector<int>& cells)
{
    for (const int cell : cells)
        window_.show(cell, QImage());
}

// Only the cells near the view are worth fetching: a fetch of another, not yet started, is
// skipped, and the cell may ask again once it comes near.
void CellPictures::FetchNearView()
{
    const CellRange near = window_.nearView();
    fetches_.SetWanted(near);
    std::erase_if(fetching_, [near](int cell) { return !near.Contains(cell); });
    const int end = std::min(near.end, CellCount());
    for (int cell = near.first; cell < end; ++cell) {
        if (budget_.Holds(cell) || !fetching_.insert(cell).second)
            continue;
        const Cell& known = cells_[static_cast<size_t>(cell)];
        fetches_.Submit({{cell, folder_ + known.name, RequestFor(known.name),
                          thumbnails::SourcesToLoadAgain(known.origin, buildSources_)}});
    }
}

// A picture fetched again. A file that can no longer be read leaves its cell without one.
void CellPictures::TakeFetched(int cell, thumbnails::ThumbnailLoad load)
{
    fetching_.erase(cell);
    if (cell >= CellCount() || budget_.Holds(cell) || !load)
        return;
    const QImage picture = window_.draw(*load.load.picture);
    window_.show(cell, picture);
    Keep(cell, picture);
}
