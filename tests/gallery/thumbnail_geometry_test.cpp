#include "gallery/thumbnail_geometry.h"

#include <gtest/gtest.h>

TEST(ThumbnailGeometry, PicturesFitWithinAOnePixelMarginNeverEnlarged)
{
    struct Case
    {
        QSizeF source;
        QRect image;
    };
    const Case cases[] = {
        {{62, 62}, {1, 1, 62, 62}}, // fits exactly: drawn as it is
        {{10, 10}, {27, 27, 10, 10}},
        {{1, 1}, {31, 31, 1, 1}},     // floor(63 / 2)
        {{63, 10}, {1, 27, 62, 10}},  // one pixel too wide: scaled by 62/63
        {{100, 100}, {1, 1, 62, 62}}, // square: scaled by its height
        {{124, 5}, {1, 31, 62, 2}},   // 2.5 rounds to 2
        {{124, 7}, {1, 30, 62, 4}},   // 3.5 rounds to 4
        {{61, 61}, {1, 1, 61, 61}},   // odd free space: the extra pixel right and below
        {{5, 124}, {31, 1, 2, 62}},
        {{4000, 3000}, {1, 9, 62, 46}}, // 3000 * (62 / 4000) is 46.5 in single precision
    };
    for (const Case& c : cases)
        EXPECT_EQ(ThumbnailImageRect(QSizeF(64, 64), c.source), c.image)
            << c.source.width() << "x" << c.source.height();
}
