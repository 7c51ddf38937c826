#pragma once

#include <QWidget>

// The program's one window.
class frmMosaq : public QWidget
{
    Q_OBJECT

public:
    explicit frmMosaq(QWidget* parent = nullptr);
};
