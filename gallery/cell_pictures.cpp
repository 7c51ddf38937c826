#include "main_window/frmMosaq.h"
#include "thumbnails/thumbnail_cache.h"
#include "thumbnails/thumbnail_source.h"

#include <algorithm>
#include <cmath>

// The cells hold their pictures within a budget of bytes. Those farthest from the view give
// theirs up first, keeping their file's name and where its picture came from; coming near
// the view again, they get it back from the same source on a worker thread, and show their
// frame and caption meanwhile.

void frmMosaq::SetPictureBudget(qint64 bytes)
{
    ReleasePictures(pictureBudget_.Resize(bytes, CellsNearView()));
    FetchPicturesNearView();
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

void frmMosaq::KeepPicture(int index)
{
    const qint64 bytes = optThumb(index)->GetPicture().sizeInBytes();
    ReleasePictures(pictureBudget_.Hold(index, bytes, CellsNearView()));
}

bool frmMosaq::ReservePicture(int index, double bytes)
{
    std::vector<int> released =
        pictureBudget_.Hold(index, static_cast<qint64>(std::ceil(bytes)), CellsNearView());
    const auto self = std::find(released.begin(), released.end(), index);
    const bool kept = self == released.end();
    if (!kept)
        released.erase(self);
    ReleasePictures(released);
    return kept;
}

void frmMosaq::ReleasePictures(const std::vector<int>& cells)
{
    for (const int index : cells)
        optThumb(index)->SetPicture(QImage());
}

void frmMosaq::FetchPicturesNearView()
{
    const CellRange near = CellsNearView();
    refetch_->SetWanted(near);
    const int end = std::min(near.end, validCells_);
    for (int i = near.first; i < end; ++i) {
        const ThumbCell* cell = optThumb(i);
        if (!cell->InGallery() || !cell->GetPicture().isNull())
            continue;
        // The source the build took: the cache entry for a cell drawn from one, else the
        // preview or the file, never an entry the build itself left behind.
        const bool fromCache = cellFromCache_.at(static_cast<size_t>(i));
        const thumbnails::ThumbnailSources sources{
            true, fromCache ? thumbnails::DefaultThumbnailCacheFolder() : QString(), false};
        refetch_->Request(i, {CellFilePath(i), ThumbnailRequest(cell->Tag())},
                          [sources](const DecodePipeline::Job& job) {
                              return thumbnails::LoadThumbnailPicture(job.path, job.request,
                                                                      sources);
                          });
    }
}

// A picture fetched again. A file that can no longer be read leaves its cell without one.
void frmMosaq::TakeFetchedPicture(int index, const pictures::PictureLoad& load)
{
    if (index >= validCells_ || !load || !optThumb(index)->GetPicture().isNull())
        return;
    // The loading and drawing boxes are the build's too: they are left as it leaves them
    // between two files.
    optThumb(index)->SetPicture(ThumbnailOf(*load.picture));
    picLoad->ClearPicture();
    picLoad->Cls();
    KeepPicture(index);
}
