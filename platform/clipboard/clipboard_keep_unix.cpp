#include "clipboard/clipboard.h"
#include "clipboard/handover_process.h"
#include "clipboard/x11_text_selection.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
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

QString KeeperPath()
{
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("tessellon-clipboard-keeper"));
}

bool ClipboardManagerRuns()
{
    auto* x11App = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11App &&
           x11::SelectionOwner(x11App->connection(), "CLIPBOARD_MANAGER") != x11::kNoWindow;
}

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

// X11 selections live only as long as their owner. A clipboard manager, where one runs,
// receives the text from Qt when the application object goes; otherwise a keeper process
// takes the selection over.
void KeepOnX11(const QString& text)
{
    if (ClipboardManagerRuns()) {
        qCDebug(lcClipboard) << "the clipboard manager takes the text over";
        return;
    }
    HandOver(KeeperPath(), {}, text, ReadySignal::ReadyLine);
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
