#include "gallery/grid_layout.h"

#include "common/rounding.h"

#include <algorithm>
#include <cmath>

int GridColumns(float viewportWidth, float scrollBarWidth, float cellWidth)
{
    if (!(cellWidth > 0))
        return 1;
    const double columns = std::floor((viewportWidth - scrollBarWidth) / cellWidth);
    return std::max(1, RoundToInt(columns));
}

QPoint GridCellPosition(int index, int columns, float cellWidth, float cellHeight)
{
    const float left = cellWidth * static_cast<float>(index % columns);
    const int row = index / columns; // whole rows: the division floors on purpose
    const float top = static_cast<float>(row) * cellHeight;
    return {RoundToInt(left), RoundToInt(top)};
}

QSize GridCanvasSize(int count, int columns, float cellWidth, float cellHeight)
{
    const int rows = count / columns + (count % columns != 0 ? 1 : 0);
    return {RoundToInt(cellWidth * static_cast<float>(columns)),
            RoundToInt(static_cast<float>(rows) * cellHeight)};
}

ScrollRange GridScrollRange(float canvasHeight, float viewportHeight, float cellHeight)
{
    const int range = RoundToInt(canvasHeight - viewportHeight);
    if (range < 0)
        return {0, false, 1, 1};
    return {range, true, std::max(1, RoundToInt(cellHeight)),
            std::max(1, RoundToInt(viewportHeight))};
}
