#include "clipboard/clipboard.h"
#include "clipboard/handover_process.h"
#include "clipboard/x11_text_selection.h"

#include <QClipboard>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

// Found by GoogleTest through argument-dependent lookup, hence outside the namespace.
static void PrintTo(HandOverResult result, std::ostream* out)
{
    switch (result) {
    case HandOverResult::Ready:
        *out << "Ready";
        return;
    case HandOverResult::NotStarted:
        *out << "NotStarted";
        return;
    case HandOverResult::Failed:
        *out << "Failed";
        return;
    case HandOverResult::TimedOut:
        *out << "TimedOut";
        return;
    }
}

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct HandOverCase
{
    const char* name;
    const char* script;
    std::string input;
    ReadySignal signal;
    HandOverResult expected;
};

void PrintTo(const HandOverCase& c, std::ostream* out)
{
    *out << c.name;
}

const std::string kMebibyte(std::size_t{1024} * 1024, 'x');
constexpr auto kTimeout = 1500ms;

class HandOverToShell : public ::testing::TestWithParam<HandOverCase>
{};

// Every case must also end within the timeout plus the grace for reaping, whatever the
// script does with its input, and without SIGPIPE ending the test.
TEST_P(HandOverToShell, ReportsWhatTheHelperDid)
{
    const HandOverCase& c = GetParam();
    const auto started = Clock::now();
    const HandOverResult result =
        HandOverToProcess("/bin/sh", {"-c", c.script}, c.input, c.signal, kTimeout);
    EXPECT_EQ(result, c.expected);
    EXPECT_LT(Clock::now() - started, kTimeout + 1s);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HandOverToShell,
    ::testing::Values(HandOverCase{"ReadyAfterReadingTheInput",
                                   R"(read -r line; [ "$line" = "/home/a.jpg" ] && echo ready)",
                                   "/home/a.jpg\n", ReadySignal::ReadyLine, HandOverResult::Ready},
                      HandOverCase{"WrongInputGetsNoReady",
                                   R"(read -r line; [ "$line" = "/home/a.jpg" ] && echo ready)",
                                   "/home/b\n", ReadySignal::ReadyLine, HandOverResult::Failed},
                      HandOverCase{"AnotherLineIsNoReady", "cat >/dev/null; echo ready-ish", "x",
                                   ReadySignal::ReadyLine, HandOverResult::Failed},
                      HandOverCase{"LargeInputArrivesWhole",
                                   R"(n=$(wc -c); [ "$n" -eq 1048576 ] && echo ready)", kMebibyte,
                                   ReadySignal::ReadyLine, HandOverResult::Ready},
                      HandOverCase{"ReadyFromADetachedChild",
                                   "cat >/dev/null; (sleep 0.2; echo ready) & exit 0", "x",
                                   ReadySignal::ReadyLine, HandOverResult::Ready},
                      HandOverCase{"HelperIgnoringItsInput", "exit 0", kMebibyte,
                                   ReadySignal::ReadyLine, HandOverResult::Failed},
                      HandOverCase{"SilentHelperTimesOut", "cat >/dev/null; exec sleep 30", "x",
                                   ReadySignal::ReadyLine, HandOverResult::TimedOut},
                      HandOverCase{"HelperNotReadingTimesOut", "exec sleep 30", kMebibyte,
                                   ReadySignal::ReadyLine, HandOverResult::TimedOut},
                      HandOverCase{"ExitZeroIsReady", "cat >/dev/null", "x",
                                   ReadySignal::SuccessfulExit, HandOverResult::Ready},
                      HandOverCase{"ExitNonZeroFails", "cat >/dev/null; exit 3", "x",
                                   ReadySignal::SuccessfulExit, HandOverResult::Failed},
                      HandOverCase{"ExitZeroWithoutReadingFails", "exit 0", kMebibyte,
                                   ReadySignal::SuccessfulExit, HandOverResult::Failed},
                      HandOverCase{"HangingHelperTimesOut", "exec sleep 30", "x",
                                   ReadySignal::SuccessfulExit, HandOverResult::TimedOut}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HandOverToProcess, MissingProgramIsNotStarted)
{
    EXPECT_EQ(HandOverToProcess("/nonexistent/tessellon-clipboard-keeper", {}, "x",
                                ReadySignal::ReadyLine, kTimeout),
              HandOverResult::NotStarted);
}

TEST(HandOverToProcess, HelperInheritsNoStrayDescriptor)
{
    const int stray = open("/dev/null", O_RDONLY); // deliberately without O_CLOEXEC
    ASSERT_GE(stray, 0);
    const std::string script =
        "cat >/dev/null; [ -e /proc/$$/fd/" + std::to_string(stray) + " ] || echo ready";
    const HandOverResult result =
        HandOverToProcess("/bin/sh", {"-c", script}, "x", ReadySignal::ReadyLine, kTimeout);
    close(stray);
    EXPECT_EQ(result, HandOverResult::Ready);
}

struct Latin1Case
{
    const char* name;
    std::string utf8;
    std::optional<std::string> latin1;
};

void PrintTo(const Latin1Case& c, std::ostream* out)
{
    *out << c.name;
}

class Utf8ToLatin1Test : public ::testing::TestWithParam<Latin1Case>
{};

TEST_P(Utf8ToLatin1Test, ConvertsOnlyWhatLatin1Holds)
{
    EXPECT_EQ(x11::Utf8ToLatin1(GetParam().utf8), GetParam().latin1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8ToLatin1Test,
    ::testing::Values(Latin1Case{"Empty", "", ""},
                      Latin1Case{"Ascii", "/home/a.jpg", "/home/a.jpg"},
                      Latin1Case{"EmbeddedNul", std::string("a\0b", 3), std::string("a\0b", 3)},
                      Latin1Case{"LowestTwoByte", "\xC2\x80", "\x80"},
                      Latin1Case{"Accents", "/caf\xC3\xA9/No\xC3\xABl", "/caf\xE9/No\xEBl"},
                      Latin1Case{"HighestLatin1", "\xC3\xBF", "\xFF"},
                      Latin1Case{"FirstBeyondLatin1", "\xC4\x80", std::nullopt},
                      Latin1Case{"Euro", "\xE2\x82\xAC", std::nullopt},
                      Latin1Case{"Emoji", "\xF0\x9F\x8E\xA8", std::nullopt},
                      Latin1Case{"OverlongSlash", "\xC0\xAF", std::nullopt},
                      Latin1Case{"OverlongLatin1", "\xC1\xBF", std::nullopt},
                      Latin1Case{"TruncatedAtEnd", "ab\xC3", std::nullopt},
                      Latin1Case{"BadTrail", "\xC3\x28", std::nullopt},
                      Latin1Case{"StrayContinuation", "\x80", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// The tests' offscreen platform has no system clipboard; the window's tests rely on the
// text being taken there all the same.
TEST(SetClipboardText, TakesTheTextWithoutASystemClipboard)
{
    const QString path = QStringLiteral("/home/user/Pictures/caf\u00e9.jpg");
    EXPECT_TRUE(SetClipboardText(path));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), path);
}

} // namespace
