#include "folder_picker/folder_item.h"
#include "folder_picker/folder_picker.h"
#include "folder_picker/folder_picker_dialog.h"

#include <QPointer>
#include <QScopeGuard>

namespace basMosaq {

QString BrowseForFolder(QWidget* owner, const QString& title,
                        const folder_picker::FolderDesignator& initialFolder,
                        const folder_picker::FolderDesignator& root)
{
    using namespace folder_picker;
    const FolderItem rootItem = RootItemFor(root);
    const FolderItem initialItem = InitialItemFor(initialFolder, rootItem);

    // The owner may be destroyed while the dialog runs and take the dialog with it.
    const QPointer<FolderPickerDialog> dialog =
        new FolderPickerDialog(owner, title, rootItem, &BrowseCallback, initialItem);
    const auto release = qScopeGuard([&dialog] { delete dialog.data(); });

    const int outcome = dialog->exec();
    if (dialog.isNull() || outcome != QDialog::Accepted)
        return {};
    return dialog->ChosenPath();
}

} // namespace basMosaq
