#pragma once

#include "support/process_tools.h"
#include "support/test_user.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

// A private headless sway compositor for end-to-end tests of Wayland clients.
//
// sway refuses to run as root, so under root the compositor and every client run as the
// system user "tessellon-test" (created on first use); otherwise as the current user.
// Everything lives in one private folder under /tmp: the runtime folder with the sockets,
// a home, a temp folder, the logs and whatever the test puts there before Start(), which
// hands the whole folder to that user. Clients see only the environment given here (no
// DISPLAY, no desktop session of the developer's), plus the sanitizers' options.
//
// Usage:
//     WaylandSession session;
//     ASSERT_TRUE(session.IsValid()) << session.Error();
//     ... write files under session.Path(u"app"_s) ...
//     ASSERT_TRUE(session.Start()) << session.Error() << session.Logs();
//     QProcess* client = session.StartClient(program, {}, {u"QT_QPA_PLATFORM=wayland"_s},
//                                            u"program"_s);
//
// Every process started here leads a session of its own and dies with the thread that
// started it (setpriv --pdeathsig). Stop(), also called by the destructor, ends them and
// what they left running in their sessions, such as wl-copy's background process. To reap
// those orphans the test must be a child subreaper (prctl(PR_SET_CHILD_SUBREAPER)).
// Not copyable or movable.
class WaylandSession
{
public:
    WaylandSession();
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;
    ~WaylandSession();

    // What the tests need that is not installed, one line each; empty when all is there.
    static QStringList MissingTools();

    // True when the private folder exists and the user to run as is known.
    bool IsValid() const { return valid_; }
    const QString& Error() const { return error_; }

    // A path inside the private folder.
    QString Path(const QString& name) const;

    // Hands the folder to the user, starts sway and a virtual keyboard, and waits until
    // both are ready. False, with Error(), when they do not come up in time.
    bool Start();

    // Starts `program` (an absolute path) as the user in a session of its own, with the
    // session's environment plus `environment` ("NAME=value", overriding). Its output goes
    // to Log(logName). Owned by this object; null when it did not start.
    QProcess* StartClient(const QString& program, const QStringList& arguments,
                          const QStringList& environment, const QString& logName);

    // Runs `program` as the user to its end, like StartClient but without a session.
    ProcessResult Run(const QString& program, const QStringList& arguments,
                      const QStringList& environment = {},
                      TestClock::duration timeout = std::chrono::seconds(10)) const;

    // swaymsg's answer to a message of `type`, such as "get_tree"; none on failure.
    std::optional<QJsonDocument> Query(const QString& type) const;

    // The pid of the client whose window has the keyboard focus.
    std::optional<qint64> FocusedPid() const;
    // The node of sway's tree that is the focused window, with its "pid" and "app_id".
    std::optional<QJsonObject> FocusedWindow() const;

    // What a client, or "sway" and "keyboard", wrote; Logs() has them all, for messages.
    QByteArray Log(const QString& logName) const;
    QString Logs() const;

    // Ends every process started here, the compositor first. Safe to call repeatedly.
    void Stop();

private:
    bool WaitForCompositor();
    bool WaitForKeyboard();
    bool AnyProcessLeft() const;
    void SignalSessions(int signal) const;

    QTemporaryDir dir_;
    bool valid_ = false;
    QString error_;
    TestUser user_;
    QStringList environment_;
    std::vector<std::unique_ptr<QProcess>> processes_;
    std::vector<pid_t> sessions_; // one per process started, led by it
    pid_t compositor_ = -1;
    pid_t keyboard_ = -1;
};
