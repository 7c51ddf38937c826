#include "folder_picker/folder_item.h"

#include <QDir>

namespace basMosaq {

const Qt::CaseSensitivity kFileNameCase = Qt::CaseSensitive;

FolderItem FolderItem::Top()
{
    return FolderItem(QDir::rootPath());
}

} // namespace basMosaq
