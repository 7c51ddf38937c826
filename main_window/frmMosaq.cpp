#include "main_window/frmMosaq.h"

frmMosaq::frmMosaq(QWidget* parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Tessellon"));
}
