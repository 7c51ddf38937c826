// End to end on Wayland: the built program as a native client of a private headless sway,
// Enter typed with wtype, and the clipboard read with wl-paste after the program has ended,
// when only wl-copy can still hold the text.

#include "support/process_tools.h"
#include "support/settings_file.h"
#include "support/wayland_session.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <sys/prctl.h>

#include <chrono>
#include <iostream>
#include <optional>
#include <string>

using namespace Qt::StringLiterals;

namespace {

using namespace std::chrono_literals;

constexpr auto kFocusTimeout = 30s;
constexpr auto kEndTimeout = 10s;
constexpr int kEnterIntervalMs = 500;
constexpr auto kClipboardTimeout = 3s;
// Where the window was the last time a window system told.
constexpr const char* kStoredPosition = "1500, 1200, 6000, 6600";

// Shown in this order; Enter with nothing clicked picks the first.
const QStringList kPictures = {u"a.bmp"_s, u"b.bmp"_s, u"c.bmp"_s};

struct HandOverCase
{
    const char* name;
    bool wlCopyOnPath;  // without it the clipboard's text ends with the program
    const char* logged; // expected in the program's log; null: nothing in particular
    const char* storedPosition = kStoredPosition;
    // How the position written at the end starts: Wayland keeps the window's position to
    // itself, so the stored one stays, unless it could not be restored.
    const char* writtenStart = "1500, 1200, ";
};

void PrintTo(const HandOverCase& c, std::ostream* out)
{
    *out << c.name;
}

class WaylandTest : public ::testing::TestWithParam<HandOverCase>
{
protected:
    // wl-copy stays behind in the background; as subreaper this test becomes its parent
    // and can reap it.
    static void SetUpTestSuite() { prctl(PR_SET_CHILD_SUBREAPER, 1); }

    void SetUp() override
    {
        const QStringList missing = WaylandSession::MissingTools();
        ASSERT_TRUE(missing.isEmpty())
            << missing.join(u'\n').toStdString() << "\nscripts/install-deps installs them";
        ASSERT_TRUE(session_.IsValid()) << session_.Error().toStdString();

        // A blank and a letter beyond ASCII: the path must reach wl-copy as UTF-8.
        folder_ = session_.Path(u"Fotos \u00e4"_s);
        ASSERT_TRUE(QDir().mkpath(folder_));
        for (const QString& name : kPictures) {
            QImage picture(40, 30, QImage::Format_RGB32);
            picture.fill(Qt::darkCyan);
            ASSERT_TRUE(picture.save(folder_ + u'/' + name));
        }
        // The settings file lives beside the executable: each test runs a copy of its own.
        ASSERT_TRUE(QDir().mkpath(session_.Path(u"app"_s)));
        ASSERT_TRUE(QFile::copy(QStringLiteral(TESSELLON_PROGRAM), ProgramPath()));
        ASSERT_TRUE(QFile::copy(QStringLiteral(TESSELLON_CLIPBOARD_KEEPER),
                                session_.Path(u"app/tessellon-clipboard-keeper"_s)));
        QFile settings(SettingsPath());
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("[Main]\r\nLast Path=" + folder_.toUtf8() +
                       "\r\nWindow Position=" + GetParam().storedPosition + "\r\n");
        settings.close();
        ASSERT_TRUE(QDir().mkpath(session_.Path(u"no-tools"_s)));

        // TearDown shows what sway wrote.
        ASSERT_TRUE(session_.Start()) << session_.Error().toStdString();
    }

    void TearDown() override
    {
        session_.Stop();
        const QString logs = session_.Logs();
        if (HasFailure() && !logs.isEmpty())
            std::cerr << "What the processes wrote:" << logs.toStdString() << '\n';
    }

    QString ProgramPath() const { return session_.Path(u"app/tessellon"_s); }
    QString SettingsPath() const { return session_.Path(u"app/tessellon.ini"_s); }

    // The value of `key` in the settings file's section "Main"; none when absent.
    std::optional<QString> Setting(const QString& key) const
    {
        return MainSettingIn(SettingsPath(), key);
    }

    // The clipboard's text; none when nobody offers one.
    std::optional<std::string> Paste() const
    {
        const ProcessResult paste =
            session_.Run(QStandardPaths::findExecutable(u"wl-paste"_s), {u"--no-newline"_s});
        if (!paste.finished || paste.exitCode != 0)
            return std::nullopt;
        return paste.output.toStdString();
    }

    WaylandSession session_;
    QString folder_;
};

bool Ended(QProcess& process)
{
    process.waitForFinished(0);
    return process.state() == QProcess::NotRunning;
}

TEST_P(WaylandTest, EnterPicksTheFirstPictureAndTheProgramEnds)
{
    const HandOverCase& c = GetParam();
    QStringList environment{u"QT_QPA_PLATFORM=wayland"_s};
    if (!c.wlCopyOnPath)
        environment << u"PATH="_s + session_.Path(u"no-tools"_s);
    QProcess* program = session_.StartClient(ProgramPath(), {}, environment, u"program"_s);
    ASSERT_NE(program, nullptr) << session_.Error().toStdString();
    const qint64 pid = program->processId();

    // Keys go to the focused window; sway focuses a new window by itself.
    const bool focused =
        WaitUntil([&] { return Ended(*program) || session_.FocusedPid() == pid; }, kFocusTimeout);
    ASSERT_TRUE(focused && !Ended(*program)) << "the window never took the keyboard focus";
    // The desktop finds the window's menu entry, and with it its name and icon, by its app id.
    const std::optional<QJsonObject> window = session_.FocusedWindow();
    ASSERT_TRUE(window.has_value());
    EXPECT_EQ(window->value(u"app_id").toString(), QStringLiteral(TESSELLON_APP_ID));

    // An Enter that comes before the gallery is built is ignored, and nothing shows when
    // it is: Enter again until the program ends. One that comes later finds no window.
    const QString wtype = QStandardPaths::findExecutable(u"wtype"_s);
    const auto deadline = TestClock::now() + kEndTimeout;
    int presses = 0;
    QByteArray wtypeErrors;
    while (!Ended(*program) && TestClock::now() < deadline) {
        const ProcessResult enter = session_.Run(wtype, {u"-k"_s, u"Return"_s});
        wtypeErrors += enter.errors;
        ++presses;
        program->waitForFinished(kEnterIntervalMs);
    }
    ASSERT_TRUE(Ended(*program)) << "still running after " << presses << " Enter presses\n"
                                 << wtypeErrors.toStdString();

    const QByteArray log = session_.Log(u"program"_s);
    EXPECT_EQ(program->exitStatus(), QProcess::NormalExit) << log.toStdString();
    EXPECT_EQ(program->exitCode(), 0) << log.toStdString();
    EXPECT_FALSE(log.contains("Sanitizer")) << log.toStdString();
    EXPECT_FALSE(log.contains("runtime error")) << log.toStdString();
    if (c.logged) {
        EXPECT_TRUE(log.contains(c.logged)) << log.toStdString();
    }

    // Whoever serves the selection may still be taking it over: ask a few times.
    const std::string chosen = (folder_ + u'/' + kPictures.front()).toStdString();
    const std::optional<std::string> expected =
        c.wlCopyOnPath ? std::optional(chosen) : std::nullopt;
    std::optional<std::string> pasted;
    WaitUntil([&] { return (pasted = Paste()) == expected; }, kClipboardTimeout);
    EXPECT_EQ(pasted, expected);

    EXPECT_EQ(Setting(u"Last Path"_s), folder_);
    EXPECT_EQ(Setting(u"Maximized"_s), u"False"_s);
    const QString written = Setting(u"Window Position"_s).value_or(QString());
    EXPECT_TRUE(written.startsWith(QLatin1String(c.writtenStart))) << written.toStdString();
    EXPECT_EQ(written.split(u", "_s).size(), 4) << written.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    HandOver, WaylandTest,
    ::testing::Values(HandOverCase{"WlCopyKeepsThePath", true, nullptr},
                      // Qt needs nothing from PATH to start on Wayland.
                      HandOverCase{"WithoutWlCopyTheLogSaysSo", false, "wl-copy is not installed"},
                      // Beyond 32 bits: no placement, and none kept.
                      HandOverCase{"APositionBeyond32BitsIsNotKept", true, nullptr,
                                   "9999999999, 0, 6000, 6000", ", , "}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
