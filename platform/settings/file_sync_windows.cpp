#include "settings/file_sync.h"

#include <io.h>

namespace basMosaq {

bool SyncToDisk(QFile& file)
{
    return file.flush() && ::_commit(file.handle()) == 0;
}

} // namespace basMosaq
