#include "main_window/progress_geometry.h"

#include "common/rounding.h"

QRect ProgressFrameRect(const QRect& statusBar, const QRect& panel)
{
    return {statusBar.left() + panel.left(), statusBar.top() + 1, panel.width(),
            statusBar.height() - 1};
}

int ProgressFillWidth(int percent, int innerWidth)
{
    const auto width = static_cast<float>(percent / 100.0 * innerWidth);
    return RoundToInt(width);
}

int ProgressTextTop(int innerHeight, int textHeight)
{
    return RoundToInt((innerHeight - textHeight) / 2.0);
}

int BuildProgressPercent(int index, int count)
{
    const float percent = static_cast<float>(index + 1) / static_cast<float>(count) * 100.0F;
    return RoundToInt(percent);
}
