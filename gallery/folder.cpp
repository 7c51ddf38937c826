#include "main_window/frmMosaq.h"
#include "main_window/setting_keys.h"

#include <QDir>

// Opens the folder stored as the last one, or, unless `noDialog`, the one the user picks
// starting there: the file list moves to it, the gallery is rebuilt, and the folder is
// remembered. A cancelled pick or a folder that cannot be read changes nothing.
//
// Only a folder the gallery came to show whole is remembered. A build overtaken by the
// window's unload, or by the opening of another folder, leaves "Last Path" as it was; one
// overtaken by a rebuild of the same folder (Refresh) counts once that rebuild has ended.
void frmMosaq::OpenFolder(bool noDialog)
{
    QString path = ReadSetting(kLastPathKey, QDir::toNativeSeparators(QDir::rootPath()));
    if (!noDialog)
        path = folderPicker_(this, QStringLiteral("Select a Folder with Images..."), path);
    if (path.isEmpty() || unloaded_)
        return;
    if (filHidden->SetPath(path) != FileListBox::PathError::None)
        return;
    const QString opened = filHidden->Path();
    const bool built = LoadThumbnails();
    if (built || (!unloaded_ && !building_ && filHidden->Path() == opened))
        WriteSetting(kLastPathKey, path);
}
