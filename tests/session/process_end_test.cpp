#include "session/process_end.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class ProcessEndTest : public ::testing::TestWithParam<int>
{};

// The status reaches the parent, and what the process wrote through C's buffered files is
// written out first: the test binaries' own reports go that way.
TEST_P(ProcessEndTest, EndsWithItsStatusAndFlushesBufferedOutput)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const int status = GetParam();
    EXPECT_EXIT(
        {
            static char buffer[256];
            std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer);
            std::fputs("written before the end", stderr);
            EndProcess(status);
        },
        ::testing::ExitedWithCode(status), "written before the end");
}

INSTANTIATE_TEST_SUITE_P(Statuses, ProcessEndTest, ::testing::Values(0, 1, 3, 255));

} // namespace
