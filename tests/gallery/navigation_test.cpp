#include "gallery/navigation.h"

#include <Qt>

#include <gtest/gtest.h>

TEST(Navigation, KeysMoveWithinTheGrid)
{
    // 10 cells in 3 columns, 2 rows to a page:  0 1 2 / 3 4 5 / 6 7 8 / 9
    struct Case
    {
        int key;
        int current;
        int target;
    };
    const Case cases[] = {
        {Qt::Key_Right, 4, 5},    {Qt::Key_Left, 4, 3},   {Qt::Key_Up, 4, 1},
        {Qt::Key_Down, 4, 7},     {Qt::Key_Left, 0, 0},   {Qt::Key_Right, 9, 9},
        {Qt::Key_Up, 1, 1},       {Qt::Key_Down, 8, 8},   {Qt::Key_Down, 7, 7},
        {Qt::Key_Home, 7, 0},     {Qt::Key_End, 2, 9},    {Qt::Key_PageDown, 1, 7},
        {Qt::Key_PageDown, 5, 9}, {Qt::Key_PageUp, 8, 2}, {Qt::Key_PageUp, 4, 1},
        {Qt::Key_A, 4, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GalleryKeyTarget(c.key, c.current, 3, 2, 10), c.target)
            << c.key << " from " << c.current;
    EXPECT_EQ(GalleryKeyTarget(Qt::Key_Right, 0, 3, 2, 0), -1);
}
