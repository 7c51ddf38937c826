#include "folder_picker/folder_picker.h"
#include "folder_picker/shell_folder_picker.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace folder_picker;
using namespace Qt::StringLiterals;

namespace {

// A shell whose item-ID lists are named by where they came from, and which counts their
// releases. Its calls are plain functions, as the shell's are, so they share this record.
struct FakeShell
{
    std::vector<std::unique_ptr<char>> lists;
    std::map<const void*, std::string> origins;
    std::map<const void*, int> releases;
    std::optional<BROWSEINFOW> shown;
    QString shownTitle;
    const wchar_t* chosenPath = nullptr; // the user's choice: null cancels, "" has no path
};

FakeShell* fake = nullptr;

PIDLIST_ABSOLUTE NewList(const std::string& origin)
{
    fake->lists.push_back(std::make_unique<char>());
    fake->origins[fake->lists.back().get()] = origin;
    return reinterpret_cast<PIDLIST_ABSOLUTE>(fake->lists.back().get());
}

constexpr ShellFolderCalls kFakeCalls{
    [](HWND, int number) {
        return number == 7 ? nullptr : NewList("special " + std::to_string(number));
    },
    [](const wchar_t* path) {
        const QString text = QString::fromWCharArray(path);
        return text.contains(u"missing"_s) ? nullptr : NewList("path " + text.toStdString());
    },
    [](BROWSEINFOW* info) {
        fake->shown = *info;
        fake->shownTitle = QString::fromWCharArray(info->lpszTitle);
        return fake->chosenPath == nullptr ? nullptr : NewList("chosen");
    },
    [](PCIDLIST_ABSOLUTE list, wchar_t* buffer, DWORD capacity) {
        EXPECT_EQ(fake->origins[list], "chosen");
        const std::wstring path = fake->chosenPath;
        if (path.empty() || path.size() >= capacity)
            return false;
        std::copy(path.c_str(), path.c_str() + path.size() + 1, buffer);
        return true;
    },
    [](void* list) {
        if (list != nullptr)
            ++fake->releases[list];
    }};

struct BrowseCase
{
    const char* name;
    FolderDesignator initial;
    FolderDesignator root;
    const wchar_t* chosenPath;
    const char* rootFrom;      // where the dialog's root list came from
    const char* selectionFrom; // where the list it selects came from
    QString result;
};

void PrintTo(const BrowseCase& c, std::ostream* out)
{
    *out << c.name;
}

class ShellBrowseTest : public ::testing::TestWithParam<BrowseCase>
{};

TEST_P(ShellBrowseTest, AsksTheShellAndReleasesEveryListOnce)
{
    const BrowseCase& c = GetParam();
    FakeShell shell;
    shell.chosenPath = c.chosenPath;
    fake = &shell;
    const auto owner = reinterpret_cast<HWND>(std::uintptr_t(0x1234));
    const QString title = u"Select a Folder with Images..."_s;

    EXPECT_EQ(BrowseShellForFolder(owner, title, c.initial, c.root, kFakeCalls).toStdString(),
              c.result.toStdString());
    fake = nullptr;

    ASSERT_TRUE(shell.shown);
    EXPECT_EQ(shell.shown->hwndOwner, owner);
    EXPECT_EQ(shell.shownTitle, title);
    EXPECT_EQ(shell.shown->ulFlags, 0U); // the classic tree
    EXPECT_EQ(shell.shown->pszDisplayName, nullptr);
    EXPECT_EQ(shell.shown->lpfn, &BrowseCallback);
    auto origin = [&](const void* list) { return list ? shell.origins[list] : "null"; };
    EXPECT_EQ(origin(shell.shown->pidlRoot), c.rootFrom);
    EXPECT_EQ(origin(reinterpret_cast<const void*>(shell.shown->lParam)), c.selectionFrom);
    EXPECT_EQ(shell.releases.size(), shell.lists.size());
    for (const auto& [list, count] : shell.releases)
        EXPECT_EQ(count, 1) << origin(list) << " released " << count << " times";
}

INSTANTIATE_TEST_SUITE_P(
    Calls, ShellBrowseTest,
    ::testing::Values(
        BrowseCase{"StoredFolder",
                   u"C:/Fotos/"_s,
                   {},
                   L"C:\\Fotos",
                   "special 0",
                   "path C:\\Fotos",
                   u"C:\\Fotos"_s},
        BrowseCase{"Drive", u"C:\\Fotos"_s, {}, L"D:", "special 0", "path C:\\Fotos", u"D:\\"_s},
        BrowseCase{"Cancel", u"C:\\Fotos"_s, {}, nullptr, "special 0", "path C:\\Fotos", {}},
        BrowseCase{"ItemWithoutPath", u"C:\\Fotos"_s, {}, L"", "special 0", "path C:\\Fotos", {}},
        // Without an initial folder the root's own list is selected, and released once.
        BrowseCase{
            "NoInitialFolder", {}, {}, L"C:\\Users", "special 0", "special 0", u"C:\\Users"_s},
        BrowseCase{"EmptyInitialFolder", u""_s, u"D:\\"_s, nullptr, "path D:\\", "path D:\\", {}},
        BrowseCase{"NumberText", u" 5 "_s, {}, nullptr, "special 0", "special 5", {}},
        BrowseCase{"NumberWithFlags", u"32773"_s, {}, nullptr, "special 0", "null", {}},
        BrowseCase{"UnknownNumbers", u"7"_s, 7, nullptr, "null", "null", {}},
        BrowseCase{"MissingFolder", u"C:\\missing"_s, {}, nullptr, "special 0", "null", {}},
        BrowseCase{"RelativePath", u"Fotos"_s, {}, nullptr, "special 0", "null", {}},
        BrowseCase{"FolderRoot", u"C:\\Fotos\\2024"_s, u"C:\\Fotos"_s, L"C:\\Fotos\\2024\\",
                   "path C:\\Fotos", "path C:\\Fotos\\2024", u"C:\\Fotos\\2024"_s}),
    [](const auto& info) { return std::string(info.param.name); });

// What the callback asked of the dialog: the message, and the path or list it named.
std::vector<std::pair<UINT, std::string>> received;

TEST(ShellBrowseCallbackTest, SelectsTheGivenItemOnceTheDialogIsReady)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM first, LPARAM second) {
        if (message >= WM_USER) {
            received.emplace_back(
                message, first != FALSE
                             ? QString::fromWCharArray(reinterpret_cast<const wchar_t*>(second))
                                   .toStdString()
                             : "list " + std::to_string(second));
        }
        return DefWindowProcW(window, message, first, second);
    };
    windowClass.lpszClassName = L"TessellonBrowseCallbackTest";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);

    // A folder is selected by its path; the computer, which has none, by its list.
    const ShellFolderCalls& shell = SystemShellFolderCalls();
    const PIDLIST_ABSOLUTE drive = shell.parsePath(L"C:\\");
    const PIDLIST_ABSOLUTE computer = shell.specialFolder(nullptr, 17);
    ASSERT_TRUE(drive != nullptr && computer != nullptr);
    const auto asData = [](PIDLIST_ABSOLUTE list) { return reinterpret_cast<LPARAM>(list); };
    using Sent = std::vector<std::pair<UINT, std::string>>;
    const struct
    {
        UINT message;
        LPARAM data;
        Sent sent;
    } cases[] = {
        {BFFM_INITIALIZED, asData(drive), {{BFFM_SETSELECTIONW, "C:\\"}}},
        {BFFM_INITIALIZED,
         asData(computer),
         {{BFFM_SETSELECTIONW, "list " + std::to_string(asData(computer))}}},
        {BFFM_INITIALIZED, 0, {}}, // nothing named, nothing selected
        {BFFM_SELCHANGED, asData(drive), {}},
    };
    for (const auto& c : cases) {
        received.clear();
        EXPECT_EQ(BrowseCallback(window, c.message, 0, c.data), 0);
        EXPECT_EQ(received, c.sent) << c.message;
    }
    shell.release(drive);
    shell.release(computer);
    DestroyWindow(window);
}

} // namespace
