#include "main_window/frmMosaq.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessellon"));

    frmMosaq window;
    window.show();
    return QApplication::exec();
}
