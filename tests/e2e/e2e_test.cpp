// End to end: the built program on a private Xvfb, driven with xdotool as a user would
// drive it. The clipboard is read with xclip after the program has ended, and the
// settings file beside the executable is read as the program left it.
//
// There is no window manager: the window has no frame, so its outer placement is its X
// geometry, and the program activates the window itself.

#include "e2e/program_fixture.h"

#include <QRandomGenerator>

#include <sys/prctl.h>

#include <csignal>
#include <cstring>

namespace {

// In the order the gallery shows them.
const std::vector<FixtureImage> kFolderImages = {{"img1.bmp", qRgb(220, 30, 30)},
                                                 {"img2.jpg", qRgb(30, 180, 30)},
                                                 {"img3.bmp", qRgb(30, 30, 220)},
                                                 {"img4.jpg", qRgb(230, 200, 20)},
                                                 {"img5.bmp", qRgb(200, 30, 200)}};

// Sorted naturally; a plain text sort puts img10 before img2.
const std::vector<FixtureImage> kNumberedImages = {{"img1.bmp", qRgb(220, 30, 30)},
                                                   {"img2.jpg", qRgb(30, 180, 30)},
                                                   {"img10.bmp", qRgb(30, 30, 220)},
                                                   {"img11.jpg", qRgb(230, 200, 20)},
                                                   {"img20.bmp", qRgb(200, 30, 200)}};

TEST_F(EndToEndTest, ClosingTheWindowEndsTheProgramAndSavesItsPlacement)
{
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    const QRect geometry = Geometry();
    ASSERT_TRUE(geometry.isValid());

    ASSERT_TRUE(RequestWindowClose(xvfb_.Display(), window_));
    ExpectCleanEnd(WaitForEnd(kEndTimeout));
    EXPECT_EQ(Setting(QStringLiteral("Window Position")), PlacementText(geometry));
    EXPECT_EQ(Setting(QStringLiteral("Maximized")), QStringLiteral("False"));
}

TEST_F(EndToEndTest, FirstStartOpensTheRootFolderAndExitSavesThePlacement)
{
    ASSERT_FALSE(QFile::exists(SettingsPath()));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    const QString root = QDir::toNativeSeparators(QDir::rootPath());
    EXPECT_TRUE(
        WaitUntil([&] { return Setting(QStringLiteral("Last Path")) == root; }, kBuildTimeout))
        << "the root folder was never opened";
    const QRect geometry = Geometry();
    EXPECT_EQ(geometry.size(), kMinimumSize) << "the design size is below the minimum";

    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("alt+x")}));
    ExpectCleanEnd(WaitForEnd(kEndTimeout));
    EXPECT_EQ(Setting(QStringLiteral("Last Path")), root);
    EXPECT_EQ(Setting(QStringLiteral("Window Position")), PlacementText(geometry));
    EXPECT_EQ(Setting(QStringLiteral("Maximized")), QStringLiteral("False"));
}

// Ended by the system, the program ends as its own Exit ends it: through the window's
// unload, which saves the placement; a second signal would end it at once.
class EndSignalTest : public EndToEndTest, public ::testing::WithParamInterface<int>
{};

TEST_P(EndSignalTest, ATerminationSignalSavesThePlacementAsExitDoes)
{
    const QString folder = MakeImageFolder(QStringLiteral("pictures"), {kFolderImages[0]});
    WriteSettings(SettingsText({{QStringLiteral("Last Path"), folder}}));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_NO_FATAL_FAILURE(WaitForGallery({kFolderImages[0]}));
    const QRect geometry = Geometry();

    ASSERT_EQ(::kill(static_cast<pid_t>(program_->processId()), GetParam()), 0);
    ExpectCleanEnd(WaitForEnd(kEndTimeout));
    EXPECT_EQ(Setting(QStringLiteral("Window Position")), PlacementText(geometry));
    EXPECT_EQ(Setting(QStringLiteral("Maximized")), QStringLiteral("False"));
    EXPECT_EQ(Setting(QStringLiteral("Last Path")), folder);
}

INSTANTIATE_TEST_SUITE_P(Signals, EndSignalTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& info) { return std::string(strsignal(info.param)); });

struct SelectionCase
{
    const char* name;
    int clickedCell; // -1: no click
    int clicks;
    std::vector<const char*> keys; // xdotool key names, pressed after the clicks
    int chosen;
    bool clipboardManager;
};

void PrintTo(const SelectionCase& c, std::ostream* out)
{
    *out << c.name;
}

class SelectionTest : public EndToEndTest, public ::testing::WithParamInterface<SelectionCase>
{
protected:
    void Choose(const SelectionCase& c) const
    {
        if (c.clickedCell >= 0) {
            ASSERT_NO_FATAL_FAILURE(ClickCell(c.clickedCell, c.clicks));
        }
        QStringList keys;
        for (const char* key : c.keys)
            keys.append(QLatin1String(key));
        if (!keys.isEmpty()) {
            ASSERT_NO_FATAL_FAILURE(PressKeys(keys));
        }
    }
};

TEST_P(SelectionTest, ChosenImagePathStaysOnTheClipboardAfterTheProgramEnds)
{
    const SelectionCase& c = GetParam();
    // A folder name with a blank and a letter beyond ASCII, as real folders have.
    const QString folder = MakeImageFolder(QStringLiteral("Holiday Fotos \u00e4"), kFolderImages);
    ASSERT_NO_FATAL_FAILURE(WriteSettings(SettingsText({{QStringLiteral("Last Path"), folder}})));
    if (c.clipboardManager) {
        ASSERT_NO_FATAL_FAILURE(StartClipboardManager());
    }

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_NO_FATAL_FAILURE(WaitForGallery(kFolderImages));
    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(Choose(c));
    ExpectCleanEnd(WaitForEnd(kEndTimeout));

    const QString expected =
        folder + QDir::separator() + QLatin1String(kFolderImages[c.chosen].name);
    EXPECT_EQ(PasteClipboard(Environment()), expected.toUtf8());
    if (c.clipboardManager) {
        EXPECT_TRUE(ProcessesRunning(KeeperPath()).empty()) << "a keeper ran beside the manager";
        EXPECT_EQ(manager_->state(), QProcess::Running);
    }
    EXPECT_EQ(Setting(QStringLiteral("Last Path")), folder);
    EXPECT_TRUE(Setting(QStringLiteral("Window Position")));
    EXPECT_EQ(Setting(QStringLiteral("Maximized")), QStringLiteral("False"));
}

INSTANTIATE_TEST_SUITE_P(
    Choices, SelectionTest,
    ::testing::Values(
        SelectionCase{"DoubleClickOnTheThirdCell", 2, 2, {}, 2, false},
        SelectionCase{"DoubleClickWithAClipboardManager", 2, 2, {}, 2, true},
        SelectionCase{"SelectAfterTheBuildTakesTheFirstImage", -1, 0, {"alt+s"}, 0, false},
        SelectionCase{"SelectAfterClickingTheFifthCell", 4, 1, {"alt+s"}, 4, false},
        SelectionCase{"RightRightReturnAfterClickingTheFirstCell",
                      0,
                      1,
                      {"Right", "Right", "Return"},
                      2,
                      false},
        SelectionCase{"DownReturnAfterClickingTheFirstCell", 0, 1, {"Down", "Return"}, 4, false},
        SelectionCase{"RightRightReturnAfterStart", -1, 0, {"Right", "Right", "Return"}, 2, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct LocaleCase
{
    const char* name;
    const char* lang;
};

void PrintTo(const LocaleCase& c, std::ostream* out)
{
    *out << c.name;
}

class NaturalOrderTest : public EndToEndTest, public ::testing::WithParamInterface<LocaleCase>
{};

TEST_P(NaturalOrderTest, NumberedNamesShowInNumericOrder)
{
    const LocaleCase& c = GetParam();
    locale_ = QLatin1String(c.lang);
    const QString folder = MakeImageFolder(QStringLiteral("numbered"), kNumberedImages);
    ASSERT_NO_FATAL_FAILURE(WriteSettings(SettingsText({{QStringLiteral("Last Path"), folder}})));

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_NO_FATAL_FAILURE(WaitForGallery(kNumberedImages));
    ASSERT_TRUE(RequestWindowClose(xvfb_.Display(), window_));
    ExpectCleanEnd(WaitForEnd(kEndTimeout));
}

INSTANTIATE_TEST_SUITE_P(Locales, NaturalOrderTest,
                         ::testing::Values(LocaleCase{"English", "en_US.UTF-8"},
                                           LocaleCase{"CLocale", "C.UTF-8"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct PlacementCase
{
    const char* name;
    const char* stored;
    const char* maximized;
    std::optional<QRect> shown; // none when a window manager would decide
    const char* saved;
};

void PrintTo(const PlacementCase& c, std::ostream* out)
{
    *out << c.name;
}

class PlacementTest : public EndToEndTest, public ::testing::WithParamInterface<PlacementCase>
{};

TEST_P(PlacementTest, RestoredAtStartAndSavedAtExit)
{
    const PlacementCase& c = GetParam();
    const QString empty = MakeImageFolder(QStringLiteral("empty"), {});
    ASSERT_NO_FATAL_FAILURE(
        WriteSettings(SettingsText({{QStringLiteral("Last Path"), empty},
                                    {QStringLiteral("Window Position"), QLatin1String(c.stored)},
                                    {QStringLiteral("Maximized"), QLatin1String(c.maximized)}})));

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    if (c.shown) {
        EXPECT_EQ(Geometry(), *c.shown);
    }
    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("alt+x")}));
    ExpectCleanEnd(WaitForEnd(kEndTimeout));

    EXPECT_EQ(Setting(QStringLiteral("Window Position")), QLatin1String(c.saved));
    EXPECT_EQ(Setting(QStringLiteral("Maximized")), QLatin1String(c.maximized));
}

INSTANTIATE_TEST_SUITE_P(
    Placements, PlacementTest,
    ::testing::Values(PlacementCase{"Normal", "1500, 1200, 6000, 6600", "False",
                                    QRect(100, 80, 400, 440), "1500, 1200, 6000, 6600"},
                      PlacementCase{"BelowTheMinimumSize", "1500, 1200, 1500, 1500", "False",
                                    QRect(QPoint(100, 80), kMinimumSize), "1500, 1200, 5190, 5670"},
                      // A maximized window keeps the normal placement it had before.
                      PlacementCase{"Maximized", "1500, 1200, 6000, 6600", "True", std::nullopt,
                                    "1500, 1200, 6000, 6600"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EndToEndTest, ExitDuringAGalleryBuildEndsTheProgramAtOnce)
{
    // So many images that their build takes seconds; links to one file make them quickly.
    constexpr int kImageCount = 10000;
    const QString folder = dir_.filePath(QStringLiteral("many"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray first = QFile::encodeName(folder + QStringLiteral("/img0.bmp"));
    ASSERT_TRUE(WriteImage(QFile::decodeName(first), kFolderImages[0].color));
    for (int i = 1; i < kImageCount; ++i) {
        const QByteArray name = QFile::encodeName(folder + QStringLiteral("/img%1.bmp").arg(i));
        ASSERT_EQ(link(first.constData(), name.constData()), 0) << name.constData();
    }
    ASSERT_NO_FATAL_FAILURE(WriteSettings(SettingsText({{QStringLiteral("Last Path"), folder}})));

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    // The progress indicator over the status bar names each file as it loads: the strip
    // changes again and again while the build runs.
    auto statusStrip = [&] {
        const QImage window = Grab();
        return window.copy(0, window.height() - kStatusBarHeight, window.width(), kStatusBarHeight);
    };
    QImage previous = statusStrip();
    int changes = 0;
    const bool building = WaitUntil(
        [&] {
            const QImage current = statusStrip();
            changes = current != previous ? changes + 1 : 0;
            previous = current;
            return changes >= 2;
        },
        kBuildTimeout);
    ASSERT_TRUE(building) << "no gallery build was seen running";
    ASSERT_FALSE(CellShows(Grab(), 0, kFolderImages[0].color)) << "the build has already ended";

    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("alt+x")}));
    const ProgramEnd end = WaitForEnd(kEndTimeout);
    ExpectCleanEnd(end);
    EXPECT_LT(end.elapsed, kPromptExit);
    EXPECT_TRUE(Setting(QStringLiteral("Window Position")));
    EXPECT_EQ(Setting(QStringLiteral("Maximized")), QStringLiteral("False"));
}

struct DamagedSettings
{
    const char* name;
    QByteArray content;
};

void PrintTo(const DamagedSettings& c, std::ostream* out)
{
    *out << c.name;
}

QByteArray RandomBytes(qsizetype size)
{
    QRandomGenerator random(20240611);
    QByteArray bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random.bounded(256));
    return bytes;
}

class DamagedSettingsTest : public EndToEndTest,
                            public ::testing::WithParamInterface<DamagedSettings>
{};

TEST_P(DamagedSettingsTest, ProgramStartsWithDefaultsAndWritesItsSettings)
{
    ASSERT_NO_FATAL_FAILURE(WriteSettings(GetParam().content));

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    const QString root = QDir::toNativeSeparators(QDir::rootPath());
    EXPECT_TRUE(
        WaitUntil([&] { return Setting(QStringLiteral("Last Path")) == root; }, kBuildTimeout))
        << "the default folder was never opened";
    const QRect geometry = Geometry();
    EXPECT_EQ(geometry.size(), kMinimumSize);

    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("alt+x")}));
    ExpectCleanEnd(WaitForEnd(kEndTimeout));
    EXPECT_EQ(Setting(QStringLiteral("Window Position")), PlacementText(geometry));
    EXPECT_EQ(Setting(QStringLiteral("Maximized")), QStringLiteral("False"));
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedSettingsTest,
                         ::testing::Values(DamagedSettings{"RandomBytes",
                                                           RandomBytes(qsizetype{64} * 1024)},
                                           DamagedSettings{"Zeros", QByteArray(4096, '\0')}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
