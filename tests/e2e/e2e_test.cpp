// End to end: the built program on a private Xvfb, driven with xdotool as a user would
// drive it. The clipboard is read with xclip after the program has ended, and the
// settings file beside the executable is read as the program left it.
//
// There is no window manager: the window has no frame, so its outer placement is its X
// geometry, and the program activates the window itself.

#include "e2e/program_fixture.h"

#include <QRandomGenerator>
#include <QScopeGuard>

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

// Installed where its user cannot write, as in /usr/bin, the program keeps its settings in a
// copy of its own under the user's configuration folder, which starts as the file beside it.
TEST_F(EndToEndTest, InAFolderItCannotWriteItRemembersInTheUsersCopy)
{
    const std::vector<FixtureImage> images(kFolderImages.begin(), kFolderImages.begin() + 2);
    const QString folder = MakeImageFolder(QStringLiteral("pictures"), images);
    const QRect first(120, 90, 400, 440);
    const QByteArray beside =
        "; placed by hand\r\n" +
        SettingsText({{QStringLiteral("Last Path"), folder},
                      {QStringLiteral("Window Position"), PlacementText(first)}});
    ASSERT_NO_FATAL_FAILURE(WriteSettings(beside));
    ASSERT_TRUE(QDir().mkpath(ConfigFolder()));
    const QStringList entries = QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden);

    // The folder and the file in it, as in /usr/bin. Root writes through permissions, not
    // through the immutable attribute.
    const bool root = ::geteuid() == 0;
    const auto lock = [&](bool locked) {
        const QFile::Permissions write = locked ? QFile::Permissions() : QFile::WriteOwner;
        if (root)
            return QProcess::execute(QStringLiteral("chattr"), {QLatin1String(locked ? "+i" : "-i"),
                                                                SettingsPath(), dir_.path()}) == 0;
        return QFile::setPermissions(SettingsPath(), QFile::ReadOwner | write) &&
               QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::ExeOwner | write);
    };
    if (!lock(true))
        GTEST_SKIP() << "the program's folder cannot be made unwritable here (chattr +i)";
    const auto unlock = qScopeGuard([&] { lock(false); });

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_NO_FATAL_FAILURE(WaitForGallery(images));
    EXPECT_EQ(Geometry(), first);
    const QRect moved(210, 150, 400, 440);
    ASSERT_TRUE(Xdotool({QStringLiteral("windowmove"), WindowId(), QString::number(moved.x()),
                         QString::number(moved.y())})
                    .finished);
    EXPECT_TRUE(WaitUntil([&] { return Geometry() == moved; }, kWindowTimeout));
    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("alt+x")}));
    ExpectCleanEnd(WaitForEnd(kEndTimeout));

    const QString copy = ConfigFolder() + QStringLiteral("/tessellon/") + kSettingsName;
    EXPECT_EQ(MainSettingIn(copy, QStringLiteral("Window Position")), PlacementText(moved));
    EXPECT_EQ(MainSettingIn(copy, QStringLiteral("Last Path")), folder);
    QFile copied(copy);
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_TRUE(copied.readAll().startsWith("; placed by hand\r\n[Main]\r\n"));
    QFile stored(SettingsPath());
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), beside);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden), entries);

    // The next start finds the folder and the placement again, and picks from there.
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_NO_FATAL_FAILURE(WaitForGallery(images));
    EXPECT_EQ(Geometry(), moved);
    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("Right"), QStringLiteral("Return")}));
    ExpectCleanEnd(WaitForEnd(kEndTimeout));
    EXPECT_EQ(PasteClipboard(Environment()),
              (folder + QDir::separator() + QLatin1String(images[1].name)).toUtf8());
}

// A session manager of the test's own; its commands and answers are lines.
class SessionTest : public EndToEndTest
{
protected:
    void SetUp() override
    {
        EndToEndTest::SetUp();
        manager_.start(QStringLiteral(FIXTURE_SESSION_MANAGER), QStringList());
        const QByteArray listening = Answer();
        ASSERT_TRUE(listening.startsWith("listening ")) << manager_.readAllStandardError().data();
        sessionManager_ = QString::fromLatin1(listening.mid(10));
    }

    void TearDown() override
    {
        manager_.kill();
        manager_.waitForFinished(5000);
        EndToEndTest::TearDown();
    }

    // The manager's next line, or nothing when it says none in time.
    QByteArray Answer()
    {
        const bool said =
            WaitUntil([&] { return manager_.canReadLine() || manager_.waitForReadyRead(100); },
                      kWindowTimeout);
        return said ? manager_.readLine().trimmed() : QByteArray();
    }

    void Tell(const char* command)
    {
        manager_.write(QByteArray(command) + '\n');
        manager_.waitForBytesWritten(5000);
    }

    // Starts the program on a folder of two pictures, registered with the session.
    void StartInSession()
    {
        const QString folder = MakeImageFolder(QStringLiteral("pictures"), images_);
        ASSERT_NO_FATAL_FAILURE(
            WriteSettings(SettingsText({{QStringLiteral("Last Path"), folder}})));
        ASSERT_NO_FATAL_FAILURE(StartProgram());
        ASSERT_EQ(Answer(), "registered");
        ASSERT_NO_FATAL_FAILURE(WaitForGallery(images_));
        folder_ = folder;
    }

    QProcess manager_;
    const std::vector<FixtureImage> images_{kFolderImages[0], kFolderImages[1]};
    QString folder_;
};

// A checkpoint, or a logout that another program then cancels, asks the picker to save:
// it saves its placement and goes on, and can still pick.
TEST_F(SessionTest, ARequestToSaveSavesAndKeepsTheWindow)
{
    ASSERT_NO_FATAL_FAILURE(StartInSession());
    ASSERT_FALSE(Setting(QStringLiteral("Window Position")));
    const QRect geometry = Geometry();

    Tell("checkpoint");
    ASSERT_EQ(Answer(), "saved");
    EXPECT_EQ(Setting(QStringLiteral("Window Position")), PlacementText(geometry));
    EXPECT_EQ(Setting(QStringLiteral("Maximized")), QStringLiteral("False"));
    Tell("logout");
    ASSERT_EQ(Answer(), "saved");
    Tell("cancel");
    EXPECT_FALSE(program_->waitForFinished(1000)) << "a request to save ended the program";

    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("Right"), QStringLiteral("Return")}));
    ExpectCleanEnd(WaitForEnd(kEndTimeout));
    EXPECT_EQ(PasteClipboard(Environment()),
              (folder_ + QDir::separator() + QLatin1String(images_[1].name)).toUtf8());
}

// The session's end, after the logout's save, ends the program as Exit does.
TEST_F(SessionTest, TheEndOfTheSessionEndsTheProgramAsExitDoes)
{
    ASSERT_NO_FATAL_FAILURE(StartInSession());
    const QRect geometry = Geometry();
    Tell("logout");
    ASSERT_EQ(Answer(), "saved");
    ASSERT_TRUE(QFile::remove(SettingsPath())); // what follows is the end's own saving
    Tell("die");
    ExpectCleanEnd(WaitForEnd(kEndTimeout));
    EXPECT_EQ(Setting(QStringLiteral("Window Position")), PlacementText(geometry));
    EXPECT_EQ(Setting(QStringLiteral("Maximized")), QStringLiteral("False"));
}

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
