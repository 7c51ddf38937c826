#include "folder_picker/folder_item.h"

#include "folder_picker/folder_picker.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace basMosaq {

FolderItem FolderItem::AtPath(const QString& path)
{
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(path));
    if (clean.isEmpty() || !QDir::isAbsolutePath(clean) || !QFileInfo(clean).isDir())
        return {};
    return FolderItem(clean);
}

namespace {

FolderItem StandardLocationItem(QStandardPaths::StandardLocation location)
{
    return FolderItem::AtPath(QStandardPaths::writableLocation(location));
}

} // namespace

FolderItem SpecialFolderItem(int number)
{
    switch (number) {
    case SpecialFolder::Top:
    case SpecialFolder::Computer:
        return FolderItem::Top();
    case SpecialFolder::Documents:
        return StandardLocationItem(QStandardPaths::DocumentsLocation);
    case SpecialFolder::Music:
        return StandardLocationItem(QStandardPaths::MusicLocation);
    case SpecialFolder::Videos:
        return StandardLocationItem(QStandardPaths::MoviesLocation);
    case SpecialFolder::Desktop:
        return StandardLocationItem(QStandardPaths::DesktopLocation);
    case SpecialFolder::Pictures:
        return StandardLocationItem(QStandardPaths::PicturesLocation);
    case SpecialFolder::Home:
        return StandardLocationItem(QStandardPaths::HomeLocation);
    default:
        return {};
    }
}

FolderItem ResolveFolder(const FolderDesignator& designator)
{
    switch (designator.kind()) {
    case FolderDesignator::Kind::Path:
        return FolderItem::AtPath(designator.path());
    case FolderDesignator::Kind::SpecialFolder:
        return SpecialFolderItem(designator.specialFolder());
    case FolderDesignator::Kind::Absent:
        break;
    }
    return {};
}

FolderItem RootItemFor(const FolderDesignator& root)
{
    const FolderItem item = root.isAbsent() ? FolderItem::Top() : ResolveFolder(root);
    return item.isNull() ? FolderItem::Top() : item;
}

FolderItem InitialItemFor(const FolderDesignator& initialFolder, const FolderItem& rootItem)
{
    return initialFolder.isAbsent() ? rootItem : ResolveFolder(initialFolder);
}

} // namespace basMosaq
