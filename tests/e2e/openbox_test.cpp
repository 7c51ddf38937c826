// End to end under a real window manager: openbox frames the window, maximizes and
// restores it, keeps it at its minimum size and closes it, as on a desktop. The outer
// placement is the window's area with openbox's frame.

#include "e2e/program_fixture.h"
#include "support/openbox_session.h"

namespace {

// A placement well inside the 1280 x 1024 screen, in pixels of the outer frame.
const QRect kPlacement(100, 80, 640, 480);

const std::vector<FixtureImage> kImages = {{"a.bmp", qRgb(220, 30, 30)},
                                           {"b.bmp", qRgb(30, 30, 220)}};

class OpenboxTest : public EndToEndTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(EndToEndTest::SetUp());
        openbox_ = std::make_unique<OpenboxSession>(
            xvfb_.Display(), dir_.filePath(QStringLiteral("openbox")), SessionOptions());
        ASSERT_TRUE(openbox_->IsRunning()) << openbox_->Error().toStdString();
    }

    void TearDown() override
    {
        EndToEndTest::TearDown();
        openbox_.reset();
    }

    virtual OpenboxSession::Options SessionOptions() const { return {}; }

    // A start that opens a folder of pictures, with the window at `placement`.
    void WriteStart(const QRect& placement, bool maximized)
    {
        folder_ = MakeImageFolder(QStringLiteral("pictures"), kImages);
        WriteSettings(
            SettingsText({{QStringLiteral("Last Path"), folder_},
                          {QStringLiteral("Window Position"), PlacementText(placement)},
                          {QStringLiteral("Maximized"),
                           maximized ? QStringLiteral("True") : QStringLiteral("False")}}));
    }

    QRect Outer() const { return OuterRect(xvfb_.Display(), window_).value_or(QRect()); }

    bool Maximized() const { return IsMaximized(xvfb_.Display(), window_); }

    // Waits until the window's outer area is `expected`; the area it has otherwise.
    QRect WaitForOuter(const QRect& expected) const
    {
        WaitUntil([&] { return Outer() == expected; }, kWindowTimeout);
        return Outer();
    }

    // The outer area once openbox and the program have stopped changing it.
    QRect SettledOuter() const
    {
        QRect last = Outer();
        auto stableSince = TestClock::now();
        WaitUntil(
            [&] {
                const QRect now = Outer();
                if (now != last) {
                    last = now;
                    stableSince = TestClock::now();
                }
                return TestClock::now() - stableSince > 400ms;
            },
            kWindowTimeout);
        return last;
    }

    ProcessResult Wmctrl(const QStringList& arguments) const
    {
        return RunProcess(QStringLiteral("wmctrl"), QStringList{QStringLiteral("-i")} + arguments,
                          Environment());
    }

    void SetMaximized(bool on) const
    {
        const ProcessResult result =
            Wmctrl({QStringLiteral("-r"), WindowId(), QStringLiteral("-b"),
                    (on ? QStringLiteral("add") : QStringLiteral("remove")) +
                        QStringLiteral(",maximized_vert,maximized_horz")});
        ASSERT_TRUE(result.finished && result.exitCode == 0) << result.errors.toStdString();
        ASSERT_TRUE(WaitUntil([&] { return Maximized() == on; }, kWindowTimeout));
    }

    // The window manager's close: the title bar's close button, Alt+F4 and the like.
    void CloseThroughWindowManager() const
    {
        const ProcessResult result = Wmctrl({QStringLiteral("-c"), WindowId()});
        ASSERT_TRUE(result.finished && result.exitCode == 0) << result.errors.toStdString();
    }

    // Drags the frame's bottom-right corner by `by`, in steps slow enough for openbox.
    void DragCorner(QPoint by) const
    {
        const QRect outer = Outer();
        const QPoint corner = outer.bottomRight() - QPoint(1, 1);
        const auto move = [&](QPoint to) {
            Xdotool(
                {QStringLiteral("mousemove"), QString::number(to.x()), QString::number(to.y())});
            std::this_thread::sleep_for(100ms);
        };
        move(corner);
        Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
        std::this_thread::sleep_for(100ms);
        for (const int step : {10, 40, 100, 200, 400, 600})
            move(corner + by * step / 600);
        Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    }

    std::unique_ptr<OpenboxSession> openbox_;
    QString folder_;
};

class OpenboxUnfocusedTest : public OpenboxTest
{
protected:
    OpenboxSession::Options SessionOptions() const override { return {.focusNewWindows = false}; }
};

} // namespace

TEST_F(OpenboxTest, ThePlacementRoundTripsWithAFrameOverThreeStarts)
{
    WriteStart(kPlacement, false);
    for (int start = 1; start <= 3; ++start) {
        SCOPED_TRACE(start);
        ASSERT_NO_FATAL_FAILURE(StartProgram());
        EXPECT_EQ(WaitForOuter(kPlacement), kPlacement);
        EXPECT_FALSE(FrameExtents(xvfb_.Display(), window_).isNull()) << "openbox framed it";
        ASSERT_NO_FATAL_FAILURE(CloseThroughWindowManager());
        ExpectCleanEnd(WaitForEnd(kEndTimeout));
        EXPECT_EQ(Setting(QStringLiteral("Window Position")), PlacementText(kPlacement));
        EXPECT_EQ(Setting(QStringLiteral("Maximized")), QStringLiteral("False"));
    }
}

// Closed while maximized, the window starts maximized; restored, it takes its normal
// placement exactly, start after start, and never grows by its frame.
TEST_F(OpenboxTest, AWindowClosedMaximizedRestoresToItsPlacement)
{
    WriteStart(kPlacement, true);
    for (int start = 1; start <= 3; ++start) {
        SCOPED_TRACE(start);
        ASSERT_NO_FATAL_FAILURE(StartProgram());
        ASSERT_TRUE(WaitUntil([&] { return Maximized(); }, kWindowTimeout));
        ASSERT_NO_FATAL_FAILURE(SetMaximized(false));
        EXPECT_EQ(WaitForOuter(kPlacement), kPlacement);
        ASSERT_NO_FATAL_FAILURE(SetMaximized(true));
        ASSERT_NO_FATAL_FAILURE(CloseThroughWindowManager());
        ExpectCleanEnd(WaitForEnd(kEndTimeout));
        EXPECT_EQ(Setting(QStringLiteral("Window Position")), PlacementText(kPlacement));
        EXPECT_EQ(Setting(QStringLiteral("Maximized")), QStringLiteral("True"));
    }
}

// A stored size below the minimum does not keep a maximized start from being maximized;
// restored, the window has its minimum size.
TEST_F(OpenboxTest, ATinyStoredSizeStillStartsMaximized)
{
    WriteStart(QRect(kPlacement.topLeft(), QSize(100, 100)), true);
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_TRUE(WaitUntil([&] { return Maximized(); }, kWindowTimeout));
    ASSERT_NO_FATAL_FAILURE(SetMaximized(false));
    const QRect expected(kPlacement.topLeft(), kMinimumSize);
    EXPECT_EQ(WaitForOuter(expected), expected);
}

// Stored sizes below the minimum: the frame lands where the placement says, at the minimum
// size, with its title bar on the screen, in every start; also when openbox maps the
// window just where it was asked and reports nothing that would prompt a correction.
TEST_F(OpenboxTest, AStoredSizeBelowTheMinimumIsPutRightWithTheFrame)
{
    struct Case
    {
        const char* stored = nullptr;
        QPoint at;
    };
    const Case cases[] = {{"abc, def", {0, 0}},
                          {"0, 0", {0, 0}},
                          {"0, 0, 4320, 3420", {0, 0}},
                          {"1500, 1500, 4320, 3420", {100, 100}}};
    folder_ = MakeImageFolder(QStringLiteral("pictures"), kImages);
    for (const Case& c : cases) {
        for (int start = 1; start <= 3; ++start) {
            SCOPED_TRACE(std::string(c.stored) + ", start " + std::to_string(start));
            WriteSettings(
                SettingsText({{QStringLiteral("Last Path"), folder_},
                              {QStringLiteral("Window Position"), QString::fromLatin1(c.stored)}}));
            ASSERT_NO_FATAL_FAILURE(StartProgram());
            const QRect expected(c.at, kMinimumSize);
            EXPECT_EQ(WaitForOuter(expected), expected);
            ASSERT_NO_FATAL_FAILURE(CloseThroughWindowManager());
            ExpectCleanEnd(WaitForEnd(kEndTimeout));
            EXPECT_EQ(Setting(QStringLiteral("Window Position")), PlacementText(expected));
        }
    }
}

// Numbers within 32 bits but beyond the 16 bits of X11's coordinates are no placement; a
// size within them but larger than the screen is bounded to it. Either way what is saved
// is what the window had, and the next start is sane again.
TEST_F(OpenboxTest, APlacementBeyondTheWindowSystemIsNotKept)
{
    const QRect screen(0, 0, 1280, 1024);
    const char* const stored[] = {"100000000, 100000000, 100000000, 100000000",
                                  "1500, 1500, 600000, 600000", "0, 0, 300000, 300000"};
    folder_ = MakeImageFolder(QStringLiteral("pictures"), kImages);
    for (const char* text : stored) {
        SCOPED_TRACE(text);
        WriteSettings(SettingsText({{QStringLiteral("Last Path"), folder_},
                                    {QStringLiteral("Window Position"), QLatin1String(text)}}));
        ASSERT_NO_FATAL_FAILURE(StartProgram());
        ASSERT_NO_FATAL_FAILURE(WaitForGallery(kImages));
        const QRect outer = SettledOuter();
        EXPECT_LE(outer.width(), screen.width() + 2 * 8);
        EXPECT_LE(outer.height(), screen.height() + 2 * 32);
        EXPECT_TRUE(outer.intersects(screen));
        ASSERT_NO_FATAL_FAILURE(CloseThroughWindowManager());
        ExpectCleanEnd(WaitForEnd(kEndTimeout));
        EXPECT_EQ(Setting(QStringLiteral("Window Position")), PlacementText(outer));
    }
}

TEST_F(OpenboxTest, TheUserCannotDragTheWindowBelowItsMinimum)
{
    WriteStart(kPlacement, false);
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_EQ(WaitForOuter(kPlacement), kPlacement);
    DragCorner(QPoint(-600, -600));
    const QRect dragged = SettledOuter();
    EXPECT_EQ(dragged.size(), kMinimumSize);
    EXPECT_EQ(dragged.topLeft(), kPlacement.topLeft());
    ASSERT_NO_FATAL_FAILURE(CloseThroughWindowManager());
    ExpectCleanEnd(WaitForEnd(kEndTimeout));
    EXPECT_EQ(Setting(QStringLiteral("Window Position")), PlacementText(dragged));
}

// Moved and resized by the window manager, then closed through it: the program ends and
// saves the outer area the user saw.
TEST_F(OpenboxTest, ClosingThroughTheWindowManagerSavesWhatItDid)
{
    WriteStart(kPlacement, false);
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_EQ(WaitForOuter(kPlacement), kPlacement);
    const ProcessResult moved = Wmctrl({QStringLiteral("-r"), WindowId(), QStringLiteral("-e"),
                                        QStringLiteral("0,200,150,500,400")});
    ASSERT_TRUE(moved.finished && moved.exitCode == 0) << moved.errors.toStdString();
    const QRect outer = SettledOuter();
    ASSERT_NE(outer, kPlacement);
    ASSERT_NO_FATAL_FAILURE(CloseThroughWindowManager());
    ExpectCleanEnd(WaitForEnd(kEndTimeout));
    EXPECT_EQ(Setting(QStringLiteral("Window Position")), PlacementText(outer));
    EXPECT_EQ(Setting(QStringLiteral("Maximized")), QStringLiteral("False"));
}

// openbox gives new windows no focus here; the stored folder opens all the same, and the
// user can pick from it once the window has the focus.
TEST_F(OpenboxUnfocusedTest, TheFirstStartOpensTheStoredFolder)
{
    WriteStart(kPlacement, false);
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_NO_FATAL_FAILURE(WaitForGallery(kImages));
    Xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), WindowId()});
    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("Return")}));
    ExpectCleanEnd(WaitForEnd(kEndTimeout));
    const QString first = folder_ + QDir::separator() + QStringLiteral("a.bmp");
    EXPECT_EQ(PasteClipboard(Environment()), first.toUtf8());
}
