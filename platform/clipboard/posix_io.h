#pragma once

// Waiting on descriptors and child processes with POSIX calls: every call is retried when
// a signal interrupts it, and every wait ends by a deadline. Free of Qt, so that the
// clipboard keeper can use it too.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace posix {

using Clock = std::chrono::steady_clock;

// The timeout poll() takes to wait until `deadline`: 0 once it has passed, at most a
// minute, so that a distant deadline never overflows.
int MillisecondsUntil(Clock::time_point deadline);

enum class Wait { Ready, TimedOut, Failed };

// Waits until `fd` is ready for `events` (POLLIN, POLLOUT) or `deadline` has passed.
Wait PollUntil(int fd, short events, Clock::time_point deadline);

// read(): the count of bytes read, 0 at the end, -1 on an error other than an interrupt.
ssize_t ReadRetrying(int fd, void* buffer, std::size_t size);

// Writes all of `data` to a blocking descriptor; false when it took less.
bool WriteAll(int fd, std::string_view data);

enum class LineRead { Read, Ended, TimedOut, TooLong };

// Reads from `fd` until a line has ended, `deadline` has passed or more than `maxBytes`
// have come without a line end. `line` receives the line without its end.
LineRead ReadLineUntil(int fd, Clock::time_point deadline, std::size_t maxBytes, std::string& line);

// Waits until the child `pid` ends or `deadline` passes, then kills it and reaps it.
// Returns its wait status, or nothing when it had to be killed or could not be waited for.
std::optional<int> ReapBy(pid_t pid, Clock::time_point deadline);

} // namespace posix
