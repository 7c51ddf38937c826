#include "gallery/thumbnail_geometry.h"
#include "support/window_fixture.h"

#include <QPainter>

namespace {

QImage Solid(QSize size, QColor color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// The thumbnail's color at logical pixel (x, y), sampled at the centre of its device
// pixels.
QColor At(const QImage& image, int x, int y)
{
    const qreal ratio = image.devicePixelRatio();
    return image.pixelColor(static_cast<int>((x + 0.5) * ratio),
                            static_cast<int>((y + 0.5) * ratio));
}

} // namespace

class ThumbnailTest : public WindowFixture
{
protected:
    void SetUp() override { window_ = NewWindow(); }

    QImage Draw(const QImage& pixels, QSize fullSize)
    {
        window_->picLoad->SetPicture(pictures::Picture{pixels, fullSize});
        window_->DrawThumbnail(*window_->picLoad, *window_->picThumb);
        return window_->picThumb->Snapshot();
    }

    QColor ButtonFace() const { return window_->palette().color(QPalette::Button); }

    std::unique_ptr<frmMosaq> window_;
};

TEST_F(ThumbnailTest, OutlineBackgroundAndPictureLieWhereTheGeometrySays)
{
    const QSize sources[] = {{62, 62},   {10, 10}, {1, 1},   {63, 10},
                             {100, 100}, {124, 5}, {124, 7}, {5, 200}};
    for (const QSize source : sources) {
        const QImage thumbnail = Draw(Solid(source, Qt::red), source);
        ASSERT_EQ(thumbnail.deviceIndependentSize(), QSizeF(64, 64));
        const QRect r = ThumbnailImageRect(QSizeF(64, 64), QSizeF(source));
        const QRect outline = r.adjusted(-1, -1, 1, 1);
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                const QPoint p(x, y);
                QColor expected = ButtonFace();
                if (r.contains(p))
                    expected = Qt::red;
                else if (outline.contains(p))
                    expected = Qt::black;
                ASSERT_EQ(At(thumbnail, x, y), expected)
                    << source.width() << "x" << source.height() << " at " << x << "," << y;
            }
        }
    }
}

TEST_F(ThumbnailTest, DownscaleAveragesTheWholeSource)
{
    // A one-pixel checkerboard halved: every thumbnail pixel averages two black and two
    // white pixels. Sampling instead of averaging would leave pure black or white.
    const int side = static_cast<int>(124 * window_->devicePixelRatioF());
    QImage board(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            board.setPixelColor(x, y, (x + y) % 2 == 0 ? Qt::black : Qt::white);
    const QImage thumbnail = Draw(board, QSize(124, 124));
    for (const QPoint p : {QPoint(1, 1), QPoint(30, 40), QPoint(62, 62)}) {
        const int grey = At(thumbnail, p.x(), p.y()).red();
        EXPECT_NEAR(grey, 128, 8) << p.x() << "," << p.y();
    }

    // The last source row must reach the last thumbnail row: a red bottom edge.
    QImage edged = Solid({620, 620}, Qt::white);
    QPainter(&edged).fillRect(0, 610, 620, 10, Qt::red);
    const QImage mapped = Draw(edged, edged.size());
    EXPECT_EQ(At(mapped, 31, 62), QColor(Qt::red));
    EXPECT_EQ(At(mapped, 31, 60), QColor(Qt::white));
}

TEST_F(ThumbnailTest, ReducedPixelsMapOntoTheFullSizesRectangle)
{
    // A 4000 x 3000 picture decoded at an eighth: the rectangle follows the full size.
    const QImage thumbnail = Draw(Solid({500, 375}, Qt::blue), QSize(4000, 3000));
    const QRect r = ThumbnailImageRect(QSizeF(64, 64), QSizeF(4000, 3000));
    EXPECT_EQ(At(thumbnail, r.left(), r.top()), QColor(Qt::blue));
    EXPECT_EQ(At(thumbnail, r.right(), r.bottom()), QColor(Qt::blue));
    EXPECT_EQ(At(thumbnail, r.left(), r.top() - 1), QColor(Qt::black));
    EXPECT_EQ(At(thumbnail, r.left(), r.top() - 2), ButtonFace());
}

TEST_F(ThumbnailTest, EveryDrawingStartsFromAClearTarget)
{
    Draw(Solid({100, 100}, Qt::red), {100, 100});
    const QImage second = Draw(Solid({10, 10}, Qt::blue), {10, 10});
    EXPECT_EQ(At(second, 5, 5), ButtonFace());
    EXPECT_EQ(At(second, 1, 1), ButtonFace());
    EXPECT_EQ(At(second, 30, 30), QColor(Qt::blue));
}

// The thumbnail is copied from the source box, which shows the picture over its window
// color: an icon's transparent corners show that color inside the outline, and only the
// margin around the outline shows the button face.
TEST_F(ThumbnailTest, TransparentAreasShowTheSourcesWindowColor)
{
    QImage half(20, 20, QImage::Format_ARGB32);
    half.fill(Qt::transparent);
    for (int y = 0; y < 20; ++y) {
        for (int x = 10; x < 20; ++x)
            half.setPixelColor(x, y, Qt::red);
    }
    const QImage thumbnail = Draw(half, half.size());
    const QColor window = window_->palette().color(QPalette::Base);
    ASSERT_NE(window, ButtonFace()) << "the test needs two colors that differ";
    EXPECT_EQ(window_->picLoad->ResolvedBackColor(), window);
    EXPECT_EQ(At(thumbnail, 24, 31), window);
    EXPECT_EQ(At(thumbnail, 36, 31), QColor(Qt::red));
    EXPECT_EQ(At(thumbnail, 21, 21), QColor(Qt::black));
    EXPECT_EQ(At(thumbnail, 5, 5), ButtonFace());
}

TEST_F(ThumbnailTest, DrawsAtTheScreensPixelRatio)
{
    const QImage thumbnail = Draw(Solid({1000, 1000}, Qt::green), {1000, 1000});
    const qreal ratio = window_->devicePixelRatioF();
    EXPECT_EQ(thumbnail.size(), (QSizeF(64, 64) * ratio).toSize());
    EXPECT_EQ(thumbnail.deviceIndependentSize(), QSizeF(64, 64));
    // The outline is one logical pixel wide at any ratio.
    EXPECT_EQ(At(thumbnail, 0, 0), QColor(Qt::black));
    EXPECT_EQ(At(thumbnail, 1, 1), QColor(Qt::green));
}
