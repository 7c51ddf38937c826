#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Running helper programs from end-to-end tests, with bounded waits only.

using TestClock = std::chrono::steady_clock;

// Polls `condition` until it holds or `timeout` has passed; true when it held.
bool WaitUntil(const std::function<bool()>& condition, TestClock::duration timeout);

struct ProcessResult
{
    bool finished = false; // ended by itself, not by a signal, within the timeout
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
    TestClock::duration elapsed{};
};

// Runs `program` to its end with `input` on its standard input; a program still running
// after `timeout` is killed and reported as not finished.
ProcessResult RunProcess(const QString& program, const QStringList& arguments,
                         const QProcessEnvironment& environment, const QByteArray& input = {},
                         TestClock::duration timeout = std::chrono::seconds(10));

// The first visible X window named exactly `title`, waited for with xdotool until it
// shows, `program` ends or `timeout` passes; 0 when none showed, with `error` saying why.
std::uint32_t FindProgramWindow(QProcess& program, const QString& title,
                                const QProcessEnvironment& environment, TestClock::duration timeout,
                                QString& error);

// The text on the CLIPBOARD selection in `target`, read with xclip; none when nobody
// serves it.
std::optional<QByteArray> PasteClipboard(const QProcessEnvironment& environment,
                                         const QString& target = QStringLiteral("UTF8_STRING"));

// Live (not zombie) processes running the executable file `path`.
std::vector<pid_t> ProcessesRunning(const QString& path);

// Kills the live processes running `path` and reaps those that are this process's
// children (as they are when it is their subreaper).
void KillProcessesRunning(const QString& path);

// Reaps the ended children of this process, except `keep` (a child reaped elsewhere).
void ReapEndedChildren(pid_t keep = -1);
