#pragma once

#include <QString>

class QWidget;

namespace basMosaq {

// A folder given either as a path or as a special-folder number. Default-constructed
// it is absent.
class FolderDesignator
{
public:
    FolderDesignator() = default;
    FolderDesignator(const QString& text); // NOLINT(google-explicit-constructor)
    FolderDesignator(int number);          // NOLINT(google-explicit-constructor)

private:
    QString text_;
    int number_ = 0;
    bool present_ = false;
    bool isText_ = false;
};

// Shows the modal folder picker owned by `owner` and returns the chosen folder's native
// path, or empty text when the user cancels or picks an item without a file-system path.
QString BrowseForFolder(QWidget* owner, const QString& title,
                        const FolderDesignator& initialFolder = {},
                        const FolderDesignator& root = {});

} // namespace basMosaq
