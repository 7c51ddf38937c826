#pragma once

#include <QtGlobal>

// The window's and the gallery's numbers chosen for speed, memory and the ways of window
// managers, each with why it has its value.
// Thumbnails decoded ahead of the build per processor: pictures at the size they are
// drawn, a few kilobytes each, while the bytes of the decodes under way are bounded by
// the picture loader.
inline constexpr int kDecodesAheadPerThread = 16;

// The most jobs a worker takes at a time from a build's lookahead: enough that a folder of
// small pictures does not pay a task for each, few enough that the last task of a build
// does not keep one worker busy while the others idle.
inline constexpr int kMostJobsPerTask = 8;

// Caption widths measured per build: names of one folder share many prefixes, and these
// keep the measuring cheap without growing with the folder.
inline constexpr qsizetype kMeasuredTextsKept = 4096;

// The bytes of thumbnail pixels the cells hold beside those in view: 4,096 cells at a
// pixel ratio of 1, 1,024 at 2; screens full of cells on either side of the view, at a
// fraction of what a large folder would hold.
inline constexpr qint64 kCellPictureBudgetBytes = qint64(64) << 20;

// How long the window must be left alone by the window manager before its frame counts:
// window managers answer a placement with a burst of changes within a few milliseconds.
inline constexpr int kPlacementSettleMilliseconds = 50;

// A window manager may refuse a placement (some keep windows on screen): after this many
// corrections the window stays where it was put.
inline constexpr int kPlacementCorrections = 2;
