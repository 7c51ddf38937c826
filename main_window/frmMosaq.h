#pragma once

#include "gallery/background_decodes.h"
#include "gallery/caption.h"
#include "gallery/cell_pictures.h"
#include "main_window/controls/file_list_box.h"
#include "main_window/controls/image_list.h"
#include "main_window/controls/picture_box.h"
#include "main_window/controls/status_bar.h"
#include "main_window/controls/thumb_button_array.h"
#include "main_window/controls/toolbar_button.h"

#include <QLabel>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

// The program's one window: a toolbar of commands, the gallery of thumbnails and a
// status bar. Its handlers live in the files of their concern: composition and life
// cycle here, layout, commands and progress beside it, the gallery in gallery/.
class frmMosaq : public QWidget
{
    Q_OBJECT

public:
    // Shows the folder picker; returns the chosen folder or empty text.
    using FolderPicker =
        std::function<QString(QWidget* owner, const QString& title, const QString& initial)>;

    // `settingsFile` empty: the program's own settings file beside the executable.
    explicit frmMosaq(const QString& settingsFile = QString(), QWidget* parent = nullptr);
    ~frmMosaq() override;

    // Controls, in the window's control order.
    PictureBox* picProgress;
    PictureBox* picProgressSlide;
    StatusBar* sbrMain;
    PictureBox* picThumb;
    FileListBox* filHidden;
    ImageList imlTools;
    QToolBar* tbrMain;
    PictureBox* picCount;
    QLabel* lblCount;
    PictureBox* picLoad;
    PictureBox* picFrame;
    PictureBox* picSlide;
    ThumbButtonArray optThumb;
    QScrollBar* vsbSlide;
    ImageList imlToolsHover;

    // Life cycle.
    void Form_Load();
    void Form_Activate();
    void Form_Unload();
    // Unloads the window unless it is unloaded already.
    void Unload();
    // Writes the placement and the maximized state, as the unload does; the window goes on.
    void SaveSettings();
    // Layout.
    void Form_Resize();
    // Commands.
    void tbrMain_ButtonClick(ToolbarButton* button);
    ToolbarButton* ToolbarButtonByKey(const QString& key) const;
    // Progress.
    void PlaceProgressBar();
    void ShowProgress(int percent, const QString& text);
    // Gallery.
    void OpenFolder(bool noDialog);
    bool LoadThumbnails();
    void filHidden_PathChange();
    void DrawThumbnail(const PictureBox& source, PictureBox& target);
    // Scrolling and selection.
    void vsbSlide_Change();
    void vsbSlide_Scroll();
    void optThumb_Click(int index);
    void optThumb_DblClick(int index);

    int SelectedIndex() const { return selectedIndex_; }
    bool IsBuilding() const { return building_; }
    bool HasActivated() const { return activated_; }
    bool IsUnloaded() const { return unloaded_; }

Q_SIGNALS:
    // The window was unloaded by Exit or Select: the program ends now.
    void ProgramEnded();

public:
    void SetFolderPicker(FolderPicker picker) { folderPicker_ = std::move(picker); }
    // Whether gallery builds leave entries in the desktop's thumbnail cache (they do).
    void SetThumbnailCacheWriting(bool on) { pictures_.SetCacheWriting(on); }
    // The bytes of thumbnail pixels the cells hold at most, beside those in view.
    void SetPictureBudget(qint64 bytes) { pictures_.SetBudget(bytes); }
    const CellPictures& Pictures() const { return pictures_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The smallest outer size the window takes.
    static constexpr QSize kMinimumOuterSize{346, 378};

    // Composition and life cycle (frmMosaq.cpp).
    void CreateControls();
    void CreateToolbar();
    void CreateStatusBar();
    void SetTabOrder();
    void DockBars();
    void SetCountCaption(const QString& caption);
    QString ReadSetting(const QString& key, const QString& defaultValue = QString()) const;
    void WriteSetting(const QString& key, const QString& value) const;
    void WatchFirstExposure();
    void OnFirstExposure();
    // Layout (layout.cpp).
    bool IsInNormalState() const;
    bool KeepsMinimumSize();
    bool MeetsMinimumSize() const;
    void HintMinimumSize(const QMargins& frame);
    void ResizeAndLayOut(QSize size);
    // Commands (commands.cpp).
    void SelectAndExit();
    // Placement (window_placement.cpp).
    void SetUpPlacementSettling();
    bool RestorePlacement(const QString& stored);
    QMargins FrameMargins() const;
    QRect OuterGeometry() const;
    void ApplyOuterGeometry(const QRect& outer);
    void SavePlacement();
    void NotePlacementChange();
    void SettlePlacement();
    // The gallery's build (gallery/build.cpp).
    QString FolderPath() const;
    QString CellFilePath(int index) const;
    int LargeIconSize() const;
    void RemoveCreatedCells();
    void ClearCell(int index);
    bool AddCell(thumbnails::ThumbnailLoad load, const QString& name,
                 const TextWidthFunction& textWidth);
    QImage ThumbnailOf(const pictures::Picture& picture);
    void FinishBuild();
    void SetBusyPointer(bool busy);
    bool BuildSuperseded(unsigned generation) const;
    // The gallery's layout (gallery/gallery_layout.cpp).
    void LayOutGallery();
    int GalleryColumns() const;
    CellRange CellsNearView() const;
    // Scrolling and selection (gallery/selection.cpp).
    bool ScrollGalleryByWheel(QEvent* event);
    bool GalleryHasFocus() const;
    void ScrollCellIntoView(int index);
    void ShowCellsInView();

    QString settingsFile_;
    FolderPicker folderPicker_;
    int selectedIndex_ = 0;
    bool activated_ = false;
    bool activating_ = false;
    // The stored placement on its way to the window, until a window manager's framing has
    // settled (main_window/window_placement.cpp).
    struct PlacementSettling
    {
        // The stored outer placement, until the window is framed and has taken it.
        std::optional<QRect> pendingOuter;
        // The "Window Position" the window was restored to; empty when none could be.
        QString restoredPosition;
        QTimer timer;
        int correctionsLeft = 0;
    } placement_;
    bool unloaded_ = false;
    bool building_ = false;
    bool busyPointer_ = false;
    unsigned buildGeneration_ = 0;
    // The cells' pictures: which hold theirs, where each came from, and their fetching back.
    CellPictures pictures_;
};
