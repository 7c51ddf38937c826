#include "main_window/progress_geometry.h"

#include <gtest/gtest.h>

TEST(ProgressGeometry, FrameCoversThePanelBelowTheBarsTopRow)
{
    // A status bar 21 high at y = 300, panel 2 at 24 and 200 wide.
    EXPECT_EQ(ProgressFrameRect(QRect(0, 300, 400, 21), QRect(24, 0, 200, 21)),
              QRect(24, 301, 200, 20));
}

TEST(ProgressGeometry, FillAndTextPosition)
{
    EXPECT_EQ(ProgressFillWidth(50, 196), 98);
    EXPECT_EQ(ProgressFillWidth(0, 196), 0);
    EXPECT_EQ(ProgressFillWidth(100, 196), 196);
    EXPECT_EQ(ProgressFillWidth(1, 250), 2); // 2.5 -> 2
    EXPECT_EQ(ProgressFillWidth(3, 250), 8); // 7.5 -> 8
    EXPECT_EQ(ProgressTextTop(16, 13), 2);   // 1.5 -> 2
    EXPECT_EQ(ProgressTextTop(16, 11), 2);   // 2.5 -> 2
    EXPECT_EQ(ProgressTextTop(16, 16), 0);
    EXPECT_EQ(ProgressTextTop(10, 15), -2); // -2.5 -> -2: starts above and is clipped
}

TEST(ProgressGeometry, BuildPercentRoundsHalvesToEven)
{
    EXPECT_EQ(BuildProgressPercent(0, 100), 1);
    EXPECT_EQ(BuildProgressPercent(99, 100), 100);
    EXPECT_EQ(BuildProgressPercent(0, 8), 12); // 12.5
    EXPECT_EQ(BuildProgressPercent(2, 8), 38); // 37.5
    EXPECT_EQ(BuildProgressPercent(4, 8), 62); // 62.5
    EXPECT_EQ(BuildProgressPercent(0, 3), 33);
    EXPECT_EQ(BuildProgressPercent(99999, 100000), 100);
}
