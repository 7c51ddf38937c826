#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct LeakCase
{
    const char* how;
    bool counts; // the leak fails the run
};

void PrintTo(const LeakCase& c, std::ostream* out)
{
    *out << c.how;
}

class LeakRules : public ::testing::TestWithParam<LeakCase>
{};

// A sanitizer build checks leaks at exit; a leak fails the run only when our own code made
// the allocation, wherever the call came from.
TEST_P(LeakRules, OnlyLeaksOurCodeAllocatedFailTheRun)
{
#ifndef TESSELLON_SANITIZE
    GTEST_SKIP() << "leaks are checked in the sanitizer build";
#endif
    const LeakCase& c = GetParam();
    QProcess probe;
    probe.start(QStringLiteral(LEAK_PROBE), {QString::fromLatin1(c.how)});
    ASSERT_TRUE(probe.waitForFinished(60000));
    const QByteArray report = probe.readAllStandardError();
    ASSERT_EQ(probe.exitStatus(), QProcess::NormalExit) << report.toStdString();
    if (c.counts) {
        EXPECT_NE(probe.exitCode(), 0) << report.toStdString();
        EXPECT_TRUE(report.contains("LeakSanitizer: detected memory leaks"))
            << report.toStdString();
    } else {
        EXPECT_EQ(probe.exitCode(), 0) << report.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Allocations, LeakRules,
                         ::testing::Values(LeakCase{"own", true}, LeakCase{"callback", true},
                                           LeakCase{"libc", false}, LeakCase{"qt", false}),
                         [](const auto& info) { return std::string(info.param.how); });

} // namespace
