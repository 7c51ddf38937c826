#include "session/end_requests.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the pipe from the signal handler to the event loop.
int signalWriteEnd = -1;

// Only async-signal-safe calls. The first signal asks the program to end; a second one,
// should the program not end, ends it at once.
void NoteSignal(int signal)
{
    struct sigaction fallback
    {};
    fallback.sa_handler = SIG_DFL;
    for (const int end : kEndSignals)
        ::sigaction(end, &fallback, nullptr);
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalWriteEnd, &byte, 1);
}

} // namespace

void WatchSystemEndRequests(QObject* context, const std::function<void()>& onRequest)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0)
        return;
    signalWriteEnd = ends[1];
    auto* notifier = new QSocketNotifier(ends[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [onRequest, ends] {
        char bytes[16];
        while (::read(ends[0], bytes, sizeof bytes) > 0) {
        }
        onRequest();
    });
    struct sigaction action
    {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kEndSignals)
        ::sigaction(signal, &action, nullptr);
}
