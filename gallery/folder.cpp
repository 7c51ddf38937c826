#include "main_window/frmMosaq.h"

#include <QDir>

// Opens the folder stored as the last one, or, unless `noDialog`, the one the user picks
// starting there: the file list moves to it, the gallery is rebuilt, and the folder is
// remembered. A cancelled pick or a folder that cannot be read changes nothing.
void frmMosaq::OpenFolder(bool noDialog)
{
    QString path =
        ReadSetting(QStringLiteral("Last Path"), QDir::toNativeSeparators(QDir::rootPath()));
    if (!noDialog)
        path = folderPicker_(this, QStringLiteral("Select a Folder with Images..."), path);
    if (path.isEmpty() || unloaded_)
        return;
    if (filHidden->SetPath(path) != FileListBox::PathError::None)
        return;
    LoadThumbnails();
    WriteSetting(QStringLiteral("Last Path"), path);
}
