#include "main_window/controls/file_list_box.h"

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

QString NativeFolderPath(const QString& folder)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
}

} // namespace

namespace {

bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The run of digits or of other characters that starts at `at`.
QStringView RunAt(QStringView text, qsizetype at)
{
    const bool digits = IsDigit(text[at]);
    qsizetype end = at + 1;
    while (end < text.size() && IsDigit(text[end]) == digits)
        ++end;
    return text.mid(at, end - at);
}

// Digit runs compare by value: fewer significant digits first, then digit by digit.
int CompareNumbers(QStringView a, QStringView b)
{
    auto significant = [](QStringView digits) {
        qsizetype zeros = 0;
        while (zeros + 1 < digits.size() && digits[zeros] == QLatin1Char('0'))
            ++zeros;
        return digits.mid(zeros);
    };
    const QStringView x = significant(a);
    const QStringView y = significant(b);
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    return x.compare(y);
}

} // namespace

bool NaturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const QStringView x = RunAt(a, i);
        const QStringView y = RunAt(b, j);
        const bool numbers = IsDigit(x[0]) && IsDigit(y[0]);
        const int order = numbers ? CompareNumbers(x, y) : x.compare(y, Qt::CaseInsensitive);
        if (order != 0)
            return order < 0;
        i += x.size();
        j += y.size();
    }
    if ((i < a.size()) != (j < b.size()))
        return j < b.size();
    // Names equal but for letter case or leading zeros still need a fixed order.
    return a < b;
}

QStringList ListMatchingFiles(const QString& folder, const QString& pattern)
{
    QDir dir(folder);
    dir.setNameFilters(NameFilters(pattern));
    dir.setFilter(QDir::Files | QDir::NoDotAndDotDot);
    dir.setSorting(QDir::Unsorted);
    QStringList names = dir.entryList();
    std::sort(names.begin(), names.end(), NaturalLess);
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
