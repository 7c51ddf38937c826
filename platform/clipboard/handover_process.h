#pragma once

// Handing data over to a helper program that outlives this one (POSIX only).

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

// How the helper tells that it has taken the data over.
enum class ReadySignal {
    ReadyLine,      // it writes the line "ready" to its standard output
    SuccessfulExit, // the started process exits with status 0
};

enum class HandOverResult {
    Ready,      // the helper signalled that it took the data
    NotStarted, // the program could not be started (missing, not executable)
    Failed,     // it ended, closed its output or refused the input without signalling
    TimedOut,   // no signal within the time allowed
};

// Starts `program` (a path) with `arguments`, writes `input` to its standard input and
// closes it, and waits at most `timeout` for its signal. The helper inherits no
// descriptor but its standard streams, no blocked signals and no ignored ones; its
// standard error is this program's. Writing never raises SIGPIPE here. The started
// process is always reaped: it is killed if it has not ended shortly after the wait,
// which leaves alone any process it detached.
HandOverResult HandOverToProcess(const std::string& program,
                                 const std::vector<std::string>& arguments, std::string_view input,
                                 ReadySignal signal, std::chrono::milliseconds timeout);
