#pragma once

#include <QObject>

#include <functional>

// Calls `onRequest` on the thread of `context` whenever the system asks the program to
// end: a termination signal (SIGTERM, SIGINT, SIGHUP; on Windows the console's close and
// break events) or the end of the desktop session. The program then ends the way its own
// Exit does, so that what it saves on the way out is saved. Lasts as long as `context`.
void WatchEndRequests(QObject* context, const std::function<void()>& onRequest);

// The part of WatchEndRequests that differs between systems: the signals or console events.
void WatchSystemEndRequests(QObject* context, const std::function<void()>& onRequest);
