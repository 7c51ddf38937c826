#pragma once

#include <QString>

namespace thumbnails {

// Renames the file `from` to `to`, replacing a file of that name in one step, so that
// readers of `to` find either the old file or the new one. Unlike QSaveFile, it does not
// wait for the disk: what it writes is a cache, worth no such wait.
bool ReplaceFile(const QString& from, const QString& to);

} // namespace thumbnails
