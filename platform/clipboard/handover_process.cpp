#include "clipboard/handover_process.h"

#include "clipboard/posix_io.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <optional>
#include <utility>

namespace {

using posix::Clock;

// How long the started process may take to end after it has signalled readiness (or
// failed to): a detaching helper ends right after it forked.
constexpr auto kReapGrace = std::chrono::milliseconds(500);
constexpr std::string_view kReadyLine = "ready";
constexpr std::size_t kMaxLineBytes = 256;

class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : fd_(fd)
    {}
    UniqueFd(UniqueFd&& other) noexcept
        : fd_(std::exchange(other.fd_, -1))
    {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~UniqueFd() { Reset(); }

    int Get() const { return fd_; }
    void Reset()
    {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

struct Pipe
{
    UniqueFd read;
    UniqueFd write;
};

std::optional<Pipe> MakePipe()
{
    std::array<int, 2> fds{};
    if (pipe2(fds.data(), O_CLOEXEC) != 0)
        return std::nullopt;
    return Pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

// Blocks SIGPIPE on this thread while it lives and swallows one raised meanwhile, so that
// writing to a helper that has gone yields EPIPE instead of ending this program.
class SigpipeBlocker
{
public:
    SigpipeBlocker()
    {
        sigemptyset(&sigpipe_);
        sigaddset(&sigpipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &sigpipe_, &previous_);
    }
    SigpipeBlocker(const SigpipeBlocker&) = delete;
    SigpipeBlocker& operator=(const SigpipeBlocker&) = delete;
    ~SigpipeBlocker()
    {
        if (sigismember(&previous_, SIGPIPE))
            return;
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE)) {
            const timespec noWait{};
            sigtimedwait(&sigpipe_, nullptr, &noWait);
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }

private:
    sigset_t sigpipe_{};
    sigset_t previous_{};
};

enum class WriteResult { Written, Refused, TimedOut };

WriteResult WriteInput(int fd, std::string_view input, Clock::time_point deadline)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const SigpipeBlocker blocker;
    while (!input.empty()) {
        const ssize_t count = write(fd, input.data(), input.size());
        if (count > 0) {
            input.remove_prefix(static_cast<std::size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno != EAGAIN)
            return WriteResult::Refused;
        switch (posix::PollUntil(fd, POLLOUT, deadline)) {
        case posix::Wait::Ready:
            break;
        case posix::Wait::TimedOut:
            return WriteResult::TimedOut;
        case posix::Wait::Failed:
            return WriteResult::Refused;
        }
    }
    return WriteResult::Written;
}

HandOverResult AwaitReadyLine(int fd, Clock::time_point deadline)
{
    std::string line;
    switch (posix::ReadLineUntil(fd, deadline, kMaxLineBytes, line)) {
    case posix::LineRead::Read:
        return line == kReadyLine ? HandOverResult::Ready : HandOverResult::Failed;
    case posix::LineRead::TimedOut:
        return HandOverResult::TimedOut;
    case posix::LineRead::Ended:
    case posix::LineRead::TooLong:
        break;
    }
    return HandOverResult::Failed;
}

class SpawnSettings
{
public:
    SpawnSettings(int stdinFd, int stdoutFd)
    {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_adddup2(&actions_, stdinFd, STDIN_FILENO);
        if (stdoutFd >= 0)
            posix_spawn_file_actions_adddup2(&actions_, stdoutFd, STDOUT_FILENO);
        else
            posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // Descriptors that others opened without O_CLOEXEC must not reach the helper.
        posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1);
#endif
        posix_spawnattr_init(&attributes_);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        sigset_t noSignals;
        sigemptyset(&noSignals);
        posix_spawnattr_setsigmask(&attributes_, &noSignals);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int signal :
             {SIGPIPE, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGCHLD, SIGUSR1, SIGUSR2, SIGALRM})
            sigaddset(&defaults, signal);
        posix_spawnattr_setsigdefault(&attributes_, &defaults);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;
    ~SpawnSettings()
    {
        posix_spawnattr_destroy(&attributes_);
        posix_spawn_file_actions_destroy(&actions_);
    }

    std::optional<pid_t> Spawn(const std::string& program,
                               const std::vector<std::string>& arguments) const
    {
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 2);
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), &actions_, &attributes_, argv.data(), environ) != 0)
            return std::nullopt;
        return pid;
    }

private:
    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attributes_{};
};

} // namespace

HandOverResult HandOverToProcess(const std::string& program,
                                 const std::vector<std::string>& arguments, std::string_view input,
                                 ReadySignal signal, std::chrono::milliseconds timeout)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    std::optional<Pipe> inputPipe = MakePipe();
    std::optional<Pipe> outputPipe;
    if (signal == ReadySignal::ReadyLine)
        outputPipe = MakePipe();
    if (!inputPipe || (signal == ReadySignal::ReadyLine && !outputPipe))
        return HandOverResult::NotStarted;

    std::optional<pid_t> pid;
    {
        const SpawnSettings settings(inputPipe->read.Get(),
                                     outputPipe ? outputPipe->write.Get() : -1);
        pid = settings.Spawn(program, arguments);
    }
    if (!pid)
        return HandOverResult::NotStarted;
    inputPipe->read.Reset();
    if (outputPipe)
        outputPipe->write.Reset();

    const WriteResult written = WriteInput(inputPipe->write.Get(), input, deadline);
    inputPipe->write.Reset();

    HandOverResult result =
        written == WriteResult::TimedOut ? HandOverResult::TimedOut : HandOverResult::Failed;
    if (signal == ReadySignal::ReadyLine) {
        if (written == WriteResult::Written)
            result = AwaitReadyLine(outputPipe->read.Get(), deadline);
        posix::ReapBy(*pid, Clock::now() + kReapGrace);
        return result;
    }
    const std::optional<int> status = posix::ReapBy(*pid, deadline);
    if (!status)
        return HandOverResult::TimedOut;
    if (written == WriteResult::Written && WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
        return HandOverResult::Ready;
    return result;
}
