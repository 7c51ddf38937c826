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

    Kind GetKind() const { return kind_; }
    bool IsAbsent() const { return kind_ == Kind::Absent; }
    const QString& Path() const { return path_; }
    int SpecialFolderNumber() const { return number_; }

private:
    Kind kind_ = Kind::Absent;
    QString path_;
    int number_ = 0;
};

// Special-folder numbers the picker knows.
struct SpecialFolder
{
    static constexpr int kTop = 0; // the top of the folder tree: the file-system root
    static constexpr int kDocuments = 5;
    static constexpr int kMusic = 13;
    static constexpr int kVideos = 14;
    static constexpr int kDesktop = 16;
    static constexpr int kComputer = 17; // the same top as 0
    static constexpr int kPictures = 39;
    static constexpr int kHome = 40;
};

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
