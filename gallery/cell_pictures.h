#pragma once

#include "gallery/background_decodes.h"
#include "gallery/picture_budget.h"
#include "main_window/tuning.h"
#include "thumbnails/thumbnail_source.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <set>
#include <vector>

// The pictures of the gallery's cells. The cells hold them within a budget of bytes: those
// farthest from the view give theirs up first and keep their file's name and where its
// picture came from; coming near the view again, they get it back from the same source
// in the background, drawn as the build drew it, and show their frame and caption
// meanwhile. Lives on the window's thread, as every function here is called there.
class CellPictures
{
public:
    // What the window does for it.
    struct Window
    {
        // The cells in the view and a row on either side of it.
        std::function<CellRange()> nearView;
        // A picture drawn as its cell shows it.
        std::function<QImage(const pictures::Picture& picture)> draw;
        // Cell `cell` shows `picture`; a null picture takes it out.
        std::function<void(int cell, const QImage& picture)> show;
    };

    // How a build draws its thumbnails; a picture fetched again is drawn the same way.
    struct Look
    {
        qreal pixelRatio = 1;
        // The large icon size in device pixels, which icons and cursors load at.
        int largeIconSize = 32;
    };

    explicit CellPictures(Window window);

    void SetBudget(qint64 bytes);
    qint64 HeldBytes() const { return budget_.HeldBytes(); }
    // Whether builds leave entries in the desktop's thumbnail cache (they do).
    void SetCacheWriting(bool on) { writeCache_ = on; }

    // A build of the files `names` of `folder` begins: every cell is forgotten and every
    // fetch dropped. Returns the decodes of its thumbnails, in list order.
    std::vector<ThumbnailJob> BeginBuild(const QString& folder, const QStringList& names,
                                         Look look);
    // The build's next cell shows file `name`, whose thumbnail loaded as `load`. A picture
    // that the budget would give up at once is not drawn at all: in a large folder most
    // cells lie far below the view the build fills.
    void AddCell(const QString& name, thumbnails::ThumbnailLoad load);
    // The cells are gone: every cell is forgotten and every fetch dropped.
    void Clear();
    // The cells the latest build added.
    int CellCount() const { return static_cast<int>(cells_.size()); }

    // The view moved: the cells near it that gave their pictures up get them back.
    void FetchNearView();

private:
    struct Cell
    {
        QString name;
        thumbnails::ThumbnailOrigin origin;
    };

    pictures::PictureRequest RequestFor(const QString& name) const;
    bool Reserve(int cell, qint64 bytes);
    void Keep(int cell, const QImage& picture);
    void Release(const std::vector<int>& cells);
    void TakeFetched(int cell, thumbnails::ThumbnailLoad load);

    Window window_;
    PictureBudget budget_{kCellPictureBudgetBytes};
    bool writeCache_ = true;
    QString folder_;
    Look look_;
    thumbnails::ThumbnailSources buildSources_;
    std::vector<Cell> cells_;
    std::set<int> fetching_;
    BackgroundDecodes fetches_; // last: its results must find the rest alive
};
