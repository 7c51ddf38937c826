#include "files/file_names.h"
#include "files/folder_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

namespace files {

namespace {

struct DirectoryCloser
{
    void operator()(DIR* directory) const { ::closedir(directory); }
};

// Whether the entry is a regular file, after a symbolic link; the entry's type where the
// file system gives it saves asking for the others.
bool IsRegularFile(DIR* directory, const dirent& entry)
{
    if (entry.d_type == DT_REG)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    struct stat info
    {};
    return ::fstatat(::dirfd(directory), entry.d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

} // namespace

// readdir, not QDirIterator: Qt leaves out every name that is not valid UTF-8.
QStringList ListFolderFiles(const QString& folder)
{
    const std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(NameBytes(folder).constData()));
    QStringList names;
    if (!directory)
        return names;
    while (const dirent* entry = ::readdir(directory.get())) {
        if (entry->d_name[0] == '.' || !IsRegularFile(directory.get(), *entry))
            continue;
        names.append(NameFromBytes(entry->d_name));
    }
    return names;
}

} // namespace files
