// tessellon-clipboard-keeper: keeps a text on the X CLIPBOARD selection after the program
// that put it there has ended.
//
// Reads the UTF-8 text from standard input until end of file, leaves the caller's session
// (double fork, setsid), takes the CLIPBOARD selection and writes the line "ready" to
// standard output once it owns it. Then it serves the text until another client takes
// the selection or the X server goes away. Any failure before that ends it without the
// line, with a message on standard error.

#include "clipboard/posix_io.h"
#include "clipboard/x11_text_selection.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using posix::Clock;

// Paths are short; this only bounds what a misbehaving caller can make us hold.
constexpr std::size_t kMaxTextBytes = std::size_t{64} * 1024 * 1024;
// How long a lost selection still finishes the INCR transfers that were under way.
constexpr auto kTransferGrace = std::chrono::seconds(10);
constexpr std::string_view kReadyLine = "ready\n";

void Fail(const char* what)
{
    std::fprintf(stderr, "tessellon-clipboard-keeper: %s\n", what);
}

void CloseDescriptorsFrom(int first)
{
    if (close_range(static_cast<unsigned>(first), ~0U, 0) == 0)
        return;
    const long limit = sysconf(_SC_OPEN_MAX);
    for (int fd = first; fd < (limit > 0 ? limit : 1024); ++fd)
        close(fd);
}

enum class ReadResult { Complete, TooLarge, Failed };

ReadResult ReadAll(int fd, std::string& text)
{
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t count = posix::ReadRetrying(fd, buffer, sizeof buffer);
        if (count == 0)
            return ReadResult::Complete;
        if (count < 0)
            return ReadResult::Failed;
        if (text.size() + static_cast<std::size_t>(count) > kMaxTextBytes)
            return ReadResult::TooLarge;
        text.append(buffer, static_cast<std::size_t>(count));
    }
}

// Returns in the grandchild only. The first two generations leave with _exit, so that
// nothing of this process's exit handling (sanitizer reports included) runs there.
bool DetachFromCaller()
{
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child > 0)
        _exit(0);
    if (setsid() < 0)
        _exit(1);
    const pid_t grandchild = fork();
    if (grandchild < 0)
        _exit(1);
    if (grandchild > 0)
        _exit(0);
    return chdir("/") == 0;
}

void DropStandardStreams()
{
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null < 0)
        return;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        dup2(null, fd);
    if (null > STDERR_FILENO)
        close(null);
}

void Serve(xcb_connection_t* connection, x11::TextSelectionOwner& owner,
           std::vector<x11::Event>& deferred)
{
    for (x11::Event& event : deferred)
        owner.HandleEvent(*event);
    deferred.clear();

    std::optional<Clock::time_point> lostAt;
    for (;;) {
        while (x11::Event event{xcb_poll_for_event(connection)})
            owner.HandleEvent(*event);
        if (xcb_connection_has_error(connection))
            return;
        if (!owner.Owns()) {
            if (!lostAt)
                lostAt = Clock::now();
            if (!owner.HasPendingTransfers() || Clock::now() - *lostAt > kTransferGrace)
                return;
        }
        xcb_flush(connection);
        pollfd descriptor{xcb_get_file_descriptor(connection), POLLIN, 0};
        poll(&descriptor, 1, lostAt ? 250 : -1);
    }
}

int KeepText(std::string text)
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        Fail("cannot connect to the X server");
        xcb_disconnect(connection);
        return 1;
    }
    const xcb_window_t window =
        x11::CreateSelectionWindow(connection, x11::RootWindow(connection, screenNumber));
    std::vector<x11::Event> deferred;
    const std::optional<xcb_timestamp_t> now = x11::ServerTime(connection, window, deferred);
    int status = 1;
    {
        x11::TextSelectionOwner owner(connection, window, x11::InternAtom(connection, "CLIPBOARD"),
                                      std::move(text));
        if (!now || !owner.Acquire(*now)) {
            Fail("cannot take the CLIPBOARD selection");
        } else {
            // The caller may have stopped waiting; serving the text is still right.
            posix::WriteAll(STDOUT_FILENO, kReadyLine);
            DropStandardStreams();
            Serve(connection, owner, deferred);
            status = 0;
        }
    }
    deferred.clear();
    xcb_disconnect(connection);
    return status;
}

} // namespace

int main()
{
    std::signal(SIGHUP, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    CloseDescriptorsFrom(STDERR_FILENO + 1);

    std::string text;
    switch (ReadAll(STDIN_FILENO, text)) {
    case ReadResult::Complete:
        break;
    case ReadResult::TooLarge:
        Fail("the text is too large to keep");
        return 2;
    case ReadResult::Failed:
        Fail("cannot read the text from standard input");
        return 1;
    }
    if (!DetachFromCaller()) {
        Fail("cannot detach from the calling program");
        return 1;
    }
    return KeepText(std::move(text));
}
