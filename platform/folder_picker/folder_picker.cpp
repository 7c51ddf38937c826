#include "folder_picker/folder_picker.h"

#include <QRegularExpression>

#include <limits>
#include <optional>

namespace folder_picker {

namespace {

// A decimal integer, optionally signed, with blanks around it. Values beyond 32 bits
// saturate: such a number names no special folder either way.
std::optional<int> ReadDesignatorNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("\\A[ \\t]*([+-]?[0-9]+)[ \\t]*\\z"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QStringView digits = match.capturedView(1);
    bool inRange = false;
    const qlonglong value = digits.toLongLong(&inRange);
    if (!inRange)
        return digits.startsWith(u'-') ? std::numeric_limits<int>::min()
                                       : std::numeric_limits<int>::max();
    return int(qBound(qlonglong(std::numeric_limits<int>::min()), value,
                      qlonglong(std::numeric_limits<int>::max())));
}

} // namespace

FolderDesignator::FolderDesignator(const QString& text)
{
    if (text.isEmpty())
        return;
    if (const std::optional<int> number = ReadDesignatorNumber(text)) {
        kind_ = Kind::SpecialFolder;
        number_ = *number;
    } else {
        kind_ = Kind::Path;
        path_ = text;
    }
}

FolderDesignator::FolderDesignator(int number)
    : kind_(Kind::SpecialFolder)
    , number_(number)
{}

} // namespace folder_picker
