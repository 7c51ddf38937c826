#pragma once

#include <QHash>
#include <QString>

// Images looked up by key, each a file of the resources. Entries are vector drawings, so
// they stay sharp at any device pixel ratio.
class ImageList
{
public:
    void Add(const QString& key, const QString& file);
    bool Contains(const QString& key) const { return files_.contains(key); }
    QString File(const QString& key) const { return files_.value(key); }

private:
    QHash<QString, QString> files_;
};
