#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

// A private X server for end-to-end tests: starts Xvfb on the first free display number
// (chosen by Xvfb itself through -displayfd, so parallel tests never collide), waits until
// it accepts connections, and stops it in the destructor.
//
// Usage:
//     XvfbServer xvfb;
//     ASSERT_TRUE(xvfb.IsRunning()) << xvfb.Error();
//     environment.insert("DISPLAY", QString::fromStdString(xvfb.Display()));
//
// The server listens on local sockets only (-nolisten tcp) and does not reset when its
// last client leaves (-noreset), so selections and atoms survive between the programs
// a test runs one after another. It dies with the thread that started it, even when the
// test process is killed, and its output goes to a log file that Error() quotes.
// Not copyable or movable; create one per test or per fixture.
class XvfbServer
{
public:
    struct Options
    {
        int width = 1280;
        int height = 1024;
        int depth = 24;
        std::chrono::milliseconds startTimeout{15000};
        std::vector<std::string> extraArguments;
    };

    XvfbServer();
    explicit XvfbServer(const Options& options);
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    ~XvfbServer();

    // True when the server started and has not ended since.
    bool IsRunning() const;
    // The display name, ":<n>"; empty when the start failed.
    const std::string& Display() const { return display_; }
    // Why the start failed, with the server's own output; empty after a good start.
    const std::string& Error() const { return error_; }
    pid_t Pid() const { return pid_; }

    // Ends the server: SIGTERM, then SIGKILL when it lingers. Safe to call repeatedly.
    void Stop();

private:
    bool Start(const Options& options);
    std::string LogText() const;

    pid_t pid_ = -1;
    std::string display_;
    std::string error_;
    std::string logPath_;
};
