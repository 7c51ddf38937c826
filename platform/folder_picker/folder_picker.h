#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

namespace basMosaq {

class FolderItem;
class FolderPickerDialog;

// A folder given either as a path or as a special-folder number. Default-constructed
// it is absent.
class FolderDesignator
{
public:
    enum class Kind { Absent, Path, SpecialFolder };

    FolderDesignator() = default;
    // Text that is not empty and does not read as a decimal integer (optionally signed,
    // blanks around allowed) is a path; text that reads as one is a special-folder number,
    // saturated to the 32-bit range. Empty text is absent.
    FolderDesignator(const QString& text); // NOLINT(google-explicit-constructor)
    FolderDesignator(int number);          // NOLINT(google-explicit-constructor)

    Kind kind() const { return kind_; }
    bool isAbsent() const { return kind_ == Kind::Absent; }
    const QString& path() const { return path_; }
    int specialFolder() const { return number_; }

private:
    Kind kind_ = Kind::Absent;
    QString path_;
    int number_ = 0;
};

// Special-folder numbers the picker knows.
namespace SpecialFolder {
inline constexpr int Top = 0; // the top of the folder tree: the file-system root
inline constexpr int Documents = 5;
inline constexpr int Music = 13;
inline constexpr int Videos = 14;
inline constexpr int Desktop = 16;
inline constexpr int Computer = 17; // the same top as 0
inline constexpr int Pictures = 39;
inline constexpr int Home = 40;
} // namespace SpecialFolder

// The message the picker sends its callback once it is shown and ready.
inline constexpr int kBrowseInitialized = 1;

// Shows the modal folder picker owned by `owner` and returns the chosen folder's native
// path, or empty text when the user cancels or picks an item without a file-system path.
// The tree starts at `root` (absent: the top) with `initialFolder` selected (absent or
// empty: the root).
QString BrowseForFolder(QWidget* owner, const QString& title,
                        const FolderDesignator& initialFolder = {},
                        const FolderDesignator& root = {});

// The picker's event callback: on kBrowseInitialized it selects `callbackData`, the
// initial folder, in `dialog`. Other messages are ignored. Always returns 0.
int BrowseCallback(FolderPickerDialog& dialog, int message, qintptr messageData,
                   const FolderItem& callbackData);

} // namespace basMosaq
