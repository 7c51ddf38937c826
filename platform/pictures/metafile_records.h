#pragma once

// The records of Windows metafiles (WMF) and enhanced metafiles (EMF), checked and tidied
// before a player sees them. Players trust what a record states: GDI reads as many points,
// characters or palette entries as a count says, follows offsets to strings and bitmaps,
// and indexes its table of objects with the numbers it is given. A record that would lead
// a player past its own bytes, or past that table, is left out.
#include <QByteArray>
#include <QByteArrayView>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>

namespace pictures {

struct MetafileDocument
{
    // The metafile as the player gets it: records that run past the data, or past the
    // end-of-file record, are cut; damaged records are left out; an end-of-file record
    // ends it; the header's size fields match the records.
    QByteArray bytes;
    // The full size in pixels at 96 dpi; empty when only the drawing's bounds can tell.
    QSize size;
    // WMF only: the picture's frame in device units of 72 per inch (libwmf's points);
    // empty when only the drawing's bounds can tell.
    QRectF frame;
};

// Keeps only records whose size fits the data and whose type is known, whose counts,
// offsets and object indices stay inside the record and the header's table of objects,
// bitmap records only with a sound bitmap, EMF+ comments only with sound EMF+ records;
// ends in an end-of-file record and makes the header match. The size is the frame at
// 96 dpi, or the bounds where the frame is unusable.
std::optional<MetafileDocument> PrepareEmf(QByteArrayView file, QString& error);

// Checks the records of a Windows metafile as PrepareEmf does and works out its size and
// frame. Placeable files measure their frame in units per inch; plain ones have no
// physical size, so their window is taken as pixels: one logical unit per pixel.
std::optional<MetafileDocument> PrepareWmf(QByteArrayView file, QString& error);

} // namespace pictures
