#include "clipboard/clipboard.h"
#include "main_window/frmMosaq.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessellon"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tessellon"));

    int status = 0;
    {
        frmMosaq window;
        QObject::connect(&window, &frmMosaq::ProgramEnded, &app, &QCoreApplication::quit);
        window.show();
        status = QApplication::exec();
    }
    // The chosen path must outlive the program on platforms whose clipboard does not.
    KeepClipboardAfterExit();
    return status;
}
