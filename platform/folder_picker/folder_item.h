#pragma once

#include <QString>
#include <Qt>

#include <optional>

namespace folder_picker {

class FolderDesignator;

// How the file system compares file names.
extern const Qt::CaseSensitivity kFileNameCase;

// Stands for one node of the folder tree, by value: a folder, the tree's top, or nothing.
class FolderItem
{
public:
    FolderItem() = default; // names nothing

    // The top of the tree: the file-system root.
    static FolderItem Top();
    // The folder at `path` when that is an absolute path of an existing folder; else nothing.
    static FolderItem AtPath(const QString& path);

    bool IsNull() const { return !path_.has_value(); }
    // Clean, with '/' separators; a root keeps its separator. Empty for a null item and
    // for a top that is no folder.
    QString Path() const { return path_.value_or(QString()); }

    friend bool operator==(const FolderItem&, const FolderItem&) = default;

private:
    explicit FolderItem(QString path)
        : path_(std::move(path))
    {}

    std::optional<QString> path_;
};

// The folder a special-folder number names; null for a number the picker does not know
// or a folder that does not exist.
FolderItem SpecialFolderItem(int number);

// The folder a designator names: a path or a special folder; null when it names none.
FolderItem ResolveFolder(const FolderDesignator& designator);

// The root of the picker's tree: an absent designator or one that names no folder gives
// the top.
FolderItem RootItemFor(const FolderDesignator& root);

// The picker's initial selection: an absent designator selects `rootItem`; one that names
// no folder gives a null item (nothing in particular selected).
FolderItem InitialItemFor(const FolderDesignator& initialFolder, const FolderItem& rootItem);

} // namespace folder_picker
