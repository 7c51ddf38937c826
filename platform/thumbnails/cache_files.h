#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The file system as the thumbnail cache uses it, system by system.
namespace thumbnails {

// Renames the file `from` to `to`, replacing a file of that name in one step, so that
// readers of `to` find either the old file or the new one. Unlike QSaveFile, it does not
// wait for the disk: what it writes is a cache, worth no such wait.
bool RenameOver(const QString& from, const QString& to);

// Creates the folder `path`, whose parent exists, for its owner alone (mode 0700 where
// files have modes; on Windows the user's profile, where the cache lies, is private).
bool CreatePrivateFolder(const QString& path);

} // namespace thumbnails
