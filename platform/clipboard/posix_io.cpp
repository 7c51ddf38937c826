#include "clipboard/posix_io.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <thread>

namespace posix {

int MillisecondsUntil(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

Wait PollUntil(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd descriptor{fd, events, 0};
        const int ready = poll(&descriptor, 1, MillisecondsUntil(deadline));
        if (ready > 0)
            return Wait::Ready;
        if (ready == 0 && Clock::now() >= deadline)
            return Wait::TimedOut;
        if (ready < 0 && errno != EINTR)
            return Wait::Failed;
    }
}

ssize_t ReadRetrying(int fd, void* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t count = read(fd, buffer, size);
        if (count >= 0 || errno != EINTR)
            return count;
    }
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t count = write(fd, data.data(), data.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

LineRead ReadLineUntil(int fd, Clock::time_point deadline, std::size_t maxBytes, std::string& line)
{
    std::string received;
    for (;;) {
        const auto lineEnd = received.find('\n');
        if (lineEnd != std::string::npos) {
            line = received.substr(0, lineEnd);
            return LineRead::Read;
        }
        if (received.size() > maxBytes)
            return LineRead::TooLong;
        switch (PollUntil(fd, POLLIN, deadline)) {
        case Wait::Ready:
            break;
        case Wait::TimedOut:
            return LineRead::TimedOut;
        case Wait::Failed:
            return LineRead::Ended;
        }
        std::array<char, 64> buffer{};
        const ssize_t count = ReadRetrying(fd, buffer.data(), buffer.size());
        if (count < 0 && errno == EAGAIN)
            continue;
        if (count <= 0)
            return LineRead::Ended;
        received.append(buffer.data(), static_cast<std::size_t>(count));
    }
}

std::optional<int> ReapBy(pid_t pid, Clock::time_point deadline)
{
    for (;;) {
        int status = 0;
        const pid_t reaped = waitpid(pid, &status, WNOHANG);
        if (reaped == pid)
            return status;
        if (reaped < 0 && errno != EINTR)
            return std::nullopt;
        if (Clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(pid, SIGKILL);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    return std::nullopt;
}

} // namespace posix
