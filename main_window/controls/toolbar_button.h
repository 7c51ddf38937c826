#pragma once

#include <QToolButton>

// A toolbar button identified by its text key, which the command dispatch compares.
class ToolbarButton : public QToolButton
{
    Q_OBJECT

public:
    ToolbarButton(const QString& key, const QString& caption, const QString& toolTip,
                  QWidget* parent = nullptr);

    const QString& Key() const { return key_; }

private:
    QString key_;
};
