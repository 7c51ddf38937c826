#pragma once

#include <QFile>

namespace basMosaq {

// Waits until what was written to the open `file` has reached the disk.
bool SyncToDisk(QFile& file);

} // namespace basMosaq
