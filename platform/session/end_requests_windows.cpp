#include "session/end_requests.h"

#include <QMetaObject>
#include <QPointer>

#include <windows.h>

namespace {

QPointer<QObject> requestContext;
std::function<void()> requestHandler;

// Runs on a thread of the system's own; the request goes to the event loop.
BOOL WINAPI NoteConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        if (requestContext)
            QMetaObject::invokeMethod(requestContext, requestHandler, Qt::QueuedConnection);
        return TRUE;
    default:
        return FALSE; // logging off and shutting down come as the session's end
    }
}

} // namespace

void WatchSystemEndRequests(QObject* context, const std::function<void()>& onRequest)
{
    requestContext = context;
    requestHandler = onRequest;
    SetConsoleCtrlHandler(NoteConsoleEvent, TRUE);
}
