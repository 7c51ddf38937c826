#include "pictures/decode_memory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

using pictures::DecodeMemory;
using namespace std::chrono_literals;

namespace {

constexpr qint64 kBudget = 250;

// A hold taken on a thread of its own, so that the test sees whether it has to wait.
class HoldOnThread
{
public:
    HoldOnThread(DecodeMemory& memory, qint64 bytes)
        : thread_([this, &memory, bytes] {
            const DecodeMemory::Reservation reservation(memory, bytes);
            held_ = true;
            while (!release_)
                std::this_thread::sleep_for(1ms);
        })
    {}
    ~HoldOnThread()
    {
        release_ = true;
        thread_.join();
    }
    HoldOnThread(const HoldOnThread&) = delete;
    HoldOnThread& operator=(const HoldOnThread&) = delete;

    // True once the hold is taken, waiting up to a generous bound for it.
    bool Held(std::chrono::milliseconds within = 2000ms) const
    {
        const auto until = std::chrono::steady_clock::now() + within;
        while (!held_ && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(1ms);
        return held_;
    }
    void Release() { release_ = true; }

private:
    std::atomic<bool> held_{false};
    std::atomic<bool> release_{false};
    std::thread thread_;
};

struct WaitCase
{
    const char* name;
    std::vector<qint64> holding; // taken first, in this order
    qint64 next;
    bool waits;
};

class DecodeMemoryWaitTest : public ::testing::TestWithParam<WaitCase>
{};

TEST_P(DecodeMemoryWaitTest, ADecodeWaitsOnlyWhenItWouldPassTheBudget)
{
    const WaitCase& c = GetParam();
    DecodeMemory memory(kBudget);
    std::vector<std::unique_ptr<HoldOnThread>> holding;
    for (const qint64 bytes : c.holding) {
        holding.push_back(std::make_unique<HoldOnThread>(memory, bytes));
        ASSERT_TRUE(holding.back()->Held()) << "an earlier hold never started";
    }
    HoldOnThread next(memory, c.next);
    // A hold that waits is still waiting after a while; one that does not is taken at once.
    EXPECT_EQ(next.Held(c.waits ? 100ms : 2000ms), !c.waits);
    holding.clear(); // releases the earlier holds: the next one then starts in any case
    EXPECT_TRUE(next.Held());
    next.Release();
}

INSTANTIATE_TEST_SUITE_P(
    Holds, DecodeMemoryWaitTest,
    ::testing::Values(WaitCase{"FitsBesideAnother", {100}, 100, false},
                      WaitCase{"FillsTheBudgetExactly", {100, 100}, 50, false},
                      WaitCase{"WouldPassTheBudget", {100, 100}, 51, true},
                      WaitCase{"LargerThanTheBudgetRunsAloneAtOnce", {}, 10 * kBudget, false},
                      WaitCase{"LargerThanTheBudgetWaitsForTheOthers", {1}, 10 * kBudget, true},
                      WaitCase{"NothingFitsBesideOneLargerThanTheBudget", {10 * kBudget}, 1, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeMemory, ManyThreadsNeverHoldMoreThanTheBudgetTogether)
{
    DecodeMemory memory(kBudget);
    std::atomic<bool> over{false};
    constexpr int kThreads = 8;
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const qint64 bytes = 10 + (t * 37 + i * 11) % 120;
                const DecodeMemory::Reservation reservation(memory, bytes);
                if (memory.BytesInFlight() > kBudget)
                    over = true;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(over);
    EXPECT_EQ(memory.BytesInFlight(), 0);
}

} // namespace
