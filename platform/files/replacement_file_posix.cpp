#include "files/file_names.h"
#include "files/replacement_file.h"

#include <unistd.h>

#include <cstdio>

namespace files {

bool SyncToDisk(QFile& file)
{
    return file.flush() && ::fsync(file.handle()) == 0;
}

bool RenameOver(const QString& from, const QString& to)
{
    return std::rename(NameBytes(from).constData(), NameBytes(to).constData()) == 0;
}

} // namespace files
