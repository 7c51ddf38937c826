#pragma once

// The shell's folder picker on Windows, with the shell's calls it makes replaceable, so that
// tests can see what it asks and releases without a dialog.

#include <QString>

#include <shlobj.h>
#include <windows.h>

namespace folder_picker {

class FolderDesignator;

// The shell's calls the picker makes. Every item-ID list the first three return is the
// picker's to release, once, through `release`.
struct ShellFolderCalls
{
    // The list of a special folder by number; null when the shell knows none.
    PIDLIST_ABSOLUTE (*specialFolder)(HWND owner, int number);
    // The list of an absolute path; null when it names nothing of the namespace.
    PIDLIST_ABSOLUTE (*parsePath)(const wchar_t* path);
    // Runs the modal dialog: the chosen item's list, or null on Cancel.
    PIDLIST_ABSOLUTE (*browse)(BROWSEINFOW* info);
    // Writes the item's file-system path into `buffer`; false for an item without one.
    bool (*pathOf)(PCIDLIST_ABSOLUTE list, wchar_t* buffer, DWORD capacity);
    void (*release)(void* list);
};

// Shell32's and COM's own.
const ShellFolderCalls& SystemShellFolderCalls();

// BrowseForFolder through `shell`: the classic tree rooted at `root` (absent: the desktop)
// with `initialFolder` selected once the dialog is ready.
QString BrowseShellForFolder(HWND owner, const QString& title,
                             const FolderDesignator& initialFolder, const FolderDesignator& root,
                             const ShellFolderCalls& shell);

// The dialog's event callback: once the dialog is ready (BFFM_INITIALIZED) it selects the
// item given as `callbackData`, an item-ID list: by its path where it has one. Other
// messages are ignored. Returns 0.
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM messageData, LPARAM callbackData);

} // namespace folder_picker
