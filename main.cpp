#include "clipboard/clipboard.h"
#include "main_window/frmMosaq.h"
#include "session/end_requests.h"
#include "session/process_end.h"

#include <QApplication>

namespace {

int RunProgram(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessellon"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tessellon"));

    int status = 0;
    {
        frmMosaq window;
        QObject::connect(&window, &frmMosaq::ProgramEnded, &app, &QCoreApplication::quit);
        // Ended by the system, the program ends as its own Exit ends it.
        WatchEndRequests(&window, [&window] {
            window.tbrMain_ButtonClick(window.ToolbarButtonByKey(QStringLiteral("Exit")));
        });
        window.show();
        status = QApplication::exec();
    }
    // The chosen path must outlive the program on platforms whose clipboard does not.
    KeepClipboardAfterExit();
    return status;
}

} // namespace

int main(int argc, char* argv[])
{
    EndProcess(RunProgram(argc, argv));
}
