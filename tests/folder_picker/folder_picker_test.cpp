#include "folder_picker/folder_picker.h"
#include "folder_picker/shell_folder_paths.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

using namespace folder_picker;
using namespace Qt::StringLiterals;

namespace {

// --- Designators ---------------------------------------------------------------------------

struct DesignatorCase
{
    QString text;
    FolderDesignator::Kind kind;
    int number;
};

TEST(FolderDesignatorTest, TextReadsAsPathOrNumber)
{
    using Kind = FolderDesignator::Kind;
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    const DesignatorCase cases[] = {
        {u""_s, Kind::Absent, 0},
        {u"5"_s, Kind::SpecialFolder, 5},
        {u" -3 "_s, Kind::SpecialFolder, -3},
        {u"\t+40\t"_s, Kind::SpecialFolder, 40},
        {u"0"_s, Kind::SpecialFolder, 0},
        {u"-0"_s, Kind::SpecialFolder, 0},
        {u"007"_s, Kind::SpecialFolder, 7},
        {u"2147483647"_s, Kind::SpecialFolder, kMax},
        {u"-2147483648"_s, Kind::SpecialFolder, kMin},
        {u"2147483648"_s, Kind::SpecialFolder, kMax},
        {u"-99999999999999999999"_s, Kind::SpecialFolder, kMin},
        {u"abc"_s, Kind::Path, 0},
        {u"/tmp"_s, Kind::Path, 0},
        {u"C:\\"_s, Kind::Path, 0},
        {u"5x"_s, Kind::Path, 0},
        {u"5 5"_s, Kind::Path, 0},
        {u"- 3"_s, Kind::Path, 0},
        {u"-"_s, Kind::Path, 0},
        {u"+"_s, Kind::Path, 0},
        {u"1.5"_s, Kind::Path, 0},
        {u"0x10"_s, Kind::Path, 0},
        {u"1e3"_s, Kind::Path, 0},
        {u"\uFF15"_s, Kind::Path, 0}, // a full-width digit is no decimal digit here
        {u"   "_s, Kind::Path, 0},
        {u"\n5"_s, Kind::Path, 0},
    };
    for (const DesignatorCase& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const FolderDesignator designator(c.text);
        EXPECT_EQ(designator.GetKind(), c.kind);
        if (c.kind == Kind::SpecialFolder) {
            EXPECT_EQ(designator.SpecialFolderNumber(), c.number);
        }
        if (c.kind == Kind::Path) {
            EXPECT_EQ(designator.Path(), c.text);
        }
    }
    EXPECT_TRUE(FolderDesignator().IsAbsent());
    EXPECT_EQ(FolderDesignator(39).GetKind(), Kind::SpecialFolder);
    EXPECT_EQ(FolderDesignator(39).SpecialFolderNumber(), 39);
}

// --- What the shell is given and gives back -----------------------------------------------

TEST(ShellFolderPathsTest, OnlyPlainSpecialFolderNumbersReachTheShell)
{
    const std::pair<int, std::optional<int>> cases[] = {
        {0, 0},       // the desktop
        {5, 5},       // Documents
        {0x3B, 0x3B}, // the last the shell numbers today
        {0xFF, 0xFF},
        {0x100, std::nullopt},  // past the numbers, into the flags
        {0x8005, std::nullopt}, // Documents, created when missing
        {-1, std::nullopt},
        {std::numeric_limits<int>::max(), std::nullopt},
        {std::numeric_limits<int>::min(), std::nullopt},
    };
    for (const auto& [number, expected] : cases) {
        SCOPED_TRACE(number);
        EXPECT_EQ(ShellSpecialFolder(number), expected);
    }
}

TEST(ShellFolderPathsTest, PathsAreGivenToTheShellInItsOwnForm)
{
    const std::pair<QString, QString> cases[] = {
        {u"C:\\Users\\Ann\\Fotos"_s, u"C:\\Users\\Ann\\Fotos"_s},
        {u"c:/Users/Ann/Fotos/"_s, u"C:\\Users\\Ann\\Fotos"_s},
        {u"C:"_s, u"C:\\"_s},
        {u"d:\\"_s, u"D:\\"_s},
        {u"C:\\\\a\\\\\\b\\\\"_s, u"C:\\a\\b"_s},
        {u"C:\\a\\.\\b\\..\\c"_s, u"C:\\a\\c"_s},
        {u"C:\\..\\..\\a"_s, u"C:\\a"_s},
        {u"Z:\\tmp\\Fotos \u00e4\\\u732b"_s, u"Z:\\tmp\\Fotos \u00e4\\\u732b"_s},
        {u"\\\\server\\share\\a\\"_s, u"\\\\server\\share\\a"_s},
        {u"//server/share"_s, u"\\\\server\\share"_s},
        // Relative paths and shares without a name are not given to the shell at all.
        {u"\\\\server"_s, QString()},
        {u"\\\\server\\"_s, QString()},
        {u"Fotos"_s, QString()},
        {u"\\Users"_s, QString()},
        {u"..\\Fotos"_s, QString()},
        {u"1:\\a"_s, QString()},
        {u"   "_s, QString()},
    };
    for (const auto& [path, expected] : cases) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(ShellParsingName(path).toStdString(), expected.toStdString());
    }
}

TEST(ShellFolderPathsTest, ChosenPathsKeepTheirSeparatorOnlyAtADrive)
{
    const std::pair<QStringView, QString> cases[] = {
        {u"C:\\", u"C:\\"_s},
        {u"c:", u"C:\\"_s},
        {u"C:\\\\", u"C:\\"_s},
        {u"C:\\Fotos", u"C:\\Fotos"_s},
        {u"C:\\Fotos\\", u"C:\\Fotos"_s},
        {u"\\\\server\\share\\", u"\\\\server\\share"_s},
        {u"\\\\", u"\\\\"_s},
        {u"", QString()},
    };
    for (const auto& [buffer, expected] : cases) {
        SCOPED_TRACE(buffer.toString().toStdString());
        EXPECT_EQ(ChosenFolderPath(buffer).toStdString(), expected.toStdString());
    }
    // The buffer is read up to its first NUL; what the shell left after it is not the path.
    const char16_t buffer[] = u"D:\\Bilder\0stale text";
    EXPECT_EQ(ChosenFolderPath(QStringView(buffer, std::size(buffer))), u"D:\\Bilder"_s);
}

} // namespace
