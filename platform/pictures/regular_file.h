#pragma once

#include <QFile>
#include <QString>

namespace pictures {

// Opens `path` in `file` for reading when it is a regular file (after symbolic links):
// without blocking on a FIFO that nobody writes, and never a device such as /dev/zero,
// whose reads would not end. False, with `file` closed, otherwise.
bool OpenRegularFile(QFile& file, const QString& path);

} // namespace pictures
