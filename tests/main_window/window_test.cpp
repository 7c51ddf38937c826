#include "support/window_fixture.h"

#include <QSignalSpy>
#include <QTest>

namespace {

struct ControlSpec
{
    const char* name = nullptr;
    const char* container = nullptr;
    QRect geometry;
    bool visible = false;
};

QWidget* Control(frmMosaq& window, const char* name)
{
    return window.findChild<QWidget*>(QLatin1String(name));
}

// The control a child sits on: the picture box whose inner surface holds it.
QWidget* ContainerOf(const QWidget* control)
{
    QWidget* parent = control->parentWidget();
    if (parent != nullptr && parent->objectName().isEmpty() && parent->parentWidget() != nullptr)
        return parent->parentWidget();
    return parent;
}

} // namespace

using CompositionTest = WindowFixture;

TEST_F(CompositionTest, ControlsHaveTheirDesignTimeNamesPlacesAndVisibility)
{
    const std::unique_ptr<frmMosaq> window = NewWindow();
    const ControlSpec controls[] = {
        {"picProgress", "window", {215, 179, 60, 18}, true},
        {"picProgressSlide", "picProgress", {0, 0, 17, 14}, true},
        {"sbrMain", "window", {0, 207, 288, 21}, true},
        {"picThumb", "window", {145, 133, 64, 64}, false},
        {"filHidden", "window", {215, 142, 61, 32}, false},
        {"tbrMain", "window", {0, 0, 288, 38}, true},
        {"picCount", "tbrMain", {240, 9, 121, 19}, true},
        {"picLoad", "window", {145, 51, 80, 80}, false},
        {"picFrame", "window", {3, 52, 135, 144}, true},
        {"picSlide", "picFrame", {6, 6, 104, 113}, true},
        {"optThumb", "picSlide", {4, 4, 80, 96}, true},
        {"vsbSlide", "picFrame", {117, 0, 14, 140}, true},
    };
    for (const ControlSpec& spec : controls) {
        QWidget* control = Control(*window, spec.name);
        ASSERT_NE(control, nullptr) << spec.name;
        EXPECT_EQ(control->geometry(), spec.geometry) << spec.name;
        EXPECT_EQ(!control->isHidden(), spec.visible) << spec.name;
        const QWidget* container = ContainerOf(control);
        const QString expected = QLatin1String(spec.container);
        EXPECT_EQ(container == window.get() ? QStringLiteral("window") : container->objectName(),
                  expected)
            << spec.name;
    }
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tessellon"));
    EXPECT_EQ(window->size(), QSize(288, 228));
    EXPECT_EQ(window->lblCount->text(), QStringLiteral("lblCount"));
    EXPECT_EQ(window->lblCount->pos(), QPoint(0, 3));
    EXPECT_EQ(window->lblCount->size(), window->lblCount->sizeHint());
}

TEST_F(CompositionTest, BordersColorsAndStacking)
{
    const std::unique_ptr<frmMosaq> window = NewWindow();
    EXPECT_EQ(window->picFrame->frameWidth(), 2);
    EXPECT_EQ(window->picProgress->frameWidth(), 2);
    EXPECT_EQ(window->picFrame->ScaleWidth(), 131);
    for (const PictureBox* flat : {window->picSlide, window->picProgressSlide, window->picLoad,
                                   window->picThumb, window->picCount})
        EXPECT_EQ(flat->frameWidth(), 0) << flat->objectName().toStdString();

    EXPECT_EQ(window->picSlide->BackColor(), SystemColor::kWindow);
    EXPECT_EQ(window->picFrame->BackColor(), SystemColor::kButtonFace);
    EXPECT_EQ(window->picProgressSlide->BackColor(), SystemColor::kHighlight);
    EXPECT_EQ(window->picCount->ForeColor(), SystemColor::kWindowText);
    EXPECT_EQ(window->picSlide->ResolvedBackColor(), window->palette().color(QPalette::Base));

    const QObjectList& children = window->children();
    EXPECT_GT(children.indexOf(window->picProgress), children.indexOf(window->sbrMain))
        << "the progress indicator lies in front of the status bar";
}

TEST_F(CompositionTest, ToolbarButtonsCarryKeysCaptionsTooltipsAndTwoImages)
{
    const std::unique_ptr<frmMosaq> window = NewWindow();
    struct Button
    {
        const char* key;
        const char* caption;
        const char* toolTip;
    };
    const Button buttons[] = {
        {"Browse", "&Browse", "Select a Folder"},
        {"Edit", "&Select", "Choose selected image and exit"},
        {"Refresh", "&Refresh", "Refresh Thumbnails"},
        {"Exit", "E&xit", "Exit Program"},
    };
    const QList<ToolbarButton*> found = window->tbrMain->findChildren<ToolbarButton*>();
    ASSERT_EQ(found.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const Button& expected = buttons[i];
        ToolbarButton* button = found.at(i);
        EXPECT_EQ(button->Key(), QLatin1String(expected.key));
        EXPECT_EQ(button->text(), QLatin1String(expected.caption));
        EXPECT_EQ(button->toolTip(), QLatin1String(expected.toolTip));
        EXPECT_EQ(button->size(), QSize(50, 36));
        EXPECT_EQ(window->ToolbarButtonByKey(QLatin1String(expected.key)), button);
        const QImage normal = button->icon().pixmap(QSize(16, 16), 1.0, QIcon::Normal).toImage();
        const QImage hover = button->icon().pixmap(QSize(16, 16), 1.0, QIcon::Active).toImage();
        EXPECT_FALSE(normal.isNull());
        EXPECT_NE(normal, hover) << expected.key;
        EXPECT_TRUE(window->imlTools.Contains(QLatin1String(expected.key)));
        EXPECT_TRUE(window->imlToolsHover.Contains(QLatin1String(expected.key)));
    }
    EXPECT_EQ(window->ToolbarButtonByKey(QStringLiteral("edit")), nullptr);
}

TEST_F(CompositionTest, StatusBarHasAPicturePanelAndAStretchingTextPanel)
{
    const std::unique_ptr<frmMosaq> window = NewWindow();
    EXPECT_EQ(window->sbrMain->PanelCount(), 2);
    EXPECT_EQ(window->sbrMain->PanelRect(1), QRect(0, 0, 20, 21));
    EXPECT_EQ(window->sbrMain->PanelRect(2), QRect(20, 0, 248, 21));
    EXPECT_TRUE(window->sbrMain->PanelText(2).isEmpty());
    window->sbrMain->resize(1000, 21);
    EXPECT_EQ(window->sbrMain->PanelRect(2), QRect(20, 0, 960, 21));
    window->sbrMain->resize(100, 21);
    EXPECT_EQ(window->sbrMain->PanelRect(2).width(), 96) << "never below its minimum width";
}

TEST_F(CompositionTest, TabOrderRunsFromTheGalleryToTheToolbar)
{
    const std::unique_ptr<frmMosaq> window = NewWindow();
    QWidget* expected[] = {window->picFrame,
                           window->vsbSlide,
                           window->optThumb.Widget(0),
                           window->ToolbarButtonByKey(QStringLiteral("Browse")),
                           window->ToolbarButtonByKey(QStringLiteral("Edit")),
                           window->ToolbarButtonByKey(QStringLiteral("Refresh")),
                           window->ToolbarButtonByKey(QStringLiteral("Exit"))};
    QWidget* at = expected[0];
    for (size_t i = 1; i < std::size(expected); ++i) {
        do {
            at = at->nextInFocusChain();
        } while ((at->focusPolicy() & Qt::TabFocus) == 0);
        EXPECT_EQ(at, expected[i]) << i;
    }
}

using LayoutTest = WindowFixture;

TEST_F(LayoutTest, ShownWindowKeepsItsMinimumAndDocksTheGallery)
{
    WriteSettingsText("[Main]\r\nLast Path=/nonexistent-folder-of-tessellon\r\n");
    const std::unique_ptr<frmMosaq> window = ShowWindow();
    EXPECT_EQ(window->frameGeometry().size(), QSize(346, 378));
    const int toolbar = window->tbrMain->height();
    const int status = window->sbrMain->height();
    EXPECT_EQ(window->picFrame->geometry(),
              QRect(0, toolbar, window->width(), window->height() - toolbar - status));
    EXPECT_EQ(window->sbrMain->geometry(),
              QRect(0, window->height() - status, window->width(), status));
    const int innerWidth = window->picFrame->ScaleWidth();
    EXPECT_EQ(window->vsbSlide->geometry(),
              QRect(innerWidth - 14, 0, 14, window->picFrame->ScaleHeight()));
}

TEST_F(LayoutTest, TooSmallSizesAreCorrectedWidthThenHeight)
{
    WriteSettingsText("[Main]\r\nLast Path=/nonexistent-folder-of-tessellon\r\n");
    const std::unique_ptr<frmMosaq> window = ShowWindow();
    // Outer sizes; the window is resized through its inner size.
    const QSize frame = window->frameGeometry().size() - window->size();
    struct Case
    {
        QSize requested;
        QSize result;
    };
    const Case cases[] = {
        {{300, 500}, {346, 500}}, {{500, 300}, {500, 378}}, {{200, 200}, {346, 378}},
        {{346, 378}, {346, 378}}, {{347, 379}, {347, 379}},
    };
    for (const Case& c : cases) {
        window->resize(c.requested - frame);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->frameGeometry().size() == c.result; }))
            << c.requested.width() << "x" << c.requested.height() << " gave "
            << window->frameGeometry().width() << "x" << window->frameGeometry().height();
        // The layout that ran last saw the corrected size.
        EXPECT_EQ(window->picFrame->width(), c.result.width() - frame.width());
        EXPECT_EQ(window->sbrMain->y() + window->sbrMain->height(),
                  c.result.height() - frame.height());
    }
}

TEST_F(LayoutTest, CounterStaysAtItsPlaceOnTheToolbar)
{
    WriteSettingsText("[Main]\r\nLast Path=/nonexistent-folder-of-tessellon\r\n");
    const std::unique_ptr<frmMosaq> window = ShowWindow();
    for (const int width : {346, 500, 1200}) {
        window->resize(width, 400);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->width() == width; }));
        EXPECT_EQ(window->tbrMain->width(), width);
        EXPECT_EQ(window->picCount->pos(), QPoint(240, 9));
        EXPECT_TRUE(window->picCount->isVisible());
    }
}

TEST_F(LayoutTest, ScrollBarFollowsTheGrid)
{
    WriteSettingsText("[Main]\r\nLast Path=/nonexistent-folder-of-tessellon\r\n");
    const std::unique_ptr<frmMosaq> window = ShowWindow();
    window->resize(346, 447); // a viewport 384 high: four rows of 96
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->height() == 447; }));
    ASSERT_EQ(window->picFrame->ScaleHeight(), 384);
    ASSERT_EQ(window->picFrame->ScaleWidth(), 342); // (342 - 14) / 80: four columns

    struct Case
    {
        int cells = 0;
        int maximum = 0;
        bool enabled = false;
        QSize canvas;
    };
    const Case cases[] = {
        {1, 0, false, {320, 96}},
        {6, 0, false, {320, 192}},
        {7, 0, false, {320, 192}},
        {16, 0, true, {320, 384}}, // exactly as high as the viewport
        {500, 12000 - 384, true, {320, 12000}},
    };
    for (const Case& c : cases) {
        while (window->optThumb.Count() < c.cells)
            window->optThumb.Load(window->optThumb.Count());
        while (window->optThumb.Count() > c.cells)
            window->optThumb.Unload(window->optThumb.Count() - 1);
        window->Form_Resize();
        EXPECT_EQ(window->vsbSlide->maximum(), c.maximum) << c.cells;
        EXPECT_EQ(window->vsbSlide->isEnabled(), c.enabled) << c.cells;
        EXPECT_EQ(window->picSlide->size(), c.canvas) << c.cells;
        EXPECT_EQ(window->vsbSlide->value(), 0);
        if (c.maximum > 0) {
            EXPECT_EQ(window->vsbSlide->singleStep(), 96);
            EXPECT_EQ(window->vsbSlide->pageStep(), 384);
        }
    }
    EXPECT_EQ(window->optThumb(499)->Position(), QPoint(240, 124 * 96));
}

TEST_F(LayoutTest, ResizingScrollsBackToTheTop)
{
    WriteSettingsText("[Main]\r\nLast Path=/nonexistent-folder-of-tessellon\r\n");
    const std::unique_ptr<frmMosaq> window = ShowWindow();
    while (window->optThumb.Count() < 40)
        window->optThumb.Load(window->optThumb.Count());
    window->Form_Resize();
    window->vsbSlide->setValue(200);
    EXPECT_EQ(window->picSlide->y(), -200);
    EXPECT_TRUE(window->picFrame->hasFocus());
    const QPoint cellBefore = window->optThumb(5)->Position();
    window->resize(window->width() + 10, window->height()); // same number of columns
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->vsbSlide->value() == 0; }));
    EXPECT_EQ(window->picSlide->y(), 0);
    EXPECT_EQ(window->optThumb(5)->Position(), cellBefore);
}

TEST_F(LayoutTest, MinimizedWindowIsLeftAloneAndRestoredWindowIsLaidOut)
{
    WriteSettingsText("[Main]\r\nLast Path=/nonexistent-folder-of-tessellon\r\n");
    const std::unique_ptr<frmMosaq> window = ShowWindow();
    while (window->optThumb.Count() < 8)
        window->optThumb.Load(window->optThumb.Count());
    window->showMinimized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isMinimized(); }));
    window->Form_Resize();
    EXPECT_EQ(window->optThumb(7)->Position(), window->optThumb(0)->Position())
        << "no layout while minimized";
    window->showNormal();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isMinimized(); }));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window->optThumb(7)->Position() == QPoint(240, 96); }));
}
