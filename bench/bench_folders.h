#pragma once

#include <QString>

// The benchmark's folders of pictures, generated once into a cache directory and reused.

// The cache directory: $XDG_CACHE_HOME/tessellon-bench, or ~/.cache/tessellon-bench.
QString BenchCacheDirectory();

// `count` JPEG photographs of 4000 x 3000 with varied content. Folders of another count
// than 200 hold links to those, so that a large folder costs no more disk.
QString PhotoFolder(int count);

// The same photographs with a 160 x 120 preview in their EXIF block, embedded by exiftool
// as a camera embeds it. Empty when exiftool is missing.
QString CameraFolder(int count);

// `count` small JPEG pictures of varied sizes under 100 x 100.
QString SmallFolder(int count);

// `count` files cycling through a picture of every listed format.
QString MixedFolder(int count);
