#include "gallery/grid_layout.h"

#include <gtest/gtest.h>

#include <vector>

TEST(GridLayout, ColumnsFollowTheViewportWidthBesideTheScrollBar)
{
    EXPECT_EQ(GridColumns(254, 14, 80), 3); // 240 / 80 exactly
    EXPECT_EQ(GridColumns(253, 14, 80), 2); // one pixel short of a third column
    EXPECT_EQ(GridColumns(1000, 14, 80), 12);
    EXPECT_EQ(GridColumns(50, 14, 80), 1); // narrower than a cell: still one column
    EXPECT_EQ(GridColumns(300, 14, 0), 1); // a cell of no width cannot divide
}

TEST(GridLayout, SevenCellsInThreeColumns)
{
    const std::vector<QPoint> expected = {{0, 0},   {80, 0},   {160, 0}, {0, 96},
                                          {80, 96}, {160, 96}, {0, 192}};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(GridCellPosition(i, 3, 80, 96), expected[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(GridCanvasSize(7, 3, 80, 96), QSize(240, 288));
}

TEST(GridLayout, CanvasIsAsManyRowsHighAsItTakes)
{
    struct Case
    {
        int count = 0;
        int columns = 0;
        QSize canvas;
    };
    const Case cases[] = {
        {6, 3, {240, 192}}, // a full last row adds no extra row
        {1, 3, {240, 96}},
        {3, 1, {80, 288}},
        {10000, 4, {320, 240000}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GridCanvasSize(c.count, c.columns, 80, 96), c.canvas) << c.count;
}

TEST(GridLayout, FractionalCellSizesRoundHalvesToEven)
{
    EXPECT_EQ(GridCellPosition(1, 2, 80.5F, 96.5F), QPoint(80, 0));  // 80.5 -> 80
    EXPECT_EQ(GridCellPosition(3, 2, 81.5F, 96.5F), QPoint(82, 96)); // 81.5 -> 82, 96.5 -> 96
}

TEST(GridLayout, ScrollRangeFromCanvasAndViewport)
{
    struct Case
    {
        float canvas = 0;
        float viewport = 0;
        ScrollRange range;
    };
    const Case cases[] = {
        {192, 300, {0, false, 1, 1}},   // the grid fits: disabled
        {300, 300, {0, true, 96, 300}}, // exactly as high: enabled, nothing to scroll
        {301, 300, {1, true, 96, 300}},
        {33067, 300, {32767, true, 96, 300}},
        // Beyond a 16-bit range the bar still reaches the last row.
        {240000, 300, {239700, true, 96, 300}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GridScrollRange(c.canvas, c.viewport, 96), c.range) << c.canvas;
}
