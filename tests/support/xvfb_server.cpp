#include "xvfb_server.h"

#include "clipboard/posix_io.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

using posix::Clock;

constexpr int kDisplayFd = 3;
constexpr auto kStopGrace = std::chrono::seconds(5);

std::string FindInPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream directories(path ? path : "/usr/local/bin:/usr/bin:/bin");
    for (std::string directory; std::getline(directories, directory, ':');) {
        std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// Moves `fd` to a number above the standard streams and the display descriptor, so that
// the child's dup2 calls cannot overwrite one of its own sources.
int MoveHigh(int fd)
{
    if (fd < 0)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 10);
    close(fd);
    return moved;
}

bool AcceptsConnections(const std::string& display)
{
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool accepted = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return accepted;
}

[[noreturn]] void ExecInChild(pid_t parent, int nullFd, int logFd, int displayFd,
                              const std::string& program, const std::vector<char*>& argv)
{
    // Only async-signal-safe calls from here on: the parent may have other threads.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(127);
    setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (dup2(nullFd, STDIN_FILENO) < 0 || dup2(logFd, STDOUT_FILENO) < 0 ||
        dup2(logFd, STDERR_FILENO) < 0 || dup2(displayFd, kDisplayFd) < 0)
        _exit(127);
    if (close_range(kDisplayFd + 1, ~0U, 0) != 0) {
        for (int fd = kDisplayFd + 1; fd < 1024; ++fd)
            close(fd);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
}

} // namespace

XvfbServer::XvfbServer()
    : XvfbServer(Options{})
{}

XvfbServer::XvfbServer(const Options& options)
{
    if (!Start(options))
        Stop();
}

XvfbServer::~XvfbServer()
{
    Stop();
    if (!logPath_.empty())
        unlink(logPath_.c_str());
}

bool XvfbServer::IsRunning() const
{
    if (pid_ <= 0 || display_.empty())
        return false;
    siginfo_t info{};
    // WNOWAIT leaves an ended server to Stop() to reap.
    if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return false;
    return info.si_pid == 0;
}

bool XvfbServer::Start(const Options& options)
{
    const std::string program = FindInPath("Xvfb");
    if (program.empty()) {
        error_ = "Xvfb is not installed (package xvfb)";
        return false;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string logTemplate = std::string(tmp && *tmp ? tmp : "/tmp") + "/xvfb-XXXXXX.log";
    const int logFd = MoveHigh(mkostemps(logTemplate.data(), 4, O_CLOEXEC));
    if (logFd < 0) {
        error_ = "cannot create the Xvfb log file";
        return false;
    }
    logPath_ = logTemplate;
    std::array<int, 2> displayPipe{};
    if (pipe2(displayPipe.data(), O_CLOEXEC) != 0) {
        close(logFd);
        error_ = "cannot create a pipe";
        return false;
    }
    const int readFd = displayPipe[0];
    const int writeFd = MoveHigh(displayPipe[1]);
    const int nullFd = MoveHigh(open("/dev/null", O_RDONLY | O_CLOEXEC));

    const std::string screen = std::to_string(options.width) + "x" +
                               std::to_string(options.height) + "x" + std::to_string(options.depth);
    std::vector<std::string> arguments{program,     "-displayfd", std::to_string(kDisplayFd),
                                       "-nolisten", "tcp",        "-noreset",
                                       "-screen",   "0",          screen};
    arguments.insert(arguments.end(), options.extraArguments.begin(), options.extraArguments.end());
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0)
        ExecInChild(parent, nullFd, logFd, writeFd, program, argv);
    close(writeFd);
    close(nullFd);
    close(logFd);
    if (pid_ < 0) {
        close(readFd);
        error_ = "cannot fork";
        return false;
    }

    std::string number;
    // Xvfb writes the display number as one line once it is ready.
    const posix::LineRead result =
        posix::ReadLineUntil(readFd, Clock::now() + options.startTimeout, 32, number);
    close(readFd);
    if (result != posix::LineRead::Read || number.empty()) {
        error_ =
            std::string(result == posix::LineRead::TimedOut ? "Xvfb did not start in time"
                                                            : "Xvfb ended before it was ready") +
            "; its output:\n" + LogText();
        return false;
    }
    display_ = ":" + number;
    if (!AcceptsConnections(display_)) {
        error_ = "Xvfb on " + display_ + " refuses connections; its output:\n" + LogText();
        display_.clear();
        return false;
    }
    return true;
}

void XvfbServer::Stop()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    posix::ReapBy(pid_, Clock::now() + kStopGrace);
    pid_ = -1;
}

std::string XvfbServer::LogText() const
{
    std::ifstream log(logPath_);
    std::ostringstream text;
    text << log.rdbuf();
    return text.str();
}
