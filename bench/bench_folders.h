#pragma once

#include <QString>

// The benchmark's folders of pictures, generated once into a cache directory and reused.

// The cache directory: $XDG_CACHE_HOME/tessellon-bench, or ~/.cache/tessellon-bench.
QString BenchCacheDirectory();

// `count` JPEG photographs of 4000 x 3000 with varied content. Beyond the first 200 the
// files are links to those, so that a large folder costs no more disk.
QString PhotoFolder(int count);

// `count` small JPEG pictures of varied sizes under 100 x 100.
QString SmallFolder(int count);

// `count` files cycling through a picture of every listed format.
QString MixedFolder(int count);
