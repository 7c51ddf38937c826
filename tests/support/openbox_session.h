#pragma once

#include <QProcess>
#include <QString>

#include <memory>
#include <string>

// A real window manager for end-to-end tests: openbox on an X display, with a
// configuration of the test's own, so that windows get frames, maximize and restore, and
// focus rules as on a desktop. Stopped in the destructor.
//
// The configuration leaves the user's and the system's openbox files out: one desktop, no
// margins, windows placed by the program where it asks, the frame's bottom-right corner
// resizes with the left button.
class OpenboxSession
{
public:
    struct Options
    {
        // openbox's focusNew: whether new windows get the focus when they appear.
        bool focusNewWindows = true;
    };

    // `folder` holds the configuration; it must exist.
    OpenboxSession(const std::string& display, const QString& folder, const Options& options);
    OpenboxSession(const OpenboxSession&) = delete;
    OpenboxSession& operator=(const OpenboxSession&) = delete;
    ~OpenboxSession();

    // True once openbox manages the screen.
    bool IsRunning() const { return error_.isEmpty(); }
    // Why it did not start, with its own output.
    const QString& Error() const { return error_; }

private:
    std::unique_ptr<QProcess> process_;
    QString error_;
};
