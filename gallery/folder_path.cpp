#include "gallery/folder_path.h"

#include <QDir>

QString FolderWithSeparator(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith(QDir::separator()))
        return folder;
    return folder + QDir::separator();
}
