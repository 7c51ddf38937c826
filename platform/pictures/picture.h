#pragma once

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

namespace pictures {

// Which image of an icon or cursor file the loader takes; other formats have one.
// Default: the file's first; LargeIcon: the one closest to the large icon size.
enum class IconSizeChoice { Default, LargeIcon };

struct PictureRequest
{
    IconSizeChoice iconSize = IconSizeChoice::Default;
    // The large icon size in device pixels (32 at 96 DPI, scaled with the screen).
    int largeIconSize = 32;
    // Device pixels the picture will be fitted into, keeping its aspect ratio. When set,
    // the loader may return fewer pixels than the full size, but never fewer than the
    // fit needs. Empty: full resolution.
    QSize target;
    // When set, the exact pixel size the picture will be drawn at, given its full size.
    // The loader then delivers that size (never more than the full size) instead of the
    // fit into `target`, so that the picture is resampled once only. Called on the
    // loading thread.
    std::function<QSize(QSize fullSize)> drawnSize;
};

struct Picture
{
    QImage image; // the pixels; smaller than `size` after a reduced decode
    QSize size;   // the full size in pixels, after EXIF orientation
};

struct PictureLoad
{
    std::optional<Picture> picture;
    QString error; // why the file could not be loaded; empty on success

    explicit operator bool() const { return picture.has_value(); }
};

// Loads an image file of any listed format, deciding the format by content. Safe to call
// on any thread; never throws.
//
// Picture::size is the full size in pixels: after EXIF orientation for photographs, the
// chosen entry for icons and cursors, the frame at 96 dpi for metafiles. With
// request.target set, Picture::image is exactly FitSizeInto(size, target); otherwise
// it has the full size. The image is Format_RGB32, or Format_ARGB32_Premultiplied when the
// picture may have transparent pixels. With request.drawnSize set, Picture::image has
// DeliveredSize(size, request) instead. A picture whose pixels would take more than the
// most bytes of one picture (512 MiB) at the size it is decoded at is refused.
PictureLoad LoadPicture(const QString& path, const PictureRequest& request = {});
PictureLoad LoadPictureFromData(const QByteArray& data, const PictureRequest& request = {});

// The size `size` takes when fitted into `target` keeping its aspect ratio, never enlarged.
// Each side is rounded up, so the fit never lacks a pixel, and is at least 1. An empty
// target, or an empty size, leaves `size` unchanged.
QSize FitSizeInto(const QSize& size, const QSize& target);

// The size the loader delivers a picture of full size `size` at for `request`: the size
// request.drawnSize gives, kept within `size`, when it is set and gives one; otherwise
// FitSizeInto(size, request.target).
QSize DeliveredSize(const QSize& size, const PictureRequest& request);

// The results the decoders and the thumbnail sources give. A failure always has a reason.
PictureLoad PictureFailure(const QString& error);
PictureLoad PictureSuccess(QImage image, const QSize& size);

// `image` in one of the loader's two pixel formats: Format_ARGB32_Premultiplied when it
// may have transparent pixels, Format_RGB32 otherwise.
QImage InLoaderFormat(QImage image);

// A loaded picture as LoadPicture delivers it: in the loader's pixel formats and, for a
// target, with no more pixels than the fit needs.
PictureLoad FinishPicture(PictureLoad load, const PictureRequest& request);

// LoadPicture for a file that is already open, read from its current position.
PictureLoad LoadOpenPicture(QFile& file, const PictureRequest& request);

} // namespace pictures
