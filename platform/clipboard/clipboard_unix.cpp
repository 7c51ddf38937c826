#include "clipboard/clipboard.h"
#include "clipboard/handover_process.h"
#include "clipboard/keeper_location.h"
#include "clipboard/x11_text_selection.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <chrono>

Q_LOGGING_CATEGORY(lcClipboard, "tessellon.clipboard", QtWarningMsg)

namespace {

using namespace std::chrono_literals;

// The longest the program's end waits for a helper to take the text.
constexpr auto kHandOverTimeout = 2s;

const char* Describe(HandOverResult result)
{
    switch (result) {
    case HandOverResult::Ready:
        return "took the text";
    case HandOverResult::NotStarted:
        return "could not be started";
    case HandOverResult::Failed:
        return "failed";
    case HandOverResult::TimedOut:
        return "did not answer in time";
    }
    return "failed";
}

void HandOver(const QString& program, const std::vector<std::string>& arguments,
              const QString& text, ReadySignal signal)
{
    const HandOverResult result =
        HandOverToProcess(QFile::encodeName(program).toStdString(), arguments,
                          text.toUtf8().toStdString(), signal, kHandOverTimeout);
    if (result == HandOverResult::Ready)
        qCDebug(lcClipboard) << program << Describe(result);
    else
        qCWarning(lcClipboard).nospace()
            << program << ' ' << Describe(result) << "; the clipboard text ends with the program";
}

// Filters the X events of Qt's own connection for the clipboard manager's answer to our
// request to save the clipboard.
class ManagerAnswer : public QAbstractNativeEventFilter
{
public:
    explicit ManagerAnswer(xcb_window_t requestor)
        : requestor_(requestor)
    {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* /*result*/) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if (x11::EventType(*event) != XCB_SELECTION_NOTIFY)
            return false;
        const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event);
        if (notify->requestor != requestor_)
            return false;
        answered_ = true;
        return true;
    }

    bool Answered() const { return answered_; }

private:
    xcb_window_t requestor_;
    bool answered_ = false;
};

// Asks the clipboard manager to save the clipboard (SAVE_TARGETS on CLIPBOARD_MANAGER), as
// Qt does when its application object goes, which the program's end does not wait for.
// Meanwhile Qt's event loop serves the manager's requests for the text.
bool HandOverToManager(xcb_connection_t* connection)
{
    const xcb_window_t requestor =
        x11::CreateSelectionWindow(connection, x11::RootWindow(connection, 0));
    const xcb_atom_t property = x11::InternAtom(connection, "_TESSELLON_SAVED");
    ManagerAnswer answer(requestor);
    QCoreApplication::instance()->installNativeEventFilter(&answer);
    xcb_convert_selection(connection, requestor, x11::InternAtom(connection, "CLIPBOARD_MANAGER"),
                          x11::InternAtom(connection, "SAVE_TARGETS"), property, XCB_CURRENT_TIME);
    xcb_flush(connection);
    QElapsedTimer waited;
    waited.start();
    const auto timeout = std::chrono::milliseconds(kHandOverTimeout).count();
    while (!answer.Answered() && waited.elapsed() < timeout)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::instance()->removeNativeEventFilter(&answer);
    xcb_destroy_window(connection, requestor);
    xcb_flush(connection);
    return answer.Answered();
}

// X11 selections live only as long as their owner: a clipboard manager, where one runs,
// saves the text, and otherwise a keeper process takes the selection over.
void KeepOnX11(const QString& text)
{
    auto* x11App = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11App == nullptr)
        return;
    xcb_connection_t* connection = x11App->connection();
    if (x11::SelectionOwner(connection, "CLIPBOARD_MANAGER") != x11::kNoWindow) {
        if (HandOverToManager(connection)) {
            qCDebug(lcClipboard) << "the clipboard manager took the text over";
            return;
        }
        qCWarning(lcClipboard) << "the clipboard manager did not answer; a keeper takes over";
    }
    const QString keeper = FindClipboardKeeper(QCoreApplication::applicationDirPath());
    if (keeper.isEmpty()) {
        qCWarning(lcClipboard) << "tessellon-clipboard-keeper is neither beside the program nor "
                                  "in its helpers' folder; the clipboard text ends with the "
                                  "program";
        return;
    }
    HandOver(keeper, {}, text, ReadySignal::ReadyLine);
}

void KeepOnWayland(const QString& text)
{
    const QString wlCopy = QStandardPaths::findExecutable(QStringLiteral("wl-copy"));
    if (wlCopy.isEmpty()) {
        qCWarning(lcClipboard) << "wl-copy is not installed; the clipboard text ends with the "
                                  "program";
        return;
    }
    HandOver(wlCopy, {"--type", "text/plain;charset=utf-8"}, text, ReadySignal::SuccessfulExit);
}

} // namespace

void KeepClipboardAfterExit()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    // Nothing to keep when another program has taken the clipboard since.
    if (!clipboard->ownsClipboard())
        return;
    const QString platform = QGuiApplication::platformName();
    if (platform == u"xcb")
        KeepOnX11(clipboard->text());
    else if (platform.startsWith(u"wayland"))
        KeepOnWayland(clipboard->text());
}
