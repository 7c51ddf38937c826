#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

namespace folder_picker {

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

// Special-folder numbers: the shell's own on Windows, where every number it knows serves;
// elsewhere these name the user's folders, and the top of the folder tree.
struct SpecialFolder
{
    static constexpr int kTop = 0; // the desktop on Windows; elsewhere the file-system root
    static constexpr int kDocuments = 5;
    static constexpr int kMusic = 13;
    static constexpr int kVideos = 14;
    static constexpr int kDesktop = 16;
    static constexpr int kComputer = 17; // the same top as 0
    static constexpr int kPictures = 39;
    static constexpr int kHome = 40;
};

} // namespace folder_picker

// The folder picker as the window calls it.
namespace basMosaq {

// Shows the modal folder picker owned by `owner` and returns the chosen folder's native
// path, or empty text when the user cancels or picks an item without a file-system path.
// A drive comes back as its root (`C:\`, `/`), any other folder without a trailing
// separator. The tree starts at `root` (absent: the top) with `initialFolder` selected
// (absent or empty: the root). On Windows this is the shell's own folder picker.
QString BrowseForFolder(QWidget* owner, const QString& title,
                        const folder_picker::FolderDesignator& initialFolder = {},
                        const folder_picker::FolderDesignator& root = {});

} // namespace basMosaq
