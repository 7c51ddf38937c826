#include "gallery/caption.h"

#include <gtest/gtest.h>

namespace {

// Every character is 5 pixels wide, "..." 9 pixels; an emoji (a surrogate pair) 10.
int FixedWidth(const QString& text)
{
    if (text == QLatin1String("..."))
        return 9;
    int width = 0;
    for (const QChar c : text) {
        if (c.isHighSurrogate())
            continue;
        width += c.isLowSurrogate() ? 10 : 5;
    }
    return width;
}

} // namespace

TEST(Caption, NamesFitWithinTheCellWidthLessFifteen)
{
    struct Case
    {
        const char* name;
        float cellWidth;
        const char* caption;
    };
    const Case cases[] = {
        {"abcdefghijklm", 80, "abcdefghijklm"},   // 65 pixels: exactly the budget, kept
        {"abcdefghijklmn", 80, "abcdefghijk..."}, // 70 > 65: cut to 56 pixels, then "..."
        {"short.jpg", 80, "short.jpg"},
        {"", 80, ""},
        {"abc", 20, "..."},                        // budget 5 - 9 < 0: nothing fits
        {"abcdefghijklm", 80.5F, "abcdefghijklm"}, // 65.5 -> 66 (even), fits
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShortenCaption(QString::fromUtf8(c.name), c.cellWidth, FixedWidth),
                  QString::fromUtf8(c.caption))
            << c.name;
}

TEST(Caption, CuttingNeverSplitsACharacter)
{
    // "abcdefghij" is 50 pixels; the emoji would end at 60 > 56 and must go whole.
    const QString name =
        QStringLiteral("abcdefghij") + QString::fromUtf8("\U0001F600") + QStringLiteral("xyz");
    const QString caption = ShortenCaption(name, 80, FixedWidth);
    EXPECT_EQ(caption, QStringLiteral("abcdefghij..."));
    for (const QChar c : caption)
        EXPECT_FALSE(c.isSurrogate());
}

TEST(Caption, TheLongestFittingPrefixIsKeptWhateverTheNamesLength)
{
    // Every prefix length from nothing to far too long, against the plain search of
    // chopping one character at a time.
    for (int length = 0; length < 60; ++length) {
        const QString name = QString(length, QLatin1Char('x'));
        QString chopped = name;
        const int budget = 65 - 9;
        const bool cut = FixedWidth(name) > 65;
        while (cut && FixedWidth(chopped) > budget)
            chopped.chop(1);
        EXPECT_EQ(ShortenCaption(name, 80, FixedWidth),
                  cut ? chopped + QStringLiteral("...") : name)
            << length;
    }
}
