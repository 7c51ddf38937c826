#pragma once

#include <QString>
#include <QStringList>

namespace files {

// The names of the regular files of `folder`, after symbolic links, in the order the system
// lists them: neither folders, devices, FIFOs and broken links, nor hidden files. Every name
// the system holds is listed, also one that is not valid text (see file_names.h).
QStringList ListFolderFiles(const QString& folder);

} // namespace files
