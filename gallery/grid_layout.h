#pragma once

#include <QPoint>
#include <QSize>

// The arithmetic of the gallery grid: cells of one size, laid out left to right and top
// to bottom without gaps, in as many columns as the viewport's width takes.

// Columns that fit beside the scroll bar; at least one, so that a viewport narrower than
// a cell still shows a column.
int GridColumns(float viewportWidth, float scrollBarWidth, float cellWidth);

// The top-left corner of cell `index`.
QPoint GridCellPosition(int index, int columns, float cellWidth, float cellHeight);

// The canvas that holds `count` cells: `columns` wide and as many rows high as it takes.
QSize GridCanvasSize(int count, int columns, float cellWidth, float cellHeight);

struct ScrollRange
{
    int maximum = 0;
    bool enabled = false;
    int smallChange = 1;
    int largeChange = 1;

    bool operator==(const ScrollRange&) const = default;
};

// The scroll bar's range for a canvas in a viewport. A grid that fits disables the bar;
// one exactly as high as the viewport leaves it enabled with nothing to scroll.
ScrollRange GridScrollRange(float canvasHeight, float viewportHeight, float cellHeight);
