#include "main_window/placement.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Placement, LeadingNumberReadsSignDigitsDecimalsAndExponent)
{
    struct Case
    {
        const char* piece = nullptr;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"100", 100},
        {" 100 ", 100},
        {"-15", -15},
        {"+7", 7},
        {"2.5", 2.5},
        {"1e3", 1000},
        {"1.5E-1", 0.15},
        {"12abc", 12},
        {"3.", 3},
        {".5", 0.5},
        {"1e", 1},
        {"1e+", 1},
        {" ", std::nullopt},
        {"abc", std::nullopt},
        {"-", std::nullopt},
        {".", std::nullopt},
        {"1,5", 1},
        {"٣", std::nullopt},
        {"1e-999", 0},
        {"1e999", HUGE_VAL},
        {"-1e999", -HUGE_VAL},
    };
    for (const Case& c : cases) {
        const std::optional<double> value = LeadingNumber(QString::fromUtf8(c.piece));
        ASSERT_EQ(value.has_value(), c.value.has_value()) << c.piece;
        if (value) {
            if (std::isinf(*c.value))
                EXPECT_EQ(*value, *c.value) << c.piece;
            else
                EXPECT_DOUBLE_EQ(*value, *c.value) << c.piece;
        }
    }
}

TEST(Placement, StoredPositionPiecesApplyOverTheCurrentPlacement)
{
    const std::array<std::int32_t, 4> current = {1000, 2000, 3000, 4000};
    struct Case
    {
        const char* text;
        std::array<std::int32_t, 4> result;
    };
    const Case cases[] = {
        {"", {1000, 2000, 3000, 4000}},
        {"100, 200", {100, 200, 3000, 4000}},
        {"100,200,300,400", {100, 2000, 3000, 4000}}, // no blank after the commas: one piece
        {"1, 2, 3, 4, 5", {1, 2, 3, 4}},
        {" 7 ,  8", {7, 8, 3000, 4000}}, // blanks around a number are dropped
        {"2.5, 3.5, -2.5, 0.5", {2, 4, -2, 0}},
        {", , 50", {1000, 2000, 50, 4000}},
        {"x, 10", {0, 10, 3000, 4000}},
        {" , 10", {0, 10, 3000, 4000}}, // a blank is not an empty piece
    };
    for (const Case& c : cases) {
        const std::optional<StoredPlacement> stored =
            ParseWindowPosition(QString::fromLatin1(c.text));
        ASSERT_TRUE(stored.has_value()) << c.text;
        EXPECT_EQ(ApplyPlacement(*stored, current), c.result) << c.text;
    }
}

TEST(Placement, NumbersBeyond32BitsDiscardTheWholePosition)
{
    EXPECT_FALSE(ParseWindowPosition(QStringLiteral("1, 2, 3e10, 4")));
    // Beyond the range of double too: no placement, not a placement of 0.
    EXPECT_FALSE(ParseWindowPosition(QStringLiteral("1e999, 2, 3, 4")));
    EXPECT_FALSE(ParseWindowPosition(QStringLiteral("1, -1e999")));
    EXPECT_FALSE(ParseWindowPosition(QStringLiteral("2147483647.5")));
    EXPECT_TRUE(ParseWindowPosition(QStringLiteral("2147483647, -2147483648")));
}

TEST(Placement, AStoredPositionCanStandInForAnUnknownOne)
{
    struct Case
    {
        const char* stored;
        const char* written;
    };
    const Case cases[] = {
        {"1500, 1200, 6000, 6600", "1500, 1200, 19140, 10395"},
        {"1500.5, -30, 1, 1", "1500.5, -30, 19140, 10395"},
        {"", ", , 19140, 10395"},
        {"1500", "1500, , 19140, 10395"},
        {"1500,1200", "1500,1200, , 19140, 10395"},
    };
    for (const Case& c : cases) {
        const QString written =
            WithStoredPosition(QString::fromLatin1(c.stored), QStringLiteral("0, 0, 19140, 10395"));
        EXPECT_EQ(written, QLatin1String(c.written)) << c.stored;
        // Read back over a window at 99, 99 (twips), the stored position stands.
        const std::optional<StoredPlacement> read = ParseWindowPosition(written);
        ASSERT_TRUE(read) << c.stored;
        EXPECT_EQ(ApplyPlacement(*read, {99, 99, 1, 1})[2], 19140) << c.stored;
    }
}

TEST(Placement, OnlyWhatTheWindowSystemHoldsIsPlaced)
{
    const QSize desktop(1920, 1080);
    struct Case
    {
        QRect outer;
        std::optional<QRect> held;
    };
    const Case cases[] = {
        {{100, 80, 640, 480}, QRect(100, 80, 640, 480)},
        {{-5000, 30000, 640, 480}, QRect(-5000, 30000, 640, 480)}, // off screen, as stored
        {{100, 100, 20000, 20000}, QRect(100, 100, 1920, 1080)},
        {{100, 100, 40000, 300}, std::nullopt},
        {{6666667, 6666667, 6666667, 6666667}, std::nullopt},
        {{-32768, 0, 640, 480}, std::nullopt},
        {{32767, -32767, 640, 480}, QRect(32767, -32767, 640, 480)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HeldPlacement(c.outer, desktop), c.held)
            << c.outer.x() << ", " << c.outer.y() << ", " << c.outer.width();
}

TEST(Placement, MaximizedReadsBooleansAndNumbers)
{
    struct Case
    {
        const char* text = nullptr;
        std::optional<bool> value;
    };
    const Case cases[] = {
        {"True", true},        {"TRUE", true},     {"false", false},     {"False", false},
        {"1", true},           {"0", false},       {"-1", true},         {" 0.0 ", false},
        {"yes", std::nullopt}, {"", std::nullopt}, {"1x", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseBoolean(QString::fromLatin1(c.text)), c.value) << c.text;
}

TEST(Placement, SinglesFormatWithSevenSignificantDigits)
{
    EXPECT_EQ(FormatSingle(4320), QStringLiteral("4320"));
    EXPECT_EQ(FormatSingle(-150), QStringLiteral("-150"));
    EXPECT_EQ(FormatSingle(0), QStringLiteral("0"));
    EXPECT_EQ(FormatSingle(1234.5F), QStringLiteral("1234.5"));
    EXPECT_EQ(FormatSingle(1.0F / 3.0F), QStringLiteral("0.3333333"));
    EXPECT_EQ(FormatWindowPosition({1500, -45, 5190, 5670}),
              QStringLiteral("1500, -45, 5190, 5670"));
}

TEST(Placement, WrittenPositionReadsBackUnchanged)
{
    const std::array<float, 4> twips = {-1200, 0, 5190, 5670};
    const std::optional<StoredPlacement> stored = ParseWindowPosition(FormatWindowPosition(twips));
    ASSERT_TRUE(stored);
    EXPECT_EQ(ApplyPlacement(*stored, {}), (std::array<std::int32_t, 4>{-1200, 0, 5190, 5670}));
}
