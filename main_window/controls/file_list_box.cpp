#include "main_window/controls/file_list_box.h"

#include "common/ascii.h"
#include "files/folder_files.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString NativeFolderPath(const QString& folder)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
}

// The run of digits or of other characters that starts at `at`.
QStringView RunAt(QStringView text, qsizetype at)
{
    const bool digits = IsAsciiDigit(text[at]);
    qsizetype end = at + 1;
    while (end < text.size() && IsAsciiDigit(text[end]) == digits)
        ++end;
    return text.mid(at, end - at);
}

// A key whose plain comparison puts names in natural order: letters case-folded, and each
// run of digits as a mark, its count of significant digits, then those digits, so that
// numbers compare by value and before any letter.
QString NaturalSortKey(QStringView name)
{
    QString key;
    key.reserve(name.size() + 8);
    for (qsizetype at = 0; at < name.size();) {
        const QStringView run = RunAt(name, at);
        at += run.size();
        if (!IsAsciiDigit(run[0])) {
            for (const QChar c : run)
                key += c.isSurrogate() ? c : c.toCaseFolded();
            continue;
        }
        qsizetype zeros = 0;
        while (zeros + 1 < run.size() && run[zeros] == QLatin1Char('0'))
            ++zeros;
        const QStringView significant = run.mid(zeros);
        key += QChar(u'\x01');
        key += QChar(static_cast<char16_t>(std::min<qsizetype>(significant.size(), 0xFFFF)));
        key += significant;
    }
    return key;
}

// Tells whether a file name matches one of the ";"-separated wildcards, without regard to
// letter case. Wildcards of the usual form "*.ext" compare the suffix directly.
class NameMatcher
{
public:
    explicit NameMatcher(const QString& pattern)
    {
        for (QString filter : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            filter = filter.trimmed();
            const QString rest = filter.mid(1);
            if (filter.startsWith(QLatin1Char('*')) && !rest.contains(QLatin1Char('*')) &&
                !rest.contains(QLatin1Char('?')) && !rest.contains(QLatin1Char('[')))
                suffixes_.append(rest.toCaseFolded());
            else
                expressions_.append(QRegularExpression::fromWildcard(filter, Qt::CaseInsensitive));
        }
    }

    bool Matches(const QString& name) const
    {
        for (const QString& suffix : suffixes_) {
            if (name.endsWith(suffix, Qt::CaseInsensitive))
                return true;
        }
        return std::any_of(expressions_.begin(), expressions_.end(), [&](const auto& expression) {
            return expression.match(name).hasMatch();
        });
    }

private:
    QStringList suffixes_;
    QList<QRegularExpression> expressions_;
};

} // namespace

bool NaturalLess(const QString& a, const QString& b)
{
    const QString x = NaturalSortKey(a);
    const QString y = NaturalSortKey(b);
    // Names equal but for letter case or leading zeros still need a fixed order.
    return x != y ? x < y : a < b;
}

QStringList ListMatchingFiles(const QString& folder, const QString& pattern)
{
    const NameMatcher matcher(pattern);
    std::vector<std::pair<QString, QString>> entries; // sort key, name
    for (QString& name : files::ListFolderFiles(folder)) {
        if (matcher.Matches(name))
            entries.emplace_back(NaturalSortKey(name), std::move(name));
    }
    std::sort(entries.begin(), entries.end());
    QStringList names;
    names.reserve(static_cast<qsizetype>(entries.size()));
    for (auto& entry : entries)
        names.append(std::move(entry.second));
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
