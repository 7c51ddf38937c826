#pragma once

#include <QString>

#include <functional>

// Measures a text's width in pixels in the cells' font.
using TextWidthFunction = std::function<int(const QString& text)>;

// A file name shortened to fit a cell `cellWidth` pixels wide: a name that fits within
// cellWidth - 15 pixels is kept; a longer one is cut to the longest prefix that fits
// within that budget less the width of "..." and ends with "...". Characters are removed
// whole, never splitting a surrogate pair or a combined character.
QString ShortenCaption(const QString& name, float cellWidth, const TextWidthFunction& width);
