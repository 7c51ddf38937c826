#pragma once

// The cell that a navigation key moves the selection to in a grid of `count` cells laid
// out in `columns` columns, `rowsPerPage` rows showing at a time. The current cell when
// the move would leave the grid; -1 for a key that does not navigate.
int GalleryKeyTarget(int key, int current, int columns, int rowsPerPage, int count);
