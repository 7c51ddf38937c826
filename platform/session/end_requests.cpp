#include "session/end_requests.h"

#include <QGuiApplication>
#include <QSessionManager>

void WatchEndRequests(QObject* context, const std::function<void()>& onRequest)
{
    WatchSystemEndRequests(context, onRequest);
#if QT_CONFIG(sessionmanager)
    // The session manager asks every program to save its state before the session ends.
    QObject::connect(
        qGuiApp, &QGuiApplication::commitDataRequest, context,
        [onRequest](QSessionManager& /*manager*/) { onRequest(); }, Qt::DirectConnection);
#endif
}
