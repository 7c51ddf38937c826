#include "folder_picker/folder_item.h"

#include "folder_picker/folder_picker.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace folder_picker {

const Qt::CaseSensitivity kFileNameCase = Qt::CaseSensitive;

FolderItem FolderItem::Top()
{
    return FolderItem(QDir::rootPath());
}

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
    case SpecialFolder::kTop:
    case SpecialFolder::kComputer:
        return FolderItem::Top();
    case SpecialFolder::kDocuments:
        return StandardLocationItem(QStandardPaths::DocumentsLocation);
    case SpecialFolder::kMusic:
        return StandardLocationItem(QStandardPaths::MusicLocation);
    case SpecialFolder::kVideos:
        return StandardLocationItem(QStandardPaths::MoviesLocation);
    case SpecialFolder::kDesktop:
        return StandardLocationItem(QStandardPaths::DesktopLocation);
    case SpecialFolder::kPictures:
        return StandardLocationItem(QStandardPaths::PicturesLocation);
    case SpecialFolder::kHome:
        return StandardLocationItem(QStandardPaths::HomeLocation);
    default:
        return {};
    }
}

FolderItem ResolveFolder(const FolderDesignator& designator)
{
    switch (designator.GetKind()) {
    case FolderDesignator::Kind::Path:
        return FolderItem::AtPath(designator.Path());
    case FolderDesignator::Kind::SpecialFolder:
        return SpecialFolderItem(designator.SpecialFolderNumber());
    case FolderDesignator::Kind::Absent:
        break;
    }
    return {};
}

FolderItem RootItemFor(const FolderDesignator& root)
{
    const FolderItem item = root.IsAbsent() ? FolderItem::Top() : ResolveFolder(root);
    return item.IsNull() ? FolderItem::Top() : item;
}

FolderItem InitialItemFor(const FolderDesignator& initialFolder, const FolderItem& rootItem)
{
    return initialFolder.IsAbsent() ? rootItem : ResolveFolder(initialFolder);
}

} // namespace folder_picker
