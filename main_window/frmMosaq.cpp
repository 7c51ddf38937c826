#include "main_window/frmMosaq.h"

#include "basMosaq.h"
#include "common/rounding.h"
#include "main_window/command_keys.h"
#include "main_window/placement.h"
#include "main_window/setting_keys.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QWindow>

namespace {

const QString kImagePattern =
    QStringLiteral("*.bmp;*.dib;*.rle;*.gif;*.jpg;*.wmf;*.emf;*.ico;*.cur");

constexpr QSize kDesignClientSize(288, 228);
constexpr QSize kToolbarButtonSize(50, 36);
constexpr QSize kToolbarImageSize(16, 16);

struct ToolbarButtonDefinition
{
    const char* key;
    const char* caption;
    const char* toolTip;
    const char* normalImage;
    const char* hoverImage;
};

constexpr ToolbarButtonDefinition kToolbarButtons[] = {
    {kBrowseCommand.latin1(), "&Browse", "Select a Folder", "icons/browse", "icons/browse-hover"},
    {kEditCommand.latin1(), "&Select", "Choose selected image and exit", "icons/edit",
     "icons/edit-hover"},
    {kRefreshCommand.latin1(), "&Refresh", "Refresh Thumbnails", "icons/refresh",
     "icons/refresh-hover"},
    {kExitCommand.latin1(), "E&xit", "Exit Program", "icons/exit", "icons/exit-hover"},
};

PictureBox* NewPictureBox(const char* name, QWidget* container, QRect geometry, OleColor back,
                          OleColor fore, PictureBox::Border border = PictureBox::Border::None)
{
    auto* box = new PictureBox(container);
    box->setObjectName(QLatin1String(name));
    box->SetBorder(border);
    box->SetBackColor(back);
    box->SetForeColor(fore);
    box->setGeometry(geometry);
    return box;
}

} // namespace

frmMosaq::frmMosaq(const QString& settingsFile, QWidget* parent)
    : QWidget(parent)
    , picProgress(nullptr)
    , picProgressSlide(nullptr)
    , sbrMain(nullptr)
    , picThumb(nullptr)
    , filHidden(nullptr)
    , tbrMain(nullptr)
    , picCount(nullptr)
    , lblCount(nullptr)
    , picLoad(nullptr)
    , picFrame(nullptr)
    , picSlide(nullptr)
    , optThumb(new ThumbButton)
    , vsbSlide(nullptr)
    , settingsFile_(settingsFile)
    , folderPicker_([](QWidget* owner, const QString& title, const QString& initial) {
        return basMosaq::BrowseForFolder(owner, title, initial);
    })
    , pictures_({[this] { return CellsNearView(); },
                 [this](const pictures::Picture& picture) { return ThumbnailOf(picture); },
                 [this](int cell, const QImage& picture) { optThumb(cell)->SetPicture(picture); }})
{
    setWindowTitle(QStringLiteral("Tessellon"));
    QIcon programIcon;
    AddResourceImage(programIcon, QStringLiteral("tessellon"), QSize(32, 32));
    setWindowIcon(programIcon);
    CreateControls();
    SetTabOrder();
    // The gallery comes first in the tab order and starts with the keyboard focus.
    picFrame->setFocus();
    SetUpPlacementSettling();
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, kDesignClientSize,
                                    screen()->availableGeometry()));
    Form_Load();
}

frmMosaq::~frmMosaq() = default;

void frmMosaq::CreateControls()
{
    using Border = PictureBox::Border;
    picProgress = NewPictureBox("picProgress", this, {215, 179, 60, 18}, SystemColor::kButtonFace,
                                SystemColor::kButtonText, Border::Sunken3D);
    picProgressSlide = NewPictureBox("picProgressSlide", picProgress->Client(), {0, 0, 17, 14},
                                     SystemColor::kHighlight, SystemColor::kWindowText);
    CreateStatusBar();

    picThumb = NewPictureBox("picThumb", this, {145, 133, 64, 64}, SystemColor::kWindow,
                             SystemColor::kWindowText);
    picThumb->SetAutoSize(true);
    picThumb->hide();

    filHidden = new FileListBox(this);
    filHidden->setObjectName(QStringLiteral("filHidden"));
    filHidden->setGeometry(215, 142, 61, 32);
    filHidden->SetPattern(kImagePattern);
    filHidden->hide();
    connect(filHidden, &FileListBox::PathChange, this, &frmMosaq::filHidden_PathChange);

    CreateToolbar();

    picLoad = NewPictureBox("picLoad", this, {145, 51, 80, 80}, SystemColor::kWindow,
                            SystemColor::kWindowText);
    picLoad->SetAutoSize(true);
    picLoad->hide();

    picFrame = NewPictureBox("picFrame", this, {3, 52, 135, 144}, SystemColor::kButtonFace,
                             SystemColor::kButtonText, Border::Sunken3D);
    picFrame->setFocusPolicy(Qt::StrongFocus);
    picSlide = NewPictureBox("picSlide", picFrame->Client(), {6, 6, 104, 113}, SystemColor::kWindow,
                             SystemColor::kWindowText);

    ThumbButton* first = optThumb.Widget(0);
    first->setObjectName(QStringLiteral("optThumb"));
    first->setParent(picSlide->Client());
    first->resize(80, 96);
    optThumb(0)->Move({4, 4});
    optThumb.SetHandlers([this](int index) { optThumb_Click(index); },
                         [this](int index) { optThumb_DblClick(index); });
    optThumb.SetFocusFallback(picFrame);
    optThumb.SetWidgetEventFilter(this);
    for (QObject* gallery :
         {static_cast<QObject*>(picSlide), static_cast<QObject*>(picSlide->Client()),
          static_cast<QObject*>(picFrame)})
        gallery->installEventFilter(this);

    vsbSlide = new QScrollBar(Qt::Vertical, picFrame->Client());
    vsbSlide->setObjectName(QStringLiteral("vsbSlide"));
    vsbSlide->setGeometry(117, 0, 14, 140);
    vsbSlide->setRange(0, 32767);
    vsbSlide->setSingleStep(1);
    vsbSlide->setPageStep(1);
    vsbSlide->setFocusPolicy(Qt::StrongFocus);
    connect(vsbSlide, &QScrollBar::valueChanged, this, [this] {
        if (vsbSlide->isSliderDown())
            vsbSlide_Scroll();
        else
            vsbSlide_Change();
    });
    connect(vsbSlide, &QScrollBar::sliderReleased, this, &frmMosaq::vsbSlide_Change);

    // The progress indicator lies in front of the status bar, and behind the gallery until
    // a build places it over the status bar.
    picProgress->stackUnder(picFrame);
}

void frmMosaq::CreateToolbar()
{
    for (const ToolbarButtonDefinition& spec : kToolbarButtons) {
        imlTools.Add(QLatin1String(spec.key), QLatin1String(spec.normalImage));
        imlToolsHover.Add(QLatin1String(spec.key), QLatin1String(spec.hoverImage));
    }

    tbrMain = new QToolBar(this);
    tbrMain->setObjectName(QStringLiteral("tbrMain"));
    tbrMain->setGeometry(0, 0, kDesignClientSize.width(), 38);
    tbrMain->setMovable(false);
    tbrMain->setFloatable(false);
    tbrMain->setIconSize(kToolbarImageSize);
    tbrMain->setContentsMargins(0, 0, 0, 0);
    for (const ToolbarButtonDefinition& spec : kToolbarButtons) {
        const QString key = QLatin1String(spec.key);
        auto* button = new ToolbarButton(key, QString::fromLatin1(spec.caption),
                                         QString::fromLatin1(spec.toolTip), tbrMain);
        // The hot image is the icon's Active mode, which the toolbar shows under the pointer.
        QIcon icon;
        AddResourceImage(icon, imlTools.Image(key), kToolbarImageSize, QIcon::Normal);
        AddResourceImage(icon, imlToolsHover.Image(key), kToolbarImageSize, QIcon::Active);
        button->setObjectName(key);
        button->setIcon(icon);
        button->setIconSize(kToolbarImageSize);
        button->setFixedSize(kToolbarButtonSize);
        connect(button, &QToolButton::clicked, this,
                [this, button] { tbrMain_ButtonClick(button); });
        tbrMain->addWidget(button);
    }

    picCount = NewPictureBox("picCount", tbrMain, {240, 9, 121, 19}, SystemColor::kButtonFace,
                             SystemColor::kWindowText);
    picCount->setFocusPolicy(Qt::NoFocus);
    lblCount = new QLabel(picCount->Client());
    lblCount->setObjectName(QStringLiteral("lblCount"));
    lblCount->move(0, 3);
    SetCountCaption(QStringLiteral("lblCount"));
}

void frmMosaq::CreateStatusBar()
{
    sbrMain = new StatusBar(this);
    sbrMain->setObjectName(QStringLiteral("sbrMain"));
    sbrMain->setGeometry(0, 207, kDesignClientSize.width(), 21);
    QIcon folderIcon;
    AddResourceImage(folderIcon, QStringLiteral("icons/browse"), kToolbarImageSize);
    sbrMain->AddPanel(20, 20, folderIcon);
    sbrMain->AddPanel(248, 96);
    sbrMain->SetRightMargin(20);
}

void frmMosaq::SetTabOrder()
{
    QWidget* order[] = {picFrame, vsbSlide, optThumb.Widget(0)};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    QWidget* previous = optThumb.Widget(0);
    for (QWidget* button : tbrMain->findChildren<ToolbarButton*>()) {
        setTabOrder(previous, button);
        previous = button;
    }
}

void frmMosaq::SetCountCaption(const QString& caption)
{
    lblCount->setText(caption);
    lblCount->adjustSize();
}

void frmMosaq::DockBars()
{
    tbrMain->setGeometry(0, 0, width(), tbrMain->height());
    sbrMain->setGeometry(0, height() - sbrMain->height(), width(), sbrMain->height());
}

QString frmMosaq::ReadSetting(const QString& key, const QString& defaultValue) const
{
    return basMosaq::ReadSetting(kMainSection, key, defaultValue, settingsFile_);
}

void frmMosaq::WriteSetting(const QString& key, const QString& value) const
{
    basMosaq::WriteSetting(kMainSection, key, value, settingsFile_);
}

void frmMosaq::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    DockBars();
    Form_Resize();
    if (event->spontaneous())
        NotePlacementChange();
}

void frmMosaq::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
    else if (event->type() == QEvent::WindowStateChange && !isMinimized())
        Form_Resize();
    if (event->type() == QEvent::WindowStateChange)
        NotePlacementChange();
}

void frmMosaq::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Without a window manager nothing activates a new window, and the first activation
    // is what opens the last folder.
    if (!activated_ && !event->spontaneous()) {
        activateWindow();
        WatchFirstExposure();
    }
}

// A window manager may keep a new window from becoming active. The first activation's work
// then runs once the window is first on screen: queued, so that an activation reported
// with the same events comes first and this one finds the work done.
void frmMosaq::WatchFirstExposure()
{
    if (QWindow* window = windowHandle())
        window->installEventFilter(this);
}

void frmMosaq::OnFirstExposure()
{
    QWindow* window = windowHandle();
    if (window == nullptr || !window->isExposed())
        return;
    window->removeEventFilter(this);
    // The window manager may have put the window exactly where it was asked to, and then
    // reports nothing: the stored placement is checked against the frame all the same.
    NotePlacementChange();
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!activated_ && !unloaded_)
                Form_Activate();
        },
        Qt::QueuedConnection);
}

bool frmMosaq::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose)
        OnFirstExposure();
    else if (event->type() == QEvent::Wheel && ScrollGalleryByWheel(event))
        return true;
    return QWidget::eventFilter(watched, event);
}

void frmMosaq::closeEvent(QCloseEvent* event)
{
    Unload();
    event->accept();
}

void frmMosaq::Unload()
{
    if (unloaded_)
        return;
    Form_Unload();
}

void frmMosaq::Form_Load()
{
    RestorePlacement(ReadSetting(kWindowPositionKey));
    const QString maximized = ReadSetting(kMaximizedKey, QStringLiteral("False"));
    if (ParseBoolean(maximized).value_or(false))
        setWindowState(windowState() | Qt::WindowMaximized);
}

void frmMosaq::Form_Activate()
{
    if (activated_ || activating_)
        return;
    activating_ = true;
    picSlide->hide();
    QCoreApplication::processEvents();
    activating_ = false;
    if (unloaded_)
        return;
    activated_ = true;
    OpenFolder(true);
}

void frmMosaq::Form_Unload()
{
    unloaded_ = true;
    ++buildGeneration_; // a running build stops at its next yield
    SetBusyPointer(false);
    RemoveCreatedCells();
    SaveSettings();
}

void frmMosaq::SaveSettings()
{
    const Qt::WindowStates state = windowState();
    const bool minimized = state.testFlag(Qt::WindowMinimized);
    const bool maximized = state.testFlag(Qt::WindowMaximized) && !minimized;
    if (!minimized && !maximized && !state.testFlag(Qt::WindowFullScreen))
        SavePlacement();
    WriteSetting(kMaximizedKey, maximized ? QStringLiteral("True") : QStringLiteral("False"));
}
