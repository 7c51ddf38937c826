#include "main_window/controls/file_list_box.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

QStringList NameFilters(const QString& pattern)
{
    QStringList filters = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& filter : filters)
        filter = filter.trimmed();
    return filters;
}

void SortNaturally(QStringList& names)
{
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<std::pair<QCollatorSortKey, int>> keys;
    keys.reserve(static_cast<size_t>(names.size()));
    for (int i = 0; i < names.size(); ++i)
        keys.emplace_back(collator.sortKey(names.at(i)), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const auto& key : keys)
        sorted.append(names.at(key.second));
    names = std::move(sorted);
}

QString NativeFolderPath(const QString& folder)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
}

} // namespace

QStringList ListMatchingFiles(const QString& folder, const QString& pattern)
{
    QDir dir(folder);
    dir.setNameFilters(NameFilters(pattern));
    dir.setFilter(QDir::Files | QDir::NoDotAndDotDot);
    dir.setSorting(QDir::Unsorted);
    QStringList names = dir.entryList();
    SortNaturally(names);
    return names;
}

FileListBox::FileListBox(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void FileListBox::SetPattern(const QString& pattern)
{
    pattern_ = pattern;
}

FileListBox::PathError FileListBox::SetPath(const QString& folder)
{
    if (folder.isEmpty())
        return PathError::Missing;
    const QFileInfo info(folder);
    if (!info.exists())
        return PathError::Missing;
    if (!info.isDir())
        return PathError::NotAFolder;
    if (!QDir(folder).isReadable())
        return PathError::Unreadable;

    path_ = NativeFolderPath(folder);
    Refresh();
    Q_EMIT PathChange();
    return PathError::None;
}

void FileListBox::Refresh()
{
    entries_ = path_.isEmpty() ? QStringList() : ListMatchingFiles(path_, pattern_);
}
