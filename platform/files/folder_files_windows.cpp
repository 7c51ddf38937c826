#include "files/file_uri.h"
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

// The clipboard's text is UTF-16, as names are: every path goes there as it is.
QString PastableFilePath(const QString& path)
{
    return path;
}

QByteArray UriPath(const QString& absolutePath)
{
    return '/' + QDir::fromNativeSeparators(absolutePath).toUtf8();
}

} // namespace files
