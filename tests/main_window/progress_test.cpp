#include "main_window/progress_geometry.h"
#include "support/window_fixture.h"

#include <QTest>

namespace {

// The indicator as it shows on screen, frame border excluded.
QImage InnerPixels(const frmMosaq& window)
{
    const QImage image = window.picProgress->grab().toImage();
    const int border = window.picProgress->frameWidth();
    return image.copy(border, border, window.picProgress->ScaleWidth(),
                      window.picProgress->ScaleHeight());
}

int CountPixels(const QImage& image, QRect area, QColor color)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixelColor(x, y) == color ? 1 : 0;
    return count;
}

} // namespace

class ProgressTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WriteSettingsText("[Main]\r\nLast Path=/nonexistent-folder-of-tessellon\r\n");
        window_ = ShowWindow();
        window_->PlaceProgressBar();
    }

    QColor Color(QPalette::ColorRole role) const { return window_->palette().color(role); }

    std::unique_ptr<frmMosaq> window_;
};

TEST_F(ProgressTest, FrameLiesOverThePanelAndStartsOnePixelWide)
{
    const QRect bar = window_->sbrMain->geometry();
    const QRect panel = window_->sbrMain->PanelRect(2);
    const QRect frame = window_->picProgress->geometry();
    EXPECT_EQ(frame.left(), bar.left() + panel.left());
    EXPECT_EQ(frame.width(), panel.width());
    EXPECT_EQ(frame.top(), bar.top() + 1);
    EXPECT_EQ(frame.bottom(), bar.bottom());
    EXPECT_TRUE(window_->picProgress->isVisible());
    EXPECT_EQ(window_->picProgressSlide->geometry(),
              QRect(0, 0, 1, window_->picProgress->ScaleHeight()));
    EXPECT_EQ(window_->picProgress->ScaleHeight(), bar.height() - 1 - 4);
}

TEST_F(ProgressTest, FillSplitsTheTopRowBetweenHighlightAndButtonFace)
{
    const int inner = window_->picProgress->ScaleWidth();
    for (const int percent : {0, 50, 100}) {
        window_->ShowProgress(percent, QStringLiteral("MMMMMMMM"));
        const int fill = ProgressFillWidth(percent, inner);
        EXPECT_EQ(window_->picProgressSlide->width(), fill) << percent;
        const QImage pixels = InnerPixels(*window_);
        // Row 0 lies above the text.
        EXPECT_EQ(CountPixels(pixels, {0, 0, fill, 1}, Color(QPalette::Highlight)), fill);
        EXPECT_EQ(CountPixels(pixels, {fill, 0, inner - fill, 1}, Color(QPalette::Button)),
                  inner - fill)
            << percent;
    }
}

TEST_F(ProgressTest, TextTakesTheColorsOfWhatLiesBelowIt)
{
    const QString text = QStringLiteral("MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM");
    window_->ShowProgress(50, text);
    const QImage pixels = InnerPixels(*window_);
    const int fill = window_->picProgressSlide->width();
    const QRect filled(0, 0, fill, pixels.height());
    const QRect rest(fill, 0, pixels.width() - fill, pixels.height());
    EXPECT_GT(CountPixels(pixels, filled, Color(QPalette::HighlightedText)), 0);
    EXPECT_EQ(CountPixels(pixels, filled, Color(QPalette::ButtonText)), 0);
    EXPECT_GT(CountPixels(pixels, rest, Color(QPalette::ButtonText)), 0);
    EXPECT_EQ(CountPixels(pixels, rest, Color(QPalette::HighlightedText)), 0);
    // Drawn at three pixels from the left edge: columns 0 to 2 hold no text.
    EXPECT_EQ(CountPixels(pixels, {0, 0, 3, pixels.height()}, Color(QPalette::Highlight)),
              3 * pixels.height());
}

TEST_F(ProgressTest, PictureSurvivesARepaintAndAnEmptyTextDrawsNothing)
{
    window_->ShowProgress(30, QStringLiteral("photo.jpg"));
    const QImage before = InnerPixels(*window_);
    window_->picProgress->repaint();
    EXPECT_EQ(InnerPixels(*window_), before);

    window_->ShowProgress(30, QString());
    const QImage empty = InnerPixels(*window_);
    const int fill = window_->picProgressSlide->width();
    EXPECT_EQ(CountPixels(empty, {0, 0, fill, empty.height()}, Color(QPalette::Highlight)),
              fill * empty.height());
}
