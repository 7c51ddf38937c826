#include "session/end_requests.h"

#include <QGuiApplication>
#include <QSessionManager>

void WatchEndRequests(QObject* context, const std::function<void()>& onSave,
                      const std::function<void()>& onEnd)
{
    WatchSystemEndRequests(context, onEnd);
#if QT_CONFIG(sessionmanager)
    // Asked at every checkpoint, and before a logout that may yet be cancelled: to commit
    // data (a save the user would want), to save the session's state, or both.
    const auto save = [onSave](QSessionManager& /*manager*/) { onSave(); };
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, context, save,
                     Qt::DirectConnection);
    QObject::connect(qGuiApp, &QGuiApplication::saveStateRequest, context, save,
                     Qt::DirectConnection);
#endif
    // The session's end: on X11 the session manager's "die", after which Qt closes the
    // windows; on Windows WM_ENDSESSION, after which the system may end the process at once.
    QObject::connect(qGuiApp, &QGuiApplication::aboutToQuit, context, onEnd, Qt::DirectConnection);
}
