#include "clipboard/keeper_location.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

namespace {

const QString kKeeper = QStringLiteral("tessellon-clipboard-keeper");
// The installed layout as the install rules lay it out, below a prefix.
const QString kProgramFolder = QStringLiteral(TESSELLON_INSTALL_BINDIR);
const QString kHelpersFolder = QStringLiteral(TESSELLON_KEEPER_INSTALL_DIR);

enum class Kind { None, Executable, PlainFile, Folder };

struct KeeperCase
{
    const char* name;
    Kind beside;    // in the program's folder
    Kind installed; // in the helpers' folder
    const QString* expectedFolder;
};

void PrintTo(const KeeperCase& c, std::ostream* out)
{
    *out << c.name;
}

void Make(const QString& folder, Kind kind)
{
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + u'/' + kKeeper;
    if (kind == Kind::Folder) {
        ASSERT_TRUE(QDir().mkpath(path));
        return;
    }
    if (kind == Kind::None)
        return;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (kind == Kind::Executable)
        permissions |= QFileDevice::ExeOwner;
    ASSERT_TRUE(file.setPermissions(permissions));
}

class KeeperLocationTest : public ::testing::TestWithParam<KeeperCase>
{};

TEST_P(KeeperLocationTest, FindsTheExecutableKeeperBesideTheProgramFirst)
{
    const KeeperCase& c = GetParam();
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QString programFolder = prefix.filePath(kProgramFolder);
    ASSERT_NO_FATAL_FAILURE(Make(programFolder, c.beside));
    ASSERT_NO_FATAL_FAILURE(Make(prefix.filePath(kHelpersFolder), c.installed));

    const QString expected =
        c.expectedFolder ? QDir::cleanPath(prefix.filePath(*c.expectedFolder) + u'/' + kKeeper)
                         : QString();
    EXPECT_EQ(FindClipboardKeeper(programFolder), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, KeeperLocationTest,
    ::testing::Values(
        KeeperCase{"BuildFolder", Kind::Executable, Kind::None, &kProgramFolder},
        KeeperCase{"Installed", Kind::None, Kind::Executable, &kHelpersFolder},
        KeeperCase{"BesideWinsOverInstalled", Kind::Executable, Kind::Executable, &kProgramFolder},
        KeeperCase{"NotExecutableBesideIsPassedOver", Kind::PlainFile, Kind::Executable,
                   &kHelpersFolder},
        KeeperCase{"AFolderOfThatNameIsNoKeeper", Kind::Folder, Kind::Folder, nullptr},
        KeeperCase{"NoneAnywhere", Kind::None, Kind::None, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
