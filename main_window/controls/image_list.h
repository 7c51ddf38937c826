#pragma once

#include <QHash>
#include <QIcon>
#include <QSize>
#include <QString>

// Images looked up by key, each an image of the resources named without its suffix
// ("icons/browse").
class ImageList
{
public:
    void Add(const QString& key, const QString& image);
    bool Contains(const QString& key) const { return images_.contains(key); }
    QString Image(const QString& key) const { return images_.value(key); }

private:
    QHash<QString, QString> images_;
};

// Adds the resource image `image` ("icons/browse") to `icon` for `mode`, drawn `size`
// logical pixels large: its vector drawing where Qt Svg draws it, sharp at any pixel
// ratio; elsewhere the renderings the build made of it at 1, 2 and 3 times that size.
void AddResourceImage(QIcon& icon, const QString& image, QSize size,
                      QIcon::Mode mode = QIcon::Normal);
