#pragma once

#include <QHash>
#include <QIcon>
#include <QSize>
#include <QString>

// Images looked up by key, all of one logical size. Entries are vector drawings, so they
// stay sharp at any device pixel ratio.
class ImageList
{
public:
    explicit ImageList(QSize imageSize);

    QSize ImageSize() const { return imageSize_; }
    void Add(const QString& key, const QString& file);
    bool Contains(const QString& key) const { return files_.contains(key); }
    QString File(const QString& key) const { return files_.value(key); }
    QIcon Icon(const QString& key) const;
    QPixmap Pixmap(const QString& key, qreal devicePixelRatio) const;

private:
    QSize imageSize_;
    QHash<QString, QString> files_;
};
