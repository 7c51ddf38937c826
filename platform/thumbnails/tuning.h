#pragma once

// The thumbnail sources' numbers chosen for speed, in one place. The limits that tell a
// cache entry or an embedded preview from something else stay beside the code that reads
// them.

#include <QtGlobal>

namespace thumbnails {

// Pictures with fewer pixels than this decode about as fast as an entry of the cache is
// read (0.23 ms, measured by bench/micro_bench: a JPEG of 320 x 240 takes 0.27 ms, a BMP
// 0.19 ms): they are neither looked up nor stored. Metafiles and icons never are.
inline constexpr qint64 kSmallestCachedPixels = qint64(320) * 240;

// Entries are stored without compression (Qt's PNG quality 100): a normal entry then takes
// 37 KiB instead of 7 to 25, but it is written in a sixth of the time and read in half,
// and reading entries is what the cache is for.
inline constexpr int kEntryQuality = 100;

} // namespace thumbnails
