#include "main_window/frmMosaq.h"
#include "platform/clipboard.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessellon"));

    frmMosaq window;
    window.show();
    const int status = QApplication::exec();
    // The chosen path must outlive the program on the clipboard.
    KeepClipboardAfterExit();
    return status;
}
