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

// How a folder's JPEG files are coded: as the camera (or Qt) wrote them, made progressive by
// jpegtran's default script, or by a script that follows mozjpeg's default order, whose DC
// scans come one per component.
enum class JpegCoding { Baseline, Progressive, ProgressiveDcSeparate };

// The 200 photographs of PhotoFolder, or 200 web-size pictures (1600 x 1067) made from
// them, in `coding`. Empty when jpegtran is missing (libjpeg-turbo-progs).
QString CodedPhotoFolder(JpegCoding coding);
QString WebFolder(JpegCoding coding);

// Where a coding's name comes from, for the benchmark's rows.
const char* JpegCodingName(JpegCoding coding);
