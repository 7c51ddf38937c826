#include "clipboard/clipboard.h"
#include "main_window/command_keys.h"
#include "main_window/frmMosaq.h"
#include "session/end_requests.h"
#include "session/process_end.h"

#include <QApplication>

// The program ends from inside: once the window has unloaded (its settings written) and
// the clipboard's text has been handed over, the process ends at once, with neither the
// window nor the application object torn down, so that no decode or read still under way
// on a worker thread holds it up.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessellon"));
    // Names the menu entry, and the windows' app id on Wayland, by which the desktop
    // finds that entry's icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral(TESSELLON_APP_ID));

    frmMosaq window;
    QObject::connect(&window, &frmMosaq::ProgramEnded, &app, &QCoreApplication::quit);
    // Asked to save, the program saves and goes on; asked to end, it ends as Exit does.
    WatchEndRequests(
        &window, [&window] { window.SaveSettings(); },
        [&window] { window.tbrMain_ButtonClick(window.ToolbarButtonByKey(kExitCommand)); });
    window.show();
    const int status = QApplication::exec();
    window.Unload(); // ended by Qt itself, as when the session's end closes the windows
    // The chosen path must outlive the program on platforms whose clipboard does not.
    KeepClipboardAfterExit();
    EndProcess(status);
}
