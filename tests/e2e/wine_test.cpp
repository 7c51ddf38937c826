// End to end on Windows' own terms: the cross-built tessellon.exe, in a folder with the
// libraries and plugins it was deployed with, started by Wine on a private Xvfb and driven
// with xdotool. Afterwards the clipboard is read by a second Windows program, once the
// first has ended, and the settings file beside the executable is read byte for byte.
//
// The suite shares one Wine prefix and one wineserver: a new prefix takes seconds to make.
// A minimized Notepad keeps Wine's desktop process alive between the programs, as a
// user's session is. The zip users download is tested as a user gets it: unpacked into a
// folder of its own, on a fresh prefix.

#include "e2e/program_fixture.h"

#include <QDirIterator>
#include <QMap>

namespace {

const QString kWine = QStringLiteral("/usr/lib/wine/wine64");
const QString kWineServer = QStringLiteral("/usr/lib/wine/wineserver64");
const QString kWindowsBuild = QStringLiteral(TESSELLON_WINDOWS_BUILD);
const QString kWindowsPackage = QStringLiteral(TESSELLON_WINDOWS_PACKAGE);
const QString kExecutableName = QStringLiteral("tessellon.exe");
constexpr auto kPrefixTimeout = 180s;
// Wine starts a program more slowly than Linux does, the first time most of all.
constexpr auto kWineWindowTimeout = 60s;

// Distinct colors, in the order the gallery shows the files.
const std::vector<FixtureImage> kImages = {
    {"a.bmp", qRgb(220, 30, 30)}, {"b.jpg", qRgb(30, 180, 30)}, {"c.bmp", qRgb(30, 30, 220)}};

// `path` as Wine shows a file of this machine: on drive Z:, with backslashes.
QString WinePath(const QString& path)
{
    return QStringLiteral("Z:") + QString(path).replace(u'/', u'\\');
}

// The area of `image` near `color`; empty when fewer pixels than a thumbnail's have it.
QRect AreaOf(const QImage& image, QRgb color)
{
    constexpr int kTolerance = 40;
    constexpr int kThumbnailPixels = 1000;
    QRect area;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (std::abs(qRed(pixel) - qRed(color)) <= kTolerance &&
                std::abs(qGreen(pixel) - qGreen(color)) <= kTolerance &&
                std::abs(qBlue(pixel) - qBlue(color)) <= kTolerance) {
                area |= QRect(x, y, 1, 1);
                ++count;
            }
        }
    }
    return count >= kThumbnailPixels ? area : QRect();
}

// The suite's X server, shared by its tests as the Wine session is.
std::unique_ptr<XvfbServer>& SuiteXvfb()
{
    static std::unique_ptr<XvfbServer> xvfb;
    return xvfb;
}

// The suite's Wine prefix, shared by its tests as the X server is.
QString& SuitePrefix()
{
    static QString prefix;
    return prefix;
}

class WineTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { StartSession(kWindowsBuild + QStringLiteral("/wine-prefix")); }

    static void TearDownTestSuite()
    {
        if (SuiteXvfb() && SuiteXvfb()->IsRunning())
            RunProcess(kWineServer, {QStringLiteral("-k")}, SuiteEnvironment());
        SuiteXvfb().reset();
    }

    // Starts a display and a Wine session on `prefix`, making the prefix where it is missing.
    static void StartSession(const QString& prefix)
    {
        SuitePrefix() = prefix;
        SuiteXvfb() = std::make_unique<XvfbServer>();
        if (!SuiteXvfb()->IsRunning())
            return;
        RunProcess(kWineServer, {QStringLiteral("-k")}, SuiteEnvironment());
        if (!QFile::exists(Prefix() + QStringLiteral("/system.reg"))) {
            RunProcess(kWine, {QStringLiteral("wineboot"), QStringLiteral("-i")},
                       SuiteEnvironment(), {}, kPrefixTimeout);
            // The registry's files are written when the wineserver ends.
            RunProcess(kWineServer, {QStringLiteral("-w")}, SuiteEnvironment(), {}, kPrefixTimeout);
        }
        RunProcess(kWineServer, {QStringLiteral("-p")}, SuiteEnvironment());
        // There is no window manager: Wine places, frames and maximizes its windows itself,
        // so that an X window is the whole of its Windows window, caption and all.
        RunProcess(kWine,
                   {QStringLiteral("reg"), QStringLiteral("add"),
                    QStringLiteral("HKCU\\Software\\Wine\\X11 Driver"), QStringLiteral("/v"),
                    QStringLiteral("Managed"), QStringLiteral("/d"), QStringLiteral("N"),
                    QStringLiteral("/f")},
                   SuiteEnvironment());
        // Its output goes nowhere: Wine's desktop and services, started with it, would
        // otherwise hold a pipe of this test open.
        QProcess notepad;
        notepad.setProcessEnvironment(SuiteEnvironment());
        notepad.setStandardInputFile(QProcess::nullDevice());
        notepad.setStandardOutputFile(QProcess::nullDevice());
        notepad.setStandardErrorFile(QProcess::nullDevice());
        notepad.start(kWine,
                      {QStringLiteral("start"), QStringLiteral("/min"), QStringLiteral("notepad")});
        notepad.waitForFinished(60000);
    }

    static QString Prefix() { return SuitePrefix(); }

    static QProcessEnvironment SuiteEnvironment()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"),
                           QString::fromStdString(SuiteXvfb()->Display()));
        environment.insert(QStringLiteral("WINEPREFIX"), Prefix());
        environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
        // No browser engine or .NET to install, and no debugger to wait for on a crash.
        environment.insert(QStringLiteral("WINEDLLOVERRIDES"),
                           QStringLiteral("mscoree,mshtml=;winedbg.exe=d"));
        // The program finds its libraries and plugins beside itself, as on Windows; the
        // Linux test environment's Qt and cache settings mean nothing there.
        // Nor do the places the other tests give the settings' user copy: Wine's own
        // %LOCALAPPDATA% holds it here.
        for (const char* name :
             {"WINEPATH", "QT_PLUGIN_PATH", "QT_QPA_PLATFORM", "XDG_CACHE_HOME", "XDG_CONFIG_HOME",
              "LOCALAPPDATA", "WAYLAND_DISPLAY", "QT_SCALE_FACTOR", "QT_FONT_DPI"})
            environment.remove(QLatin1String(name));
        return environment;
    }

    void SetUp() override
    {
        ASSERT_TRUE(SuiteXvfb()->IsRunning()) << SuiteXvfb()->Error();
        ASSERT_TRUE(QFile::exists(Prefix() + QStringLiteral("/system.reg")))
            << "no Wine prefix at " << Prefix().toStdString();
        ASSERT_TRUE(dir_.isValid());
        programFolder_ = dir_.path();
        ASSERT_NO_FATAL_FAILURE(DeployProgram());
    }

    void TearDown() override
    {
        if (program_ && program_->state() != QProcess::NotRunning) {
            program_->kill();
            program_->waitForFinished(5000);
        }
    }

    // A copy of the executable, so that its settings file is this test's, beside links to
    // the libraries and plugin folders of the Windows build.
    void DeployProgram() const
    {
        const QDir build(kWindowsBuild);
        ASSERT_TRUE(QFile::copy(build.filePath(kExecutableName), ProgramPath()))
            << "no " << kExecutableName.toStdString() << " in " << kWindowsBuild.toStdString();
        const QStringList deployed =
            build.entryList({QStringLiteral("*.dll")}, QDir::Files) +
            QStringList{QStringLiteral("platforms"), QStringLiteral("imageformats"),
                        QStringLiteral("styles")};
        for (const QString& name : deployed)
            ASSERT_TRUE(QFile::link(build.filePath(name), dir_.filePath(name)))
                << name.toStdString();
    }

    QString ProgramPath() const { return programFolder_ + u'/' + kExecutableName; }
    QString SettingsPath() const { return programFolder_ + u'/' + kSettingsName; }

    QString MakeImageFolder(const QString& name,
                            const std::vector<FixtureImage>& images = kImages) const
    {
        QString folder = dir_.filePath(name);
        EXPECT_TRUE(QDir().mkpath(folder));
        for (const FixtureImage& image : images)
            EXPECT_TRUE(
                WriteImage(folder + QLatin1Char('/') + QLatin1String(image.name), image.color));
        return folder;
    }

    void WriteSettings(const QByteArray& text) const
    {
        QFile file(SettingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(text), text.size());
    }

    std::optional<QString> Setting(const QString& key) const
    {
        return MainSettingIn(SettingsPath(), key);
    }

    void StartProgram()
    {
        program_ = std::make_unique<QProcess>();
        program_->setProcessEnvironment(SuiteEnvironment());
        program_->setWorkingDirectory(programFolder_);
        program_->start(kWine, {ProgramPath()});
        ASSERT_TRUE(program_->waitForStarted(5000)) << program_->errorString().toStdString();

        QString error;
        window_ = FindProgramWindow(*program_, QStringLiteral("Tessellon"), SuiteEnvironment(),
                                    kWineWindowTimeout, error);
        ASSERT_NE(window_, 0U) << error.toStdString();
    }

    ProcessResult Xdotool(const QStringList& arguments) const
    {
        return RunProcess(QStringLiteral("xdotool"), arguments, SuiteEnvironment());
    }

    QImage Grab() const { return GrabWindow(SuiteXvfb()->Display(), window_); }

    // Waits until every picture shows; the areas of their thumbnails in the window.
    std::vector<QRect> WaitForGallery(const std::vector<FixtureImage>& images = kImages) const
    {
        std::vector<QRect> areas;
        WaitUntil(
            [&] {
                const QImage shown = Grab();
                areas.clear();
                for (const FixtureImage& image : images) {
                    const QRect area = AreaOf(shown, image.color);
                    if (area.isEmpty())
                        return false;
                    areas.push_back(area);
                }
                return true;
            },
            kBuildTimeout);
        return areas;
    }

    void WaitForFocus() const
    {
        // With no window manager to give it, the focus is asked for as a user's click would.
        const bool focused = WaitUntil(
            [&] {
                if (Xdotool({QStringLiteral("getwindowfocus")}).output.trimmed().toUInt() ==
                    window_)
                    return true;
                Xdotool({QStringLiteral("windowfocus"), QString::number(window_)});
                return false;
            },
            kWindowTimeout);
        ASSERT_TRUE(focused) << "the window never took the keyboard focus";
    }

    void PressKeys(const QStringList& keys) const
    {
        const ProcessResult result = Xdotool(
            QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("80")} +
            keys);
        ASSERT_TRUE(result.finished && result.exitCode == 0) << result.errors.toStdString();
    }

    void DoubleClick(const QPoint& at) const
    {
        const ProcessResult result =
            Xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"),
                     QString::number(window_), QString::number(at.x()), QString::number(at.y()),
                     QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                     QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")});
        ASSERT_TRUE(result.finished && result.exitCode == 0) << result.errors.toStdString();
    }

    void ExpectCleanEnd()
    {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(kWineWindowTimeout);
        ASSERT_TRUE(program_->waitForFinished(static_cast<int>(ms.count())))
            << "the program is still running";
        EXPECT_EQ(program_->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program_->exitCode(), 0) << program_->readAllStandardError().toStdString();
    }

    // Runs the tests' own Windows program with `arguments`.
    static ProcessResult WindowsProbe(const QStringList& arguments)
    {
        return RunProcess(
            kWine, QStringList{kWindowsBuild + QStringLiteral("/windows_probe.exe")} + arguments,
            SuiteEnvironment(), {}, kWindowTimeout);
    }

    // The text on the Windows clipboard, as a Windows program reads it; "(nothing)" without.
    static QByteArray ReadWindowsClipboard()
    {
        const ProcessResult read = WindowsProbe({QStringLiteral("clipboard")});
        return read.finished && read.exitCode == 0 ? read.output : QByteArray("(nothing)");
    }

    // The window's X geometry: Wine's whole window, caption and borders included.
    QRect Geometry() const { return ClientRect(SuiteXvfb()->Display(), window_).value_or(QRect()); }

    QTemporaryDir dir_;
    // Where tessellon.exe runs from: a folder of this test's own, or the unpacked zip.
    QString programFolder_;
    std::unique_ptr<QProcess> program_;
    std::uint32_t window_ = 0;
};

struct PickCase
{
    const char* name;
    bool doubleClick; // on the chosen cell; else keys only
    std::vector<const char*> keys;
    int chosen;
};

void PrintTo(const PickCase& c, std::ostream* out)
{
    *out << c.name;
}

class WinePickTest : public WineTest, public ::testing::WithParamInterface<PickCase>
{};

TEST_P(WinePickTest, TheWindowsPathStaysOnTheClipboardAfterTheProgramEnds)
{
    const PickCase& c = GetParam();
    // A blank and a letter beyond ASCII: the path goes through Windows' wide entry points.
    const QString folder = MakeImageFolder(QStringLiteral("Fotos \u00e4"));
    ASSERT_NO_FATAL_FAILURE(
        WriteSettings(SettingsText({{QStringLiteral("Last Path"), WinePath(folder)}})));

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    const std::vector<QRect> areas = WaitForGallery();
    ASSERT_EQ(areas.size(), kImages.size()) << "the gallery never showed the pictures";
    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    if (c.doubleClick) {
        ASSERT_NO_FATAL_FAILURE(DoubleClick(areas[c.chosen].center()));
    }
    QStringList keys;
    for (const char* key : c.keys)
        keys.append(QLatin1String(key));
    if (!keys.isEmpty()) {
        ASSERT_NO_FATAL_FAILURE(PressKeys(keys));
    }
    ASSERT_NO_FATAL_FAILURE(ExpectCleanEnd());

    // What Windows keeps once the program is gone, read a second later by another program.
    std::this_thread::sleep_for(1s);
    const QString expected =
        WinePath(folder) + QLatin1Char('\\') + QLatin1String(kImages[c.chosen].name);
    EXPECT_EQ(ReadWindowsClipboard().toStdString(), expected.toStdString());
    EXPECT_EQ(Setting(QStringLiteral("Last Path")), WinePath(folder));
}

INSTANTIATE_TEST_SUITE_P(Picks, WinePickTest,
                         ::testing::Values(PickCase{"DoubleClickOnTheThirdCell", true, {}, 2},
                                           PickCase{
                                               "SelectTakesTheFirstPicture", false, {"alt+s"}, 0},
                                           PickCase{"RightReturn", false, {"Right", "Return"}, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// Every line of the file ends in CR LF, as Windows' profile functions write it.
void ExpectCrLfLines(const QByteArray& text)
{
    ASSERT_TRUE(text.endsWith("\r\n")) << text.toStdString();
    const QList<QByteArray> lines = text.chopped(1).split('\n');
    for (const QByteArray& line : lines)
        EXPECT_TRUE(line.endsWith('\r')) << "a bare LF after: " << line.toStdString();
}

// The placement is the frame a user sees. Windows' window around it is wider by the
// resizing border, which Windows leaves invisible, at the left, right and bottom.
constexpr int kMostBorder = 16;

bool HoldsFrame(const QRect& window, const QRect& frame)
{
    const int border = frame.left() - window.left();
    return border >= 0 && border <= kMostBorder &&
           window == frame.adjusted(-border, 0, border, border);
}

// Maximized, the window covers the screen with its borders beyond the screen's edges.
bool CoversScreen(const QRect& window, const QRect& screen)
{
    const int border = screen.left() - window.left();
    return border >= 0 && border <= kMostBorder &&
           window == screen.adjusted(-border, -border, border, border);
}

// "Window Position" in pixels; empty unless each of its four numbers is whole pixels.
QRect PixelsOfPlacement(const QString& text)
{
    const QStringList parts = text.split(QStringLiteral(", "));
    if (parts.size() != 4)
        return {};
    std::array<int, 4> pixels{};
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        bool ok = false;
        const int twips = parts[static_cast<int>(i)].toInt(&ok);
        if (!ok || twips % kTwipsPerPixel != 0)
            return {};
        pixels[i] = twips / kTwipsPerPixel;
    }
    return {pixels[0], pixels[1], pixels[2], pixels[3]};
}

QString Describe(const QRect& r)
{
    return QStringLiteral("%1, %2 size %3 x %4")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height());
}

TEST_F(WineTest, FirstStartOpensDriveCAndExitSavesThePlacementInTwips)
{
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    const QRect shown = Geometry();
    ASSERT_TRUE(shown.isValid());
    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("alt+x")}));
    ASSERT_NO_FATAL_FAILURE(ExpectCleanEnd());

    QFile file(SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    ASSERT_NO_FATAL_FAILURE(ExpectCrLfLines(text));
    EXPECT_EQ(Setting(QStringLiteral("Last Path")), QStringLiteral("C:\\"));
    EXPECT_EQ(Setting(QStringLiteral("Maximized")), QStringLiteral("False"));
    // Wine's screen has 96 pixels per inch: 15 twips each.
    const QString placement = Setting(QStringLiteral("Window Position")).value_or(QString());
    const QRect saved = PixelsOfPlacement(placement);
    EXPECT_TRUE(HoldsFrame(shown, saved))
        << "saved " << placement.toStdString() << ", shown at " << Describe(shown).toStdString();
}

// A logoff that another program calls off asks the picker whether it may end: it saves its
// placement and goes on. A logoff that goes ahead ends it as Exit does.
TEST_F(WineTest, TheSessionsEndEndsTheProgramOnlyWhenItComes)
{
    ASSERT_NO_FATAL_FAILURE(
        WriteSettings(SettingsText({{QStringLiteral("Last Path"), WinePath(dir_.path())}})));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_TRUE(WaitUntil([&] { return Geometry().isValid(); }, kWindowTimeout));

    const ProcessResult cancelled =
        WindowsProbe({QStringLiteral("end-session"), QStringLiteral("cancel")});
    ASSERT_TRUE(cancelled.finished) << cancelled.errors.toStdString();
    EXPECT_EQ(cancelled.output.trimmed(), "may end");
    EXPECT_TRUE(Setting(QStringLiteral("Window Position"))) << "the query saved nothing";
    EXPECT_FALSE(program_->waitForFinished(1000)) << "a logoff called off ended the program";

    ASSERT_TRUE(QFile::remove(SettingsPath()));
    const ProcessResult ended =
        WindowsProbe({QStringLiteral("end-session"), QStringLiteral("end")});
    ASSERT_TRUE(ended.finished) << ended.errors.toStdString();
    ASSERT_NO_FATAL_FAILURE(ExpectCleanEnd());
    EXPECT_TRUE(Setting(QStringLiteral("Window Position"))) << "the end saved nothing";
    EXPECT_EQ(Setting(QStringLiteral("Maximized")), QStringLiteral("False"));
}

struct WinePlacementCase
{
    const char* name;
    const char* stored;
    const char* maximized;
};

void PrintTo(const WinePlacementCase& c, std::ostream* out)
{
    *out << c.name;
}

class WinePlacementTest : public WineTest, public ::testing::WithParamInterface<WinePlacementCase>
{};

TEST_P(WinePlacementTest, RestoredAtStartAndSavedAtExit)
{
    const WinePlacementCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(
        WriteSettings(SettingsText({{QStringLiteral("Last Path"), WinePath(dir_.path())},
                                    {QStringLiteral("Window Position"), QLatin1String(c.stored)},
                                    {QStringLiteral("Maximized"), QLatin1String(c.maximized)}})));

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    const QRect frame = PixelsOfPlacement(QLatin1String(c.stored));
    const QRect screen(0, 0, 1280, 1024);
    const bool maximized = QLatin1String(c.maximized) == QLatin1String("True");
    EXPECT_TRUE(WaitUntil(
        [&] {
            return maximized ? CoversScreen(Geometry(), screen) : HoldsFrame(Geometry(), frame);
        },
        kWindowTimeout))
        << "shown at " << Describe(Geometry()).toStdString();
    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("alt+x")}));
    ASSERT_NO_FATAL_FAILURE(ExpectCleanEnd());

    QFile file(SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_NO_FATAL_FAILURE(ExpectCrLfLines(file.readAll()));
    EXPECT_EQ(Setting(QStringLiteral("Window Position")), QLatin1String(c.stored));
    EXPECT_EQ(Setting(QStringLiteral("Maximized")), QLatin1String(c.maximized));
}

INSTANTIATE_TEST_SUITE_P(
    Placements, WinePlacementTest,
    ::testing::Values(WinePlacementCase{"Normal", "1500, 1200, 6000, 6600", "False"},
                      // Maximized, the window fills the screen and keeps its normal placement.
                      WinePlacementCase{"Maximized", "1500, 1200, 6000, 6600", "True"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The zip users download -------------------------------------------------------------------

// Where the zip is unpacked: a blank, and letters beyond Latin-1, in the folder's name.
const QString kPackageFolderName = QStringLiteral("Programme \u732b \u0416");
// The title of the shell's folder picker, as Windows and Wine spell it.
const QString kPickerTitle = QStringLiteral("Browse [Ff]or Folder");

// Pictures of other colors than kImages, for a second folder.
const std::vector<FixtureImage> kOtherImages = {{"d.bmp", qRgb(230, 200, 20)},
                                                {"e.bmp", qRgb(200, 30, 200)}};

std::unique_ptr<QTemporaryDir>& PackageHome()
{
    static std::unique_ptr<QTemporaryDir> home;
    return home;
}

// Sets or clears the file system's immutable flag, which stops the superuser too.
bool SetImmutable(const QString& path, bool immutable)
{
    const ProcessResult result = RunProcess(
        QStringLiteral("chattr"), {immutable ? QStringLiteral("+i") : QStringLiteral("-i"), path},
        QProcessEnvironment::systemEnvironment());
    return result.finished && result.exitCode == 0;
}

// The names, sizes and contents of a folder's files, to tell that nothing was written.
QMap<QString, QByteArray> FolderContents(const QString& folder)
{
    QMap<QString, QByteArray> contents;
    QDirIterator files(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        contents.insert(path, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return contents;
}

class WinePackageTest : public WineTest
{
protected:
    // A fresh prefix for every test, as on a machine that has never run the program.
    static void SetUpTestSuite()
    {
        PackageHome() = std::make_unique<QTemporaryDir>();
        StartSession(PackageHome()->filePath(QStringLiteral("prefix")));
    }

    static void TearDownTestSuite()
    {
        WineTest::TearDownTestSuite();
        SetImmutable(PackageFolder() + u'/' + kSettingsName, false);
        SetImmutable(PackageFolder(), false);
        PackageHome().reset();
    }

    static QString PackageFolder() { return PackageHome()->filePath(kPackageFolderName); }

    void SetUp() override
    {
        ASSERT_TRUE(PackageHome()->isValid());
        ASSERT_TRUE(SuiteXvfb()->IsRunning()) << SuiteXvfb()->Error();
        ASSERT_TRUE(QFile::exists(Prefix() + QStringLiteral("/system.reg")))
            << "no Wine prefix at " << Prefix().toStdString();
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(QFile::exists(kWindowsPackage))
            << "no zip at " << kWindowsPackage.toStdString();
        ASSERT_TRUE(QDir().mkpath(PackageFolder()));
        const ProcessResult unpacked =
            RunProcess(QStringLiteral("cmake"),
                       {QStringLiteral("-E"), QStringLiteral("chdir"), PackageFolder(),
                        QStringLiteral("cmake"), QStringLiteral("-E"), QStringLiteral("tar"),
                        QStringLiteral("xf"), kWindowsPackage},
                       QProcessEnvironment::systemEnvironment(), {}, 60s);
        ASSERT_TRUE(unpacked.finished && unpacked.exitCode == 0) << unpacked.errors.toStdString();
        programFolder_ = PackageFolder();
        ASSERT_TRUE(QFile::exists(ProgramPath()));
    }

    // Whether a visible window has this title (a regular expression).
    bool Shows(const QString& title) const
    {
        const ProcessResult search =
            Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"), QLatin1Char('^') + title + QLatin1Char('$')});
        return search.finished && search.exitCode == 0 && !search.output.trimmed().isEmpty();
    }

    // Browse, and the shell's picker shown with the keyboard focus; then `keys` in it.
    void BrowseAndPress(const QStringList& keys)
    {
        ASSERT_NO_FATAL_FAILURE(WaitForFocus());
        ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("alt+b")}));
        QString error;
        const std::uint32_t picker =
            FindProgramWindow(*program_, kPickerTitle, SuiteEnvironment(), kWindowTimeout, error);
        ASSERT_NE(picker, 0U) << "the shell's picker never showed: " << error.toStdString();
        const bool focused = WaitUntil(
            [&] {
                if (Xdotool({QStringLiteral("getwindowfocus")}).output.trimmed().toUInt() == picker)
                    return true;
                Xdotool({QStringLiteral("windowfocus"), QString::number(picker)});
                return false;
            },
            kWindowTimeout);
        ASSERT_TRUE(focused) << "the picker never took the keyboard focus";
        // The tree shows its selection once it has filled.
        std::this_thread::sleep_for(1s);
        ASSERT_NO_FATAL_FAILURE(PressKeys(keys));
        ASSERT_TRUE(WaitUntil([&] { return !Shows(kPickerTitle); }, kWindowTimeout))
            << "the picker stayed open";
    }

    // The settings' copy in the user's VirtualStore, as this machine sees it; empty when
    // there is none.
    QString VirtualStoreCopy() const
    {
        QDirIterator users(Prefix() + QStringLiteral("/drive_c/users"),
                           QDir::Dirs | QDir::NoDotAndDotDot);
        while (users.hasNext()) {
            QString copy =
                users.next() + QStringLiteral("/AppData/Local/VirtualStore") + SettingsPath();
            if (QFile::exists(copy))
                return copy;
        }
        return {};
    }
};

TEST_F(WinePackageTest, PicksAndThePathOutlivesTheProgram)
{
    const QString folder = MakeImageFolder(QStringLiteral("Fotos \u00e4"));
    ASSERT_NO_FATAL_FAILURE(
        WriteSettings(SettingsText({{QStringLiteral("Last Path"), WinePath(folder)}})));

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_EQ(WaitForGallery().size(), kImages.size()) << "the gallery never showed the pictures";
    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("Return")}));
    ASSERT_NO_FATAL_FAILURE(ExpectCleanEnd());

    std::this_thread::sleep_for(1s);
    const QString expected = WinePath(folder) + QLatin1Char('\\') + QLatin1String(kImages[0].name);
    EXPECT_EQ(ReadWindowsClipboard().toStdString(), expected.toStdString());
}

// The shell's picker opens on the stored folder: Enter there opens that folder again (with
// anything else selected, another folder would open), Escape changes nothing.
TEST_F(WinePackageTest, BrowseShowsTheShellsPickerOnTheStoredFolder)
{
    const QString folder = MakeImageFolder(QStringLiteral("Fotos \u00e4"));
    MakeImageFolder(QStringLiteral("Fotos \u00e4 2"), kOtherImages);
    ASSERT_NO_FATAL_FAILURE(
        WriteSettings(SettingsText({{QStringLiteral("Last Path"), WinePath(folder)}})));

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_EQ(WaitForGallery().size(), kImages.size());
    ASSERT_NO_FATAL_FAILURE(BrowseAndPress({QStringLiteral("Return")}));
    EXPECT_EQ(WaitForGallery().size(), kImages.size()) << "Enter opened another folder";
    ASSERT_NO_FATAL_FAILURE(BrowseAndPress({QStringLiteral("Escape")}));
    EXPECT_EQ(WaitForGallery().size(), kImages.size()) << "Escape changed the gallery";
    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("alt+x")}));
    ASSERT_NO_FATAL_FAILURE(ExpectCleanEnd());
    EXPECT_EQ(Setting(QStringLiteral("Last Path")), WinePath(folder));
}

// As under C:\Program Files: the program's folder and its settings file cannot be written.
// The first start keeps what it saves in the user's VirtualStore, and the second reads it
// from there; nothing beside the program changes.
TEST_F(WinePackageTest, AnUnwritableFolderKeepsTheSettingsInTheVirtualStore)
{
    const QString first = MakeImageFolder(QStringLiteral("Fotos A"));
    const QString second = MakeImageFolder(QStringLiteral("Fotos B"), kOtherImages);
    ASSERT_NO_FATAL_FAILURE(
        WriteSettings(SettingsText({{QStringLiteral("Last Path"), WinePath(first)}})));
    if (!SetImmutable(SettingsPath(), true) || !SetImmutable(PackageFolder(), true))
        GTEST_SKIP() << "chattr +i needs the superuser and a file system that has the flag";
    const QMap<QString, QByteArray> beside = FolderContents(PackageFolder());

    // The first start reads the file beside the program and saves into the copy.
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_EQ(WaitForGallery().size(), kImages.size());
    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("alt+x")}));
    ASSERT_NO_FATAL_FAILURE(ExpectCleanEnd());

    const QString copy = VirtualStoreCopy();
    ASSERT_FALSE(copy.isEmpty()) << "no copy in the VirtualStore";
    EXPECT_EQ(MainSettingIn(copy, QStringLiteral("Last Path")), WinePath(first));
    EXPECT_TRUE(MainSettingIn(copy, QStringLiteral("Window Position")));
    EXPECT_EQ(FolderContents(PackageFolder()), beside) << "something was written beside the exe";

    // The second start takes the folder and the placement from the copy alone: another
    // folder and placement than the file beside the program holds.
    const QString placement = QStringLiteral("1500, 1200, 6000, 6600");
    {
        QFile file(copy);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(SettingsText({{QStringLiteral("Last Path"), WinePath(second)},
                                 {QStringLiteral("Window Position"), placement},
                                 {QStringLiteral("Maximized"), QStringLiteral("False")}}));
    }
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(WaitForGallery(kOtherImages).size(), kOtherImages.size())
        << "the second start did not reopen the folder";
    EXPECT_TRUE(WaitUntil([&] { return HoldsFrame(Geometry(), PixelsOfPlacement(placement)); },
                          kWindowTimeout))
        << "shown at " << Describe(Geometry()).toStdString();
    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("alt+x")}));
    ASSERT_NO_FATAL_FAILURE(ExpectCleanEnd());
    EXPECT_EQ(MainSettingIn(copy, QStringLiteral("Window Position")), placement);
    EXPECT_EQ(FolderContents(PackageFolder()), beside) << "something was written beside the exe";
}

} // namespace
