#pragma once

// The program on a private Xvfb, driven with xdotool as a user would drive it, its
// clipboard read with xclip after it has ended. EndToEndTest runs a copy of the built
// program and reads the settings file beside it as the program left it: shared by the
// end-to-end tests with and without a window manager. DrivenProgramTest runs whatever
// program it is given, such as the installed package's.

#include "support/process_tools.h"
#include "support/settings_file.h"
#include "support/x11_window_tools.h"
#include "support/xvfb_server.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QRect>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

inline constexpr auto kWindowTimeout = 30s;
inline constexpr auto kBuildTimeout = 30s;
inline constexpr auto kEndTimeout = 10s;
// Exit during a gallery build ends the program within this time.
inline constexpr auto kPromptExit = 1000ms;

// The window's fixed layout, in pixels of the window.
// Qt takes 96 DPI on X11 unless the Xft.dpi resource says otherwise; a new Xvfb has none.
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kToolbarHeight = 38;
inline constexpr int kViewportBorder = 2;
inline constexpr int kScrollBarWidth = 14;
inline constexpr int kStatusBarHeight = 21;
inline constexpr QSize kCellSize(80, 96);
inline constexpr QSize kMinimumSize(346, 378);

inline const QString kProgramName = QStringLiteral("tessellon");
inline const QString kKeeperName = QStringLiteral("tessellon-clipboard-keeper");
inline const QString kSettingsName = QStringLiteral("tessellon.ini");

struct FixtureImage
{
    const char* name;
    QRgb color;
};

inline bool WriteImage(const QString& path, QRgb color, QSize size = QSize(48, 40))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image.save(path);
}

// How many pixels of `area` in `image` are close to `color`; JPEG shifts colors a little.
inline int PixelsNear(const QImage& image, const QRect& area, QRgb color)
{
    constexpr int kTolerance = 40;
    const QRect inside = area & image.rect();
    int count = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (std::abs(qRed(pixel) - qRed(color)) <= kTolerance &&
                std::abs(qGreen(pixel) - qGreen(color)) <= kTolerance &&
                std::abs(qBlue(pixel) - qBlue(color)) <= kTolerance)
                ++count;
        }
    }
    return count;
}

inline int GalleryColumns(int windowWidth)
{
    const int viewportWidth = windowWidth - 2 * kViewportBorder;
    return std::max(1, (viewportWidth - kScrollBarWidth) / kCellSize.width());
}

// The cell's rectangle in the window, with the gallery scrolled to the top.
inline QRect CellRect(int index, int windowWidth)
{
    const int columns = GalleryColumns(windowWidth);
    return {kViewportBorder + (index % columns) * kCellSize.width(),
            kToolbarHeight + kViewportBorder + (index / columns) * kCellSize.height(),
            kCellSize.width(), kCellSize.height()};
}

inline bool CellShows(const QImage& window, int index, QRgb color)
{
    // The thumbnail of a fixture covers well over a thousand pixels of its cell.
    return PixelsNear(window, CellRect(index, window.width()), color) >= 1000;
}

inline QString PlacementText(const QRect& pixels)
{
    return QStringLiteral("%1, %2, %3, %4")
        .arg(pixels.x() * kTwipsPerPixel)
        .arg(pixels.y() * kTwipsPerPixel)
        .arg(pixels.width() * kTwipsPerPixel)
        .arg(pixels.height() * kTwipsPerPixel);
}

inline QByteArray SettingsText(const QList<QPair<QString, QString>>& keys)
{
    QByteArray text = "[Main]\r\n";
    for (const auto& [key, value] : keys)
        text += (key + QLatin1Char('=') + value).toUtf8() + "\r\n";
    return text;
}

struct ProgramEnd
{
    bool ended = false; // by itself, not by a signal
    int exitCode = -1;
    QByteArray errors;
    TestClock::duration elapsed{};
};

// A program on a private Xvfb, with a temporary folder of the test's own, driven through
// X as a user would drive it.
class DrivenProgramTest : public ::testing::Test
{
protected:
    // The clipboard keeper detaches from the program; as subreaper this test becomes its
    // parent and can reap it.
    static void SetUpTestSuite() { prctl(PR_SET_CHILD_SUBREAPER, 1); }

    void SetUp() override
    {
        ASSERT_TRUE(xvfb_.IsRunning()) << xvfb_.Error();
        ASSERT_TRUE(dir_.isValid());
    }

    void TearDown() override
    {
        Kill(program_);
        ReapEndedChildren(xvfb_.Pid());
    }

    static void Kill(std::unique_ptr<QProcess>& process)
    {
        if (process && process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
        process.reset();
    }

    QString ConfigFolder() const { return dir_.filePath(QStringLiteral("config")); }

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QString::fromStdString(xvfb_.Display()));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // Where the program keeps its settings when its own folder cannot be written.
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), ConfigFolder());
        for (const char* name : {"WAYLAND_DISPLAY", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                                 "QT_ENABLE_HIGHDPI_SCALING", "QT_FONT_DPI", "SESSION_MANAGER"})
            environment.remove(QLatin1String(name));
        // The test's own session manager, if it runs one; never the desktop's.
        if (!sessionManager_.isEmpty()) {
            environment.insert(QStringLiteral("SESSION_MANAGER"), sessionManager_);
            environment.insert(QStringLiteral("ICEAUTHORITY"),
                               dir_.filePath(QStringLiteral("ice")));
        }
        if (!locale_.isEmpty()) {
            for (const QString& name : environment.keys()) {
                if (name.startsWith(u"LC_") || name == u"LANGUAGE")
                    environment.remove(name);
            }
            environment.insert(QStringLiteral("LANG"), locale_);
        }
        return environment;
    }

    // A folder of this test with the given images, each of its own color.
    QString MakeImageFolder(const QString& name, const std::vector<FixtureImage>& images) const
    {
        const QString folder = dir_.filePath(name);
        EXPECT_TRUE(QDir().mkpath(folder));
        for (const FixtureImage& image : images)
            EXPECT_TRUE(
                WriteImage(folder + QLatin1Char('/') + QLatin1String(image.name), image.color));
        return QDir::toNativeSeparators(folder);
    }

    // Starts `program` and waits until the window of the program it runs shows; `window_`
    // is its id.
    void Launch(const QString& program, const QStringList& arguments)
    {
        program_ = std::make_unique<QProcess>();
        program_->setProcessEnvironment(Environment());
        program_->setWorkingDirectory(dir_.path());
        program_->start(program, arguments);
        ASSERT_TRUE(program_->waitForStarted(5000)) << program_->errorString().toStdString();

        QString error;
        window_ = FindProgramWindow(*program_, QStringLiteral("Tessellon"), Environment(),
                                    kWindowTimeout, error);
        ASSERT_NE(window_, 0U) << error.toStdString();
    }

    ProcessResult Xdotool(const QStringList& arguments) const
    {
        return RunProcess(QStringLiteral("xdotool"), arguments, Environment());
    }

    QString WindowId() const { return QString::number(window_); }

    // The window's geometry as X reports it; with no frame this is its outer placement.
    QRect Geometry() const
    {
        const ProcessResult result =
            Xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), WindowId()});
        QRect geometry;
        for (const QByteArray& line : result.output.split('\n')) {
            const int value = line.mid(line.indexOf('=') + 1).toInt();
            if (line.startsWith("X="))
                geometry.moveLeft(value);
            else if (line.startsWith("Y="))
                geometry.moveTop(value);
            else if (line.startsWith("WIDTH="))
                geometry.setWidth(value);
            else if (line.startsWith("HEIGHT="))
                geometry.setHeight(value);
        }
        return geometry;
    }

    // Keys go to the window with the input focus, which must be the program's first.
    void WaitForFocus() const
    {
        const bool focused = WaitUntil(
            [&] {
                const ProcessResult focus = Xdotool({QStringLiteral("getwindowfocus")});
                return focus.output.trimmed().toUInt() == window_;
            },
            kWindowTimeout);
        ASSERT_TRUE(focused) << "the window never took the keyboard focus";
    }

    void PressKeys(const QStringList& keys) const
    {
        QStringList arguments{QStringLiteral("key"), QStringLiteral("--delay"),
                              QStringLiteral("60")};
        arguments += keys;
        const ProcessResult result = Xdotool(arguments);
        ASSERT_TRUE(result.finished && result.exitCode == 0) << result.errors.toStdString();
    }

    void ClickCell(int index, int clicks) const
    {
        const QPoint at = CellRect(index, Geometry().width()).center();
        const ProcessResult result =
            Xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), WindowId(),
                     QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
                     QStringLiteral("--repeat"), QString::number(clicks), QStringLiteral("--delay"),
                     QStringLiteral("80"), QStringLiteral("1")});
        ASSERT_TRUE(result.finished && result.exitCode == 0) << result.errors.toStdString();
    }

    QImage Grab() const { return GrabWindow(xvfb_.Display(), window_); }

    // Waits until every cell shows its image: the gallery build has ended.
    void WaitForGallery(const std::vector<FixtureImage>& images) const
    {
        QImage shown;
        const bool complete = WaitUntil(
            [&] {
                shown = Grab();
                for (size_t i = 0; i < images.size(); ++i) {
                    if (!CellShows(shown, static_cast<int>(i), images[i].color))
                        return false;
                }
                return true;
            },
            kBuildTimeout);
        ASSERT_TRUE(complete) << "the gallery never showed the images in their order";
    }

    ProgramEnd WaitForEnd(TestClock::duration timeout) const
    {
        ProgramEnd end;
        const auto started = TestClock::now();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(timeout);
        end.ended = program_->waitForFinished(static_cast<int>(ms.count())) &&
                    program_->exitStatus() == QProcess::NormalExit;
        end.elapsed = TestClock::now() - started;
        end.exitCode = program_->exitCode();
        end.errors = program_->readAllStandardError();
        return end;
    }

    // The program ended by itself with status 0 and without a sanitizer's report.
    static void ExpectCleanEnd(const ProgramEnd& end)
    {
        EXPECT_TRUE(end.ended) << "the program is still running or crashed:\n"
                               << end.errors.toStdString();
        EXPECT_EQ(end.exitCode, 0) << end.errors.toStdString();
        EXPECT_FALSE(end.errors.contains("Sanitizer")) << end.errors.toStdString();
        EXPECT_FALSE(end.errors.contains("runtime error")) << end.errors.toStdString();
    }

    XvfbServer xvfb_;
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> program_;
    std::uint32_t window_ = 0;
    QString locale_;         // the program's LANG; empty: the test's own environment
    QString sessionManager_; // the program's SESSION_MANAGER; empty: none
};

// The built program, a copy of it in the test's folder with its settings file beside it.
class EndToEndTest : public DrivenProgramTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(DrivenProgramTest::SetUp());
        // Copies keep the settings file, which lives beside the executable, to this test.
        ASSERT_TRUE(QFile::copy(QStringLiteral(TESSELLON_PROGRAM), ProgramPath()));
        ASSERT_TRUE(QFile::copy(QStringLiteral(TESSELLON_CLIPBOARD_KEEPER), KeeperPath()));
    }

    void TearDown() override
    {
        Kill(program_);
        Kill(manager_);
        KillProcessesRunning(KeeperPath());
        DrivenProgramTest::TearDown();
    }

    QString ProgramPath() const { return dir_.filePath(kProgramName); }
    QString KeeperPath() const { return dir_.filePath(kKeeperName); }
    QString SettingsPath() const { return dir_.filePath(kSettingsName); }

    void WriteSettings(const QByteArray& text) const
    {
        QFile file(SettingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(text), text.size());
    }

    // The value of `key` in the settings file's section "Main"; none when absent.
    std::optional<QString> Setting(const QString& key) const
    {
        return MainSettingIn(SettingsPath(), key);
    }

    void StartProgram() { Launch(ProgramPath(), QStringList()); }

    void StartClipboardManager()
    {
        manager_ = std::make_unique<QProcess>();
        manager_->setProcessEnvironment(Environment());
        manager_->start(QStringLiteral(FIXTURE_CLIPBOARD_MANAGER), QStringList());
        ASSERT_TRUE(manager_->waitForReadyRead(5000))
            << manager_->readAllStandardError().toStdString();
        ASSERT_EQ(manager_->readLine().trimmed(), QByteArray("ready"));
    }

    std::unique_ptr<QProcess> manager_;
};
