#pragma once

#include <QRect>

// Where the progress indicator lies: over the status bar's panel, from one pixel below
// the bar's top edge down to its bottom edge. `panel` is relative to the status bar.
QRect ProgressFrameRect(const QRect& statusBar, const QRect& panel);

// The fill's width for `percent` of the inner width.
int ProgressFillWidth(int percent, int innerWidth);

// The top of a text line centred in the inner height; may be negative.
int ProgressTextTop(int innerHeight, int textHeight);

// The gallery build's progress at file `index` of `count`, in percent, halves rounded to
// even.
int BuildProgressPercent(int index, int count);
