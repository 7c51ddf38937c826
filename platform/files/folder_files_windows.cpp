#include "files/folder_files.h"

#include <QDir>
#include <QDirIterator>

namespace files {

// Qt lists with FindFirstFileW and keeps the UTF-16 names as they are.
QStringList ListFolderFiles(const QString& folder)
{
    QStringList names;
    QDirIterator files(folder, QDir::Files | QDir::NoDotAndDotDot);
    while (files.hasNext()) {
        files.next();
        names.append(files.fileName());
    }
    return names;
}

} // namespace files
