#include "main_window/controls/toolbar_button.h"

ToolbarButton::ToolbarButton(const QString& key, const QString& caption, const QString& toolTip,
                             QWidget* parent)
    : QToolButton(parent)
    , key_(key)
{
    // The caption keeps its ampersand: the marked letter is underlined and Alt+letter
    // presses the button.
    setText(caption);
    setToolTip(toolTip);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setAutoRaise(true);
    setFocusPolicy(Qt::TabFocus);
}
