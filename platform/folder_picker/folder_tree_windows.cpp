#include "folder_picker/folder_item.h"

namespace basMosaq {

const Qt::CaseSensitivity kFileNameCase = Qt::CaseInsensitive;

// Above the drives there is no folder: the tree's top is the list of drives itself.
FolderItem FolderItem::Top()
{
    return FolderItem(QString());
}

} // namespace basMosaq
