#pragma once

// The records of enhanced metafiles (EMF and EMF+), checked and tidied for a player.
#include "pictures/internal/metafile.h"

#include <QByteArrayView>
#include <QSize>
#include <QString>

#include <optional>

namespace pictures {

// Keeps only records whose size fits the data and whose type is known, bitmap records only
// with a sound bitmap, EMF+ comments only with sound EMF+ records, ends in an end-of-file
// record and makes the header match. The size is the frame at 96 dpi, or the bounds where
// the frame is unusable.
std::optional<MetafileDocument> PrepareEmf(QByteArrayView file, QString& error);

// The size of an enhanced metafile's picture in pixels at 96 dpi, from its header: the
// frame, or the bounds where the frame is unusable; empty when neither is.
QSize EmfFrameSize(QByteArrayView header);

} // namespace pictures
