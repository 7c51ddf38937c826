#include "support/wayland_session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

using namespace std::chrono_literals;

// sway's IPC socket lands in the runtime folder, and its path must fit in sun_path (108
// bytes): no TMPDIR, which may be long, and a short name.
const QString kFolderTemplate = u"/tmp/tsl-wl-XXXXXX"_s;
constexpr auto kCompositorTimeout = 10s;
constexpr auto kKeyboardTimeout = 10s;
// The keyboard holder types nothing; it only has to outlive any test.
const QString kKeyboardSleepMs = u"3600000"_s;

struct Tool
{
    const char* program;
    const char* package;
};

const Tool kTools[] = {{"sway", "sway"},
                       {"swaymsg", "sway"},
                       {"wtype", "wtype"},
                       {"wl-copy", "wl-clipboard"},
                       {"wl-paste", "wl-clipboard"},
                       {"setpriv", "util-linux"},
                       {"env", "coreutils"}};

QString Executable(const QString& name)
{
    return QStandardPaths::findExecutable(name);
}

struct ProcState
{
    pid_t session = 0;
    char state = '?';
};

std::optional<ProcState> ReadProcState(const QString& pid)
{
    QFile file(u"/proc/"_s + pid + u"/stat"_s);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = file.readAll();
    // "pid (command) state ppid pgrp session ...": the command may hold blanks and parentheses.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 4 || fields[0].isEmpty())
        return std::nullopt;
    return ProcState{static_cast<pid_t>(fields[3].toInt()), fields[0].at(0)};
}

// The sanitizers' options pass through to the clients.
QStringList SanitizerOptions()
{
    QStringList variables;
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
        if (qEnvironmentVariableIsSet(name))
            variables.append(QLatin1String(name) + u'=' + qEnvironmentVariable(name));
    }
    return variables;
}

// The socket of `pattern` in `folder`; the folder is private, so the first is sway's.
QString FindSocket(const QString& folder, const QString& pattern)
{
    const QStringList names = QDir(folder).entryList({pattern}, QDir::System | QDir::Files);
    for (const QString& name : names) {
        struct stat info
        {};
        const QByteArray path = QFile::encodeName(folder + u'/' + name);
        if (stat(path.constData(), &info) == 0 && S_ISSOCK(info.st_mode))
            return folder + u'/' + name;
    }
    return {};
}

// The focused window among `node` and those below it: the focused node with a client.
std::optional<QJsonObject> FocusedWindowIn(const QJsonObject& node)
{
    if (node.value(u"focused").toBool() && node.contains(u"pid"))
        return node;
    for (const char* children : {"nodes", "floating_nodes"}) {
        const QJsonArray nodes = node.value(QLatin1String(children)).toArray();
        for (const auto& child : nodes) {
            if (std::optional<QJsonObject> window = FocusedWindowIn(child.toObject()))
                return window;
        }
    }
    return std::nullopt;
}

} // namespace

WaylandSession::WaylandSession()
    : dir_(kFolderTemplate)
{
    if (!dir_.isValid()) {
        error_ = u"cannot create a folder from "_s + kFolderTemplate;
        return;
    }
    // sway refuses to run as root.
    if (!user_.IsValid()) {
        error_ = user_.Error();
        return;
    }
    for (const char* name : {"run", "home", "tmp", "logs"}) {
        if (!QDir().mkpath(Path(QLatin1String(name)))) {
            error_ = u"cannot create "_s + Path(QLatin1String(name));
            return;
        }
    }
    // Sockets and the compositor's lock file: its owner's alone, or sway refuses it.
    QFile::setPermissions(Path(u"run"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment_ = QStringList{u"PATH=/usr/local/bin:/usr/bin:/bin"_s,
                               u"HOME="_s + Path(u"home"_s),
                               u"XDG_RUNTIME_DIR="_s + Path(u"run"_s),
                               u"XDG_CACHE_HOME="_s + Path(u"home/.cache"_s),
                               u"XDG_CONFIG_HOME="_s + Path(u"home/.config"_s),
                               u"TMPDIR="_s + Path(u"tmp"_s),
                               u"LANG=C.UTF-8"_s} +
                   SanitizerOptions();
    valid_ = true;
}

WaylandSession::~WaylandSession()
{
    Stop();
}

QStringList WaylandSession::MissingTools()
{
    QStringList missing;
    for (const Tool& tool : kTools) {
        if (Executable(QLatin1String(tool.program)).isEmpty())
            missing.append(u"%1 is not installed (package %2)"_s.arg(QLatin1String(tool.program),
                                                                     QLatin1String(tool.package)));
    }
    if (geteuid() == 0 && Executable(u"useradd"_s).isEmpty())
        missing.append(u"useradd is not installed (package passwd)"_s);
    const QString plugin =
        QLibraryInfo::path(QLibraryInfo::PluginsPath) + u"/platforms/libqwayland-generic.so"_s;
    if (!QFile::exists(plugin))
        missing.append(u"Qt's Wayland platform plugin is not installed (package qt6-wayland)"_s);
    return missing;
}

QString WaylandSession::Path(const QString& name) const
{
    return dir_.filePath(name);
}

bool WaylandSession::Start()
{
    QFile config(Path(u"sway.conf"_s));
    if (!config.open(QIODevice::WriteOnly) || config.write("xwayland disable\n") < 0) {
        error_ = u"cannot write "_s + config.fileName();
        return false;
    }
    config.close();
    // The folder stays 0700, so the files are the user's alone; root still removes them.
    if (!user_.HandOver(dir_.path())) {
        error_ = user_.Error();
        return false;
    }

    // Without -c sway reads /etc/sway/config, which starts a bar and more.
    QProcess* sway = StartClient(
        Executable(u"sway"_s), {u"-c"_s, config.fileName()},
        {u"WLR_BACKENDS=headless"_s, u"WLR_LIBINPUT_NO_DEVICES=1"_s, u"WLR_RENDERER=pixman"_s},
        u"sway"_s);
    if (sway == nullptr)
        return false;
    compositor_ = static_cast<pid_t>(sway->processId());
    if (!WaitForCompositor())
        return false;

    // The headless seat has no keyboard until a virtual one appears, and a client binds
    // its wl_keyboard only then. A wtype that brings its own keyboard types at once, so
    // its first key can reach the window before the client listens for keys. This one
    // keyboard exists before any client starts and lives as long as the compositor.
    QProcess* keyboard =
        StartClient(Executable(u"wtype"_s), {u"-s"_s, kKeyboardSleepMs}, {}, u"keyboard"_s);
    if (keyboard == nullptr)
        return false;
    keyboard_ = static_cast<pid_t>(keyboard->processId());
    return WaitForKeyboard();
}

QProcess* WaylandSession::StartClient(const QString& program, const QStringList& arguments,
                                      const QStringList& environment, const QString& logName)
{
    auto process = std::make_unique<QProcess>();
    process->setProgram(TestUser::Setpriv());
    process->setArguments(user_.Command(environment_ + environment, program, arguments));
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(Path(u"logs/%1.log"_s.arg(logName)));
    // A session of its own: Stop() ends it with whatever it leaves behind.
    process->setChildProcessModifier([] { setsid(); });
    process->start();
    if (!process->waitForStarted(5000)) {
        error_ = u"cannot start %1: %2"_s.arg(program, process->errorString());
        return nullptr;
    }
    sessions_.push_back(static_cast<pid_t>(process->processId()));
    processes_.push_back(std::move(process));
    return processes_.back().get();
}

ProcessResult WaylandSession::Run(const QString& program, const QStringList& arguments,
                                  const QStringList& environment, TestClock::duration timeout) const
{
    return RunProcess(TestUser::Setpriv(),
                      user_.Command(environment_ + environment, program, arguments),
                      QProcessEnvironment::systemEnvironment(), {}, timeout);
}

std::optional<QJsonDocument> WaylandSession::Query(const QString& type) const
{
    const ProcessResult swaymsg =
        Run(Executable(u"swaymsg"_s), {u"-t"_s, type, u"-r"_s}, {}, std::chrono::seconds(5));
    if (!swaymsg.finished || swaymsg.exitCode != 0)
        return std::nullopt;
    QJsonDocument answer = QJsonDocument::fromJson(swaymsg.output);
    if (answer.isNull())
        return std::nullopt;
    return answer;
}

std::optional<QJsonObject> WaylandSession::FocusedWindow() const
{
    const std::optional<QJsonDocument> tree = Query(u"get_tree"_s);
    return tree ? FocusedWindowIn(tree->object()) : std::nullopt;
}

std::optional<qint64> WaylandSession::FocusedPid() const
{
    const std::optional<QJsonObject> window = FocusedWindow();
    return window ? std::optional(window->value(u"pid").toInteger()) : std::nullopt;
}

bool WaylandSession::WaitForCompositor()
{
    const QString runtime = Path(u"run"_s);
    QString display;
    QString ipc;
    bool ended = false;
    const bool ready = WaitUntil(
        [&] {
            ended = !AnyProcessLeft();
            if (ended)
                return true;
            display = FindSocket(runtime, u"wayland-*"_s);
            ipc = FindSocket(runtime, u"sway-ipc.*.sock"_s);
            if (display.isEmpty() || ipc.isEmpty())
                return false;
            if (!environment_.contains(u"SWAYSOCK="_s + ipc))
                environment_ << u"WAYLAND_DISPLAY="_s + QFileInfo(display).fileName()
                             << u"SWAYSOCK="_s + ipc;
            const std::optional<QJsonDocument> outputs = Query(u"get_outputs"_s);
            return outputs && !outputs->array().isEmpty();
        },
        kCompositorTimeout);
    if (!ready || ended) {
        error_ = ended ? u"sway ended at start"_s : u"sway did not come up in time"_s;
        return false;
    }
    return true;
}

bool WaylandSession::WaitForKeyboard()
{
    const bool found = WaitUntil(
        [&] {
            const std::optional<QJsonDocument> inputs = Query(u"get_inputs"_s);
            if (!inputs)
                return false;
            const QJsonArray devices = inputs->array();
            return std::any_of(devices.begin(), devices.end(), [](const QJsonValue& device) {
                return device.toObject().value(u"type").toString() == u"keyboard";
            });
        },
        kKeyboardTimeout);
    if (!found)
        error_ = u"the virtual keyboard never reached the seat"_s;
    return found;
}

QByteArray WaylandSession::Log(const QString& logName) const
{
    QFile file(Path(u"logs/%1.log"_s.arg(logName)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString WaylandSession::Logs() const
{
    QString text;
    const QStringList names =
        QDir(Path(u"logs"_s)).entryList({u"*.log"_s}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QString logName = name.chopped(4);
        text += u"\n--- %1 ---\n"_s.arg(logName) + QString::fromUtf8(Log(logName));
    }
    return text;
}

bool WaylandSession::AnyProcessLeft() const
{
    // Zombies count as gone: orphans wait for the subreaper.
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return std::any_of(entries.begin(), entries.end(), [&](const QString& entry) {
        const std::optional<ProcState> process = ReadProcState(entry);
        return process && process->state != 'Z' &&
               std::find(sessions_.begin(), sessions_.end(), process->session) != sessions_.end();
    });
}

void WaylandSession::SignalSessions(int signal) const
{
    for (const pid_t session : sessions_)
        kill(-session, signal);
}

void WaylandSession::Stop()
{
    if (sessions_.empty())
        return;
    // The compositor first: a wl-copy fed on its standard input keeps the text in a file
    // under /tmp that it removes when the display goes, but not when it is killed. The
    // keyboard holder sleeps and would notice only when it wakes.
    for (const pid_t leader : {compositor_, keyboard_}) {
        if (leader > 0)
            kill(-leader, SIGTERM);
    }
    WaitUntil([&] { return !AnyProcessLeft(); }, 2s);
    SignalSessions(SIGTERM);
    WaitUntil([&] { return !AnyProcessLeft(); }, 1s);
    SignalSessions(SIGKILL);
    WaitUntil([&] { return !AnyProcessLeft(); }, 2s);
    for (const std::unique_ptr<QProcess>& process : processes_)
        process->waitForFinished(1000);
    processes_.clear();
    sessions_.clear();
    compositor_ = keyboard_ = -1;
    ReapEndedChildren();
}
