#include "clipboard/clipboard.h"
#include "files/pastable_path.h"
#include "main_window/command_keys.h"
#include "main_window/frmMosaq.h"

// The one entry for commands: the toolbar's buttons and the cells' double-click.
void frmMosaq::tbrMain_ButtonClick(ToolbarButton* button)
{
    if (button == nullptr || unloaded_)
        return;
    const QString& key = button->Key();
    if (key == kBrowseCommand) {
        OpenFolder(false);
    } else if (key == kEditCommand) {
        SelectAndExit();
    } else if (key == kRefreshCommand) {
        LoadThumbnails();
    } else if (key == kExitCommand) {
        close();
        Q_EMIT ProgramEnded();
    }
}

ToolbarButton* frmMosaq::ToolbarButtonByKey(const QString& key) const
{
    for (ToolbarButton* button : tbrMain->findChildren<ToolbarButton*>()) {
        if (button->Key() == key)
            return button;
    }
    return nullptr;
}

// Puts the selected image's full path on the clipboard and ends the program. Nothing
// happens while no image is selected, and the window stays open when the clipboard does
// not take the text. While a build runs the gallery is hidden and its cells change under
// the selection: Select then does nothing, and is not kept for later either.
void frmMosaq::SelectAndExit()
{
    if (building_ || FolderPath().isEmpty() || selectedIndex_ < 0 ||
        selectedIndex_ >= pictures_.CellCount())
        return;
    if (!SetClipboardText(files::PastableFilePath(CellFilePath(selectedIndex_))))
        return;
    close();
    Q_EMIT ProgramEnded();
}
