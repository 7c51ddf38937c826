#include "folder_picker/folder_picker.h"
#include "folder_picker/shell_folder_paths.h"
#include "folder_picker/shell_folder_picker.h"

#include <QWidget>

#include <objbase.h>

#include <memory>
#include <optional>
#include <vector>

namespace folder_picker {

namespace {

// Room for a path of the longest length Windows allows, not only MAX_PATH.
constexpr DWORD kLongestPath = 32768;

PIDLIST_ABSOLUTE SpecialFolderList(HWND owner, int number)
{
    PIDLIST_ABSOLUTE list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(owner, number, &list)))
        return nullptr;
    return list;
}

PIDLIST_ABSOLUTE PathList(const wchar_t* path)
{
    return ILCreateFromPathW(path);
}

PIDLIST_ABSOLUTE RunDialog(BROWSEINFOW* info)
{
    return SHBrowseForFolderW(info);
}

bool FileSystemPath(PCIDLIST_ABSOLUTE list, wchar_t* buffer, DWORD capacity)
{
    return SHGetPathFromIDListEx(list, buffer, capacity, GPFIDL_DEFAULT) != FALSE;
}

void ReleaseList(void* list)
{
    CoTaskMemFree(list);
}

// An item-ID list the picker owns, released once through the shell's allocator.
class OwnedList
{
public:
    OwnedList(PIDLIST_ABSOLUTE list, const ShellFolderCalls& shell)
        : list_(list, shell.release)
    {}

    PIDLIST_ABSOLUTE Get() const { return list_.get(); }

private:
    std::unique_ptr<ITEMIDLIST_ABSOLUTE, void (*)(void*)> list_;
};

// The list a designator names: a special folder's or an absolute path's; null when it
// names nothing the shell knows.
PIDLIST_ABSOLUTE ListOf(const FolderDesignator& designator, HWND owner,
                        const ShellFolderCalls& shell)
{
    if (designator.GetKind() == FolderDesignator::Kind::Path) {
        const QString name = ShellParsingName(designator.Path());
        if (name.isEmpty())
            return nullptr;
        return shell.parsePath(reinterpret_cast<const wchar_t*>(name.utf16()));
    }
    const std::optional<int> number = ShellSpecialFolder(designator.SpecialFolderNumber());
    return number ? shell.specialFolder(owner, *number) : nullptr;
}

// Qt initializes COM for its own window thread; this makes sure of it for a call from
// elsewhere, and undoes only what it did.
class ComApartment
{
public:
    ComApartment()
        : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
    {}
    ~ComApartment()
    {
        if (initialized_)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialized_;
};

} // namespace

const ShellFolderCalls& SystemShellFolderCalls()
{
    static const ShellFolderCalls calls{&SpecialFolderList, &PathList, &RunDialog, &FileSystemPath,
                                        &ReleaseList};
    return calls;
}

QString BrowseShellForFolder(HWND owner, const QString& title,
                             const FolderDesignator& initialFolder, const FolderDesignator& root,
                             const ShellFolderCalls& shell)
{
    // An absent root is the desktop; one that names nothing leaves the list null, which
    // the shell takes for the desktop too.
    const OwnedList rootList(root.IsAbsent() ? shell.specialFolder(owner, SpecialFolder::kTop)
                                             : ListOf(root, owner, shell),
                             shell);
    // Without an initial folder the root itself is selected: the same list, released once
    // with the root's.
    const OwnedList initialList(
        initialFolder.IsAbsent() ? nullptr : ListOf(initialFolder, owner, shell), shell);
    const PIDLIST_ABSOLUTE selected = initialFolder.IsAbsent() ? rootList.Get() : initialList.Get();

    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = rootList.Get();
    info.pszDisplayName = nullptr;
    info.lpszTitle = reinterpret_cast<LPCWSTR>(title.utf16());
    info.ulFlags = 0; // the classic tree, any item of the namespace choosable
    info.lpfn = &BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(selected);

    const OwnedList chosen(shell.browse(&info), shell);
    if (chosen.Get() == nullptr)
        return {};
    std::vector<wchar_t> buffer(kLongestPath, L'\0');
    if (!shell.pathOf(chosen.Get(), buffer.data(), kLongestPath))
        return {}; // a virtual item: a printer, the control panel
    return ChosenFolderPath(QStringView(buffer.data(), qsizetype(buffer.size())));
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM /*messageData*/, LPARAM callbackData)
{
    // A null list would select nothing the caller named.
    if (message != BFFM_INITIALIZED || callbackData == 0)
        return 0;
    // A folder goes by its path, which the dialog parses against the tree it has just
    // filled: Wine's tree does not find every list made before it (a folder whose
    // contents have changed since). An item without a path goes by its list.
    const auto list = reinterpret_cast<PCIDLIST_ABSOLUTE>(callbackData);
    std::vector<wchar_t> path(kLongestPath, L'\0');
    if (FileSystemPath(list, path.data(), kLongestPath))
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path.data()));
    else
        SendMessageW(dialog, BFFM_SETSELECTIONW, FALSE, callbackData);
    return 0;
}

} // namespace folder_picker

namespace basMosaq {

QString BrowseForFolder(QWidget* owner, const QString& title,
                        const folder_picker::FolderDesignator& initialFolder,
                        const folder_picker::FolderDesignator& root)
{
    using namespace folder_picker;
    const ComApartment apartment;
    const HWND ownerWindow =
        owner != nullptr ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr;
    return BrowseShellForFolder(ownerWindow, title, initialFolder, root, SystemShellFolderCalls());
}

} // namespace basMosaq
