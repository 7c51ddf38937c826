#include "settings/file_sync.h"

#include <unistd.h>

namespace basMosaq {

bool SyncToDisk(QFile& file)
{
    return file.flush() && ::fsync(file.handle()) == 0;
}

} // namespace basMosaq
