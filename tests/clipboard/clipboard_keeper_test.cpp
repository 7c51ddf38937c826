// End to end: a probe program sets the clipboard and ends exactly as the program does,
// on a private Xvfb; xclip then reads what is left on the clipboard.

#include "support/process_tools.h"
#include "support/xvfb_server.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/prctl.h>

#include <chrono>
#include <optional>
#include <string>

namespace {

using namespace std::chrono_literals;

// The program must end within a few seconds whatever becomes of the clipboard text.
constexpr auto kPromptEnd = 5s;
constexpr auto kSettleTime = 12s;
const QString kKeeperName = QStringLiteral("tessellon-clipboard-keeper");

class ClipboardKeeperTest : public ::testing::Test
{
protected:
    // Keepers detach from the probe; as subreaper this test becomes their parent and can
    // reap them once they end.
    static void SetUpTestSuite() { prctl(PR_SET_CHILD_SUBREAPER, 1); }

    void SetUp() override
    {
        ASSERT_TRUE(xvfb_.IsRunning()) << xvfb_.Error();
        ASSERT_TRUE(dir_.isValid());
        // The program looks for the keeper beside its own executable: copies let each
        // test choose whether there is one.
        ASSERT_TRUE(QFile::copy(QStringLiteral(CLIPBOARD_PROBE), ProbePath()));
    }

    void TearDown() override
    {
        KillProcessesRunning(KeeperPath());
        ReapEndedChildren(xvfb_.Pid());
    }

    QString ProbePath() const { return dir_.filePath(QStringLiteral("clipboard_probe")); }
    QString KeeperPath() const { return dir_.filePath(kKeeperName); }

    void InstallKeeper()
    {
        ASSERT_TRUE(QFile::copy(QStringLiteral(CLIPBOARD_KEEPER), KeeperPath()));
    }

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QString::fromStdString(xvfb_.Display()));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return environment;
    }

    ProcessResult Run(const QString& program, const QStringList& arguments,
                      const QByteArray& input = {}) const
    {
        return RunProcess(program, arguments, Environment(), input);
    }

    // Runs the probe and checks that it ended promptly, cleanly and with the text taken.
    void RunProbe(const QStringList& arguments)
    {
        const ProcessResult probe = Run(ProbePath(), arguments);
        ASSERT_TRUE(probe.finished) << "the probe hung or crashed";
        EXPECT_EQ(probe.exitCode, 0) << probe.errors.constData();
        EXPECT_LT(probe.elapsed, kPromptEnd);
        EXPECT_FALSE(probe.errors.contains("Sanitizer")) << probe.errors.constData();
        probeErrors_ = probe.errors;
    }

    std::optional<QByteArray> Paste(const QString& target = QStringLiteral("UTF8_STRING")) const
    {
        return PasteClipboard(Environment(), target);
    }

    // Live keepers started from this test's folder, found by their executable.
    std::vector<pid_t> KeeperPids() const { return ProcessesRunning(KeeperPath()); }

    XvfbServer xvfb_;
    QTemporaryDir dir_;
    QByteArray probeErrors_;
};

struct KeptText
{
    const char* name;
    std::string utf8;
    std::optional<std::string> latin1; // what STRING must give; none when not representable
};

void PrintTo(const KeptText& c, std::ostream* out)
{
    *out << c.name;
}

std::string LongText()
{
    std::string text;
    for (int i = 0; text.size() < std::size_t{1024} * 1024; ++i)
        text += "/home/user/Pictures/folder " + std::to_string(i) + "/image.jpg\n";
    return text;
}

QByteArray Bytes(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

class KeptTextTest : public ClipboardKeeperTest, public ::testing::WithParamInterface<KeptText>
{};

TEST_P(KeptTextTest, ServedInEveryTextTargetAfterTheProgramEnded)
{
    const KeptText& c = GetParam();
    InstallKeeper();
    if (c.utf8.size() < 4096) {
        RunProbe({QString::fromStdString(c.utf8)});
    } else {
        QFile file(dir_.filePath(QStringLiteral("text")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Bytes(c.utf8));
        file.close();
        RunProbe({QStringLiteral("--file"), file.fileName()});
    }
    ASSERT_EQ(KeeperPids().size(), 1U) << probeErrors_.constData();

    const QByteArray utf8 = Bytes(c.utf8);
    EXPECT_EQ(Paste(QStringLiteral("UTF8_STRING")), utf8);
    EXPECT_EQ(Paste(QStringLiteral("text/plain;charset=utf-8")), utf8);
    const std::optional<QByteArray> latin1 =
        c.latin1 ? std::optional(Bytes(*c.latin1)) : std::nullopt;
    EXPECT_EQ(Paste(QStringLiteral("STRING")), latin1);
    EXPECT_EQ(Paste(QStringLiteral("text/plain")), latin1);
    EXPECT_EQ(Paste(QStringLiteral("TEXT")), latin1 ? *latin1 : utf8);

    const std::optional<QByteArray> targets = Paste(QStringLiteral("TARGETS"));
    ASSERT_TRUE(targets);
    const QList<QByteArray> listed = targets->trimmed().split('\n');
    for (const char* target :
         {"TARGETS", "TIMESTAMP", "UTF8_STRING", "text/plain;charset=utf-8", "TEXT"})
        EXPECT_TRUE(listed.contains(target)) << target;
    EXPECT_EQ(listed.contains("STRING"), c.latin1.has_value());
    EXPECT_EQ(listed.contains("text/plain"), c.latin1.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, KeptTextTest,
    ::testing::Values(
        KeptText{"AsciiPath", "/home/user/Pictures/a.jpg", "/home/user/Pictures/a.jpg"},
        KeptText{"Latin1Path", "/tmp/Caf\xC3\xA9 No\xC3\xABl/\xC3\xA9t\xC3\xA9.png",
                 "/tmp/Caf\xE9 No\xEBl/\xE9t\xE9.png"},
        KeptText{"PathBeyondLatin1",
                 "/tmp/\xE5\x86\x99\xE7\x9C\x9F/\xE2\x82\xAC \xF0\x9F\x8E\xA8.png", std::nullopt},
        KeptText{"TextLargerThanOneRequest", LongText(), LongText()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ClipboardKeeperTest, KeeperEndsWhenAnotherProgramTakesTheClipboard)
{
    InstallKeeper();
    RunProbe({QStringLiteral("/srv/first.png")});
    ASSERT_EQ(KeeperPids().size(), 1U) << probeErrors_.constData();

    QProcess other; // in the foreground with -quiet; killed when it goes out of scope
    other.setProcessEnvironment(Environment());
    other.start(QStringLiteral("xclip"), {QStringLiteral("-i"), QStringLiteral("-selection"),
                                          QStringLiteral("clipboard"), QStringLiteral("-quiet")});
    ASSERT_TRUE(other.waitForStarted(5000));
    other.write("second");
    ASSERT_TRUE(other.waitForBytesWritten(5000));
    other.closeWriteChannel();

    EXPECT_TRUE(WaitUntil([&] { return Paste() == QByteArray("second"); }, kSettleTime));
    EXPECT_TRUE(WaitUntil([&] { return KeeperPids().empty(); }, kSettleTime));
}

TEST_F(ClipboardKeeperTest, KeeperEndsWhenTheXServerGoesAway)
{
    InstallKeeper();
    RunProbe({QStringLiteral("/srv/a.png")});
    ASSERT_EQ(KeeperPids().size(), 1U) << probeErrors_.constData();

    xvfb_.Stop();
    EXPECT_TRUE(WaitUntil([&] { return KeeperPids().empty(); }, kSettleTime));
}

TEST_F(ClipboardKeeperTest, ClipboardManagerKeepsTheTextAndNoKeeperStarts)
{
    InstallKeeper();
    QProcess manager;
    manager.setProcessEnvironment(Environment());
    manager.start(QStringLiteral(FIXTURE_CLIPBOARD_MANAGER), QStringList());
    ASSERT_TRUE(manager.waitForReadyRead(5000)) << manager.readAllStandardError().constData();
    ASSERT_EQ(manager.readLine().trimmed(), QByteArray("ready"));

    const std::string text = "/srv/M\xC3\xBCnchen/\xE5\x86\x99.png";
    RunProbe({QString::fromStdString(text)});

    EXPECT_EQ(Paste(), Bytes(text));
    EXPECT_TRUE(KeeperPids().empty());
    EXPECT_EQ(manager.state(), QProcess::Running);
}

TEST_F(ClipboardKeeperTest, MissingKeeperLetsTheProgramEndPromptly)
{
    RunProbe({QStringLiteral("/srv/a.png")});

    EXPECT_TRUE(probeErrors_.contains(kKeeperName.toUtf8())) << "the loss is not logged";
    EXPECT_EQ(Paste(), std::nullopt);
}

} // namespace
