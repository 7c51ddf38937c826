#include "files/file_names.h"

#include <gtest/gtest.h>

using namespace files;

namespace {

const QChar kReplacement(u'\uFFFD');

} // namespace

// Every byte string is held as a name that gives the same bytes back, and shown with one
// replacement character for each byte that is not part of valid UTF-8.
TEST(FileNames, EveryNameGivesItsBytesBackAndShowsWhatIsNotText)
{
    const struct
    {
        const char* what;
        QByteArray bytes;
        QString shown;
    } cases[] = {
        {"ASCII", "photo 1.jpg", QStringLiteral("photo 1.jpg")},
        {"UTF-8", "\xc3\xa9t\xc3\xa9.jpg", QStringLiteral("\u00e9t\u00e9.jpg")},
        {"four bytes", "\xf0\x9f\x93\xb7.png", QString::fromUtf8("\xf0\x9f\x93\xb7.png")},
        {"Latin-1", "caf\xe9.jpg", QStringLiteral("caf") + kReplacement + QStringLiteral(".jpg")},
        {"a stray continuation", "a\x80z",
         QStringLiteral("a") + kReplacement + QStringLiteral("z")},
        {"cut short at the end", "a\xe2\x82", QStringLiteral("a") + kReplacement + kReplacement},
        {"overlong slash", "\xc0\xaf", QString(2, kReplacement)},
        {"an encoded surrogate", "\xed\xa0\x80", QString(3, kReplacement)},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", QString(4, kReplacement)},
        {"0xFF", "\xff.gif", kReplacement + QStringLiteral(".gif")},
        {"valid after invalid", "\xe9\xc3\xa9", kReplacement + QStringLiteral("\u00e9")},
    };
    for (const auto& c : cases) {
        const QString name = NameFromBytes(c.bytes);
        EXPECT_EQ(NameBytes(name), c.bytes) << c.what;
        EXPECT_EQ(ShownName(name), c.shown) << c.what;
        EXPECT_EQ(ContainsNonText(name), c.shown.contains(kReplacement)) << c.what;
    }
}

TEST(FileNames, TextNamesAreTheirUtf8)
{
    for (const QString& name : {QStringLiteral("plain.bmp"), QStringLiteral("\u65e5\u672c.jpg"),
                                QString::fromUtf8("\xf0\x9f\x93\xb7")}) {
        EXPECT_EQ(NameBytes(name), name.toUtf8());
        EXPECT_EQ(NameFromBytes(name.toUtf8()), name);
        EXPECT_FALSE(ContainsNonText(name));
    }
}

// Lone surrogates that no POSIX name decodes to, as a Windows name may hold them.
TEST(FileNames, OtherLoneSurrogatesAreShownAndWrittenAsReplacements)
{
    const QString name =
        QStringLiteral("a") + QChar(u'\xd800') + QStringLiteral("b") + QChar(u'\xdc10');
    EXPECT_TRUE(ContainsNonText(name));
    EXPECT_EQ(ShownName(name), QStringLiteral("a\uFFFDb\uFFFD"));
    EXPECT_EQ(NameBytes(name), QByteArray("a\xef\xbf\xbd"
                                          "b\xef\xbf\xbd"));
}
