#pragma once

// Icons and cursors: the directory of their images, the choice of one image, and its
// decoding (a DIB with an AND mask, or PNG data).
#include "pictures/picture.h"

#include <QByteArrayView>
#include <QSize>

#include <vector>

class QIODevice;

namespace pictures {

struct IconEntry
{
    int index = 0;    // position in the directory
    QSize size;       // in pixels, as the image data tell where they can
    int bitCount = 0; // bits per pixel
    qsizetype offset = 0;
    qsizetype length = 0;
    bool png = false;
};

// The directory entries whose data start inside the file, in directory order. Data that
// run past the end of the file are cut to it.
std::vector<IconEntry> ReadIconDirectory(QByteArrayView file);
// The same from the file at the current position of `device`, reading only the directory
// and the head of each image; where it leaves the device is unspecified.
std::vector<IconEntry> ReadIconDirectory(QIODevice& device);

// The entries in the order they are tried. For the large icon size: the closest size
// first, then more colors, then the larger of two equally close sizes, then directory
// order. Without it (largeIconSize <= 0): directory order.
std::vector<IconEntry> OrderIconEntries(std::vector<IconEntry> entries, int largeIconSize);

// The large icon size `request` orders the entries by: its largeIconSize, at least 1, when
// it chooses the large icon; 0 (directory order) otherwise.
int WantedIconSize(const PictureRequest& request);

// Loads the image of an icon or cursor that the request selects; falls back to the next
// entry in order when an entry's data are damaged.
PictureLoad LoadIconPicture(QByteArrayView file, const PictureRequest& request);

} // namespace pictures
