#include "gallery/picture_budget.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct HoldCase
{
    const char* what;
    qint64 capacity;
    std::vector<int> held; // cells given a picture of 10 bytes, in this order
    CellRange view;
    std::vector<int> shed; // cells that gave theirs up, in order
    qint64 heldBytes;
};

void PrintTo(const HoldCase& c, std::ostream* os)
{
    *os << c.what;
}

class PictureBudgetHold : public ::testing::TestWithParam<HoldCase>
{};

TEST_P(PictureBudgetHold, ShedsTheCellsFarthestFromTheView)
{
    const HoldCase& c = GetParam();
    PictureBudget budget(c.capacity);
    std::vector<int> shed;
    for (const int index : c.held) {
        for (const int gone : budget.Hold(index, 10, c.view))
            shed.push_back(gone);
    }
    EXPECT_EQ(shed, c.shed);
    EXPECT_EQ(budget.HeldBytes(), c.heldBytes);
    for (const int gone : shed)
        EXPECT_FALSE(budget.Holds(gone)) << gone;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PictureBudgetHold,
    ::testing::Values(HoldCase{"within the budget", 50, {0, 1, 2, 3, 4}, {0, 2}, {}, 50},
                      // A build keeps the top: every later cell lies below the view and goes first.
                      HoldCase{
                          "a build from the top", 30, {0, 1, 2, 3, 4, 5}, {0, 2}, {3, 4, 5}, 30},
                      // Below the view by 1 and above it by 4: the one above goes.
                      HoldCase{"the farther side", 20, {0, 5, 7}, {4, 7}, {0}, 20},
                      HoldCase{"ties go below the view", 20, {1, 9, 5}, {4, 7}, {9}, 20},
                      HoldCase{"the view beyond the budget", 20, {4, 5, 6, 9}, {4, 7}, {9}, 30},
                      HoldCase{"a cell held again counts once", 20, {3, 3, 3, 3}, {0, 1}, {}, 10}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& ch : name)
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name;
    });

TEST(PictureBudget, ASmallerBudgetShedsAndReleasedCellsStopCounting)
{
    PictureBudget budget(100);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(budget.Hold(i, 10, {4, 6}).empty());
    budget.Release(9);
    budget.Release(9);
    EXPECT_EQ(budget.HeldBytes(), 90);
    EXPECT_EQ(budget.Resize(30, {4, 6}), (std::vector<int>{0, 8, 1, 7, 2, 6}));
    EXPECT_TRUE(budget.Holds(3) && budget.Holds(4) && budget.Holds(5));
    EXPECT_EQ(budget.HeldBytes(), 30);
    budget.Clear();
    EXPECT_EQ(budget.HeldBytes(), 0);
    EXPECT_FALSE(budget.Holds(4));
}

} // namespace
