#include "common/rounding.h"
#include "files/file_names.h"
#include "gallery/background_decodes.h"
#include "gallery/caption.h"
#include "gallery/folder_path.h"
#include "gallery/thumbnail_geometry.h"
#include "main_window/frmMosaq.h"
#include "main_window/progress_geometry.h"
#include "main_window/tuning.h"
#include "pictures/picture.h"
#include "thumbnails/thumbnail_cache.h"
#include "thumbnails/thumbnail_source.h"

#include <QApplication>
#include <QHash>
#include <QLocale>
#include <QLoggingCategory>
#include <QStyle>
#include <QThread>

Q_LOGGING_CATEGORY(lcGallery, "tessellon.gallery", QtWarningMsg)

namespace {

QString CountCaption(int count)
{
    return QStringLiteral("Images: ") + QLocale().toString(count);
}

// The thumbnail of list entry `index`, serving the window's events while it is on its way.
// Nothing when the build was overtaken meanwhile.
std::optional<thumbnails::ThumbnailLoad> AwaitThumbnail(DecodesInOrder& decodes, int index,
                                                        const std::function<bool()>& superseded)
{
    for (;;) {
        if (std::optional<thumbnails::ThumbnailLoad> load = decodes.TryTake(index))
            return load;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (superseded())
            return std::nullopt;
    }
}

} // namespace

// Rebuilds the gallery from the files of the current folder: one cell per file that
// loads, in list order, with progress shown over the status bar. A build started while
// this one yields supersedes it; this one then returns at its next yield. True when the
// build ran to its end, false when it was overtaken by another or by the window's unload.
bool frmMosaq::LoadThumbnails()
{
    if (unloaded_)
        return false;
    const unsigned generation = ++buildGeneration_;
    building_ = true;
    SetBusyPointer(true);
    filHidden->Refresh();
    picSlide->setGeometry(QRect(QPoint(0, 0), optThumb.CellSize()));
    picSlide->hide();
    picSlide->SetBackColor(SystemColor::kButtonFace);
    picSlide->setFont(optThumb.Font());
    RemoveCreatedCells();
    QCoreApplication::processEvents();
    if (BuildSuperseded(generation))
        return false;

    const QString folder = FolderPath();
    const int listed = filHidden->ListCount();
    SetCountCaption(CountCaption(listed));
    PlaceProgressBar();

    QStringList names;
    names.reserve(listed);
    for (int j = 0; j < listed; ++j)
        names.append(filHidden->List(j));
    DecodesInOrder decodes(
        pictures_.BeginBuild(folder, names, {devicePixelRatioF(), LargeIconSize()}),
        kDecodesAheadPerThread * QThread::idealThreadCount());
    const auto superseded = [this, generation] { return BuildSuperseded(generation); };
    // Captions are cut by measuring prefixes of the names, and the names of one folder share
    // many: "IMG_2024", "IMG_20240" and so on are measured once each.
    const QFontMetrics canvasMetrics(picSlide->font());
    QHash<QString, int> measured;
    const TextWidthFunction textWidth = [&canvasMetrics, &measured](const QString& text) {
        if (const auto found = measured.constFind(text); found != measured.cend())
            return *found;
        if (measured.size() >= kMeasuredTextsKept)
            measured.clear();
        return *measured.insert(text, canvasMetrics.horizontalAdvance(text));
    };

    for (int j = 0; j < listed; ++j) {
        const QString& name = names[j];
        ShowProgress(BuildProgressPercent(j, listed), files::ShownName(name));
        if (BuildSuperseded(generation))
            return false;
        picLoad->ClearPicture();
        picLoad->Cls();
        std::optional<thumbnails::ThumbnailLoad> decoded = AwaitThumbnail(decodes, j, superseded);
        if (!decoded)
            return false;
        AddCell(std::move(*decoded), name, textWidth);
    }
    FinishBuild();
    return true;
}

// The build's step for one file: the file's picture drawn as a thumbnail into the next
// cell, with the file's name as tag and shortened caption. False, and no cell, for a file
// that did not load.
bool frmMosaq::AddCell(thumbnails::ThumbnailLoad load, const QString& name,
                       const TextWidthFunction& textWidth)
{
    if (!load) {
        qCDebug(lcGallery) << "skipped" << name << load.load.error;
        return false;
    }
    const int index = pictures_.CellCount();
    ThumbCell* cell = index == 0 ? optThumb(0) : optThumb.Load(index);
    cell->SetTag(name);
    cell->SetCaption(ShortenCaption(files::ShownName(name),
                                    static_cast<float>(optThumb.CellSize().width()), textWidth));
    cell->SetInGallery(true);
    pictures_.AddCell(name, std::move(load));
    return true;
}

// The thumbnail a cell shows of `picture`: drawn through the loading box, as every cell's.
// The loading box is left empty, as the build leaves it between two files.
QImage frmMosaq::ThumbnailOf(const pictures::Picture& picture)
{
    picLoad->SetPicture(picture);
    DrawThumbnail(*picLoad, *picThumb);
    QImage thumbnail = picThumb->TakeSnapshot();
    picLoad->ClearPicture();
    picLoad->Cls();
    return thumbnail;
}

// The build's end: the progress off, cell 0 selected, the gallery laid out and shown with
// the count of the cells it holds.
void frmMosaq::FinishBuild()
{
    picProgress->hide();
    picLoad->ClearPicture();
    picThumb->ClearPicture();
    picThumb->Cls();
    if (pictures_.CellCount() == 0) {
        ClearCell(0);
        sbrMain->SetPanelText(2, FolderPath());
    } else if (optThumb.IsSelected(0)) {
        optThumb_Click(0); // the cell stays selected but now holds another file
    } else {
        optThumb.Select(0);
    }
    selectedIndex_ = 0;
    Form_Resize();
    picSlide->show();
    SetCountCaption(CountCaption(pictures_.CellCount()));
    SetBusyPointer(false);
    building_ = false;
}

// The large icon size in device pixels: 32 at 96 DPI, scaled with the screen.
int frmMosaq::LargeIconSize() const
{
    return RoundToInt(style()->pixelMetric(QStyle::PM_LargeIconSize) * logicalDpiX() / 96.0);
}

void frmMosaq::filHidden_PathChange()
{
    sbrMain->SetPanelText(2, FolderPath());
    SetCountCaption(CountCaption(0));
}

// Unloads the cells that builds created; cell 0 stays.
void frmMosaq::RemoveCreatedCells()
{
    pictures_.Clear();
    while (optThumb.Count() > 1)
        optThumb.Unload(optThumb.Count() - 1);
}

// A cell with nothing in it: no picture, caption or tag, not selected and not shown.
void frmMosaq::ClearCell(int index)
{
    if (optThumb.IsSelected(index))
        optThumb.ClearSelection();
    ThumbCell* cell = optThumb(index);
    cell->SetPicture(QImage());
    cell->SetCaption(QString());
    cell->SetTag(QString());
    cell->SetInGallery(false);
}

bool frmMosaq::BuildSuperseded(unsigned generation) const
{
    return unloaded_ || generation != buildGeneration_;
}

void frmMosaq::SetBusyPointer(bool busy)
{
    if (busy == busyPointer_)
        return;
    busyPointer_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

QString frmMosaq::FolderPath() const
{
    return FolderWithSeparator(filHidden->Path());
}

QString frmMosaq::CellFilePath(int index) const
{
    return FolderPath() + optThumb(index)->Tag();
}
