#pragma once

#include <QString>

// The file system as the thumbnail cache uses it, system by system.
namespace thumbnails {

// Creates the folder `path`, whose parent exists, for its owner alone (mode 0700 where
// files have modes; on Windows the user's profile, where the cache lies, is private).
bool CreatePrivateFolder(const QString& path);

} // namespace thumbnails
