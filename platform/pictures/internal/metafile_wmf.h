#pragma once

// The records of Windows metafiles, placeable or plain, checked and tidied for a player.
#include "pictures/internal/metafile.h"

#include <QByteArrayView>
#include <QSize>
#include <QString>

#include <optional>

namespace pictures {

// Checks the structure of a metafile and works out its size and frame. Placeable files
// measure their frame in units per inch; plain ones have no physical size, so their
// window is taken as pixels: one logical unit per pixel.
std::optional<MetafileDocument> PrepareWmf(QByteArrayView file, QString& error);

// The size of a placeable metafile's picture in pixels at 96 dpi, from its header; empty
// for a plain metafile, whose size only its records tell.
QSize PlaceableWmfSize(QByteArrayView head);

} // namespace pictures
