#include "support/process_tools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace {

using namespace std::chrono_literals;

struct ProcStat
{
    pid_t parent = 0;
    char state = '?';
};

std::optional<ProcStat> ReadProcStat(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = file.readAll();
    // "pid (command) state ppid ...": the command may itself hold spaces and parentheses.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 2 || fields[0].isEmpty())
        return std::nullopt;
    return ProcStat{static_cast<pid_t>(fields[1].toInt()), fields[0].at(0)};
}

std::vector<pid_t> AllPids()
{
    std::vector<pid_t> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool isNumber = false;
        const int pid = entry.toInt(&isNumber);
        if (isNumber)
            pids.push_back(pid);
    }
    return pids;
}

int Milliseconds(TestClock::duration duration)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(duration).count());
}

} // namespace

bool WaitUntil(const std::function<bool()>& condition, TestClock::duration timeout)
{
    const auto deadline = TestClock::now() + timeout;
    while (!condition()) {
        if (TestClock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::uint32_t FindProgramWindow(QProcess& program, const QString& title,
                                const QProcessEnvironment& environment, TestClock::duration timeout,
                                QString& error)
{
    QProcess search;
    search.setProcessEnvironment(environment);
    search.start(QStringLiteral("xdotool"),
                 {QStringLiteral("search"), QStringLiteral("--sync"),
                  QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                  QLatin1Char('^') + title + QLatin1Char('$')});
    if (!search.waitForStarted(5000)) {
        error = QStringLiteral("xdotool does not start");
        return 0;
    }
    // Stops early when the program ends instead of showing its window.
    const bool ended = WaitUntil(
        [&] { return search.waitForFinished(50) || program.waitForFinished(50); }, timeout);
    if (search.state() != QProcess::NotRunning) {
        search.kill();
        search.waitForFinished();
    }
    const std::uint32_t window =
        search.exitStatus() == QProcess::NormalExit && search.exitCode() == 0
            ? search.readAllStandardOutput().split('\n').value(0).toUInt()
            : 0;
    if (!ended || window == 0) {
        error = QStringLiteral("no window");
        if (program.state() == QProcess::NotRunning)
            error +=
                program.exitStatus() == QProcess::CrashExit
                    ? QStringLiteral("; the program crashed")
                    : QStringLiteral("; the program ended with status %1").arg(program.exitCode());
        error += QStringLiteral("; its errors:\n") +
                 QString::fromLocal8Bit(program.readAllStandardError());
    }
    return ended ? window : 0;
}

ProcessResult RunProcess(const QString& program, const QStringList& arguments,
                         const QProcessEnvironment& environment, const QByteArray& input,
                         TestClock::duration timeout)
{
    QProcess process; // kills and reaps the program when it outlives the timeout
    process.setProcessEnvironment(environment);
    const auto started = TestClock::now();
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted(5000))
        return result;
    process.write(input);
    process.closeWriteChannel();
    result.finished = process.waitForFinished(Milliseconds(timeout)) &&
                      process.exitStatus() == QProcess::NormalExit;
    result.elapsed = TestClock::now() - started;
    result.exitCode = process.exitCode();
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    return result;
}

std::optional<QByteArray> PasteClipboard(const QProcessEnvironment& environment,
                                         const QString& target)
{
    // A request that crosses a change of owner can go unanswered, and xclip then waits
    // for ever: a short limit lets callers that poll simply ask again.
    const ProcessResult xclip =
        RunProcess(QStringLiteral("xclip"),
                   {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                    QStringLiteral("-t"), target},
                   environment, QByteArray(), std::chrono::seconds(3));
    if (!xclip.finished || xclip.exitCode != 0)
        return std::nullopt;
    return xclip.output;
}

std::vector<pid_t> ProcessesRunning(const QString& path)
{
    const QString executable = QFileInfo(path).canonicalFilePath();
    std::vector<pid_t> pids;
    if (executable.isEmpty())
        return pids;
    for (const pid_t pid : AllPids()) {
        const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
        const std::optional<ProcStat> stat = ReadProcStat(pid);
        if (exe == executable && stat && stat->state != 'Z')
            pids.push_back(pid);
    }
    return pids;
}

void KillProcessesRunning(const QString& path)
{
    for (const pid_t pid : ProcessesRunning(path)) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0); // fails at once for a process that is not a child
    }
}

void ReapEndedChildren(pid_t keep)
{
    for (const pid_t pid : AllPids()) {
        const std::optional<ProcStat> stat = ReadProcStat(pid);
        if (stat && stat->parent == getpid() && stat->state == 'Z' && pid != keep)
            waitpid(pid, nullptr, WNOHANG);
    }
}
