#pragma once

#include <QObject>

#include <functional>

// Watches the system's requests to the program, on the thread of `context`, for as long as
// `context` lives:
// - `onSave` when the session manager asks programs to save their state: at a checkpoint,
//   or before a logout that another program may still cancel. The program goes on.
// - `onEnd` when the system asks the program to end: a termination signal (SIGTERM, SIGINT,
//   SIGHUP; on Windows the console's close and break events), or the end of the session
//   itself. The program then ends the way its own Exit does, so that what it saves on the
//   way out is saved; on Windows the session's end may kill it once `onEnd` returns.
void WatchEndRequests(QObject* context, const std::function<void()>& onSave,
                      const std::function<void()>& onEnd);

// The part of WatchEndRequests that differs between systems: the signals or console events.
void WatchSystemEndRequests(QObject* context, const std::function<void()>& onEnd);
