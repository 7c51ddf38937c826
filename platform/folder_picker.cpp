#include "platform/folder_picker.h"

#include "platform/folder_item.h"
#include "platform/folder_picker_dialog.h"

#include <QPointer>
#include <QScopeGuard>

#include <limits>
#include <optional>

namespace basMosaq {

namespace {

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// A decimal integer, optionally signed, with blanks around it. Values beyond 32 bits
// saturate: such a number names no special folder either way.
std::optional<int> ReadDesignatorNumber(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    const bool negative = begin < end && text[begin] == u'-';
    if (begin < end && (text[begin] == u'-' || text[begin] == u'+'))
        ++begin;
    if (begin == end)
        return std::nullopt;

    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 magnitude = 0;
    for (qsizetype i = begin; i < end; ++i) {
        if (!IsAsciiDigit(text[i]))
            return std::nullopt;
        magnitude = qMin(magnitude * 10 + (text[i].unicode() - u'0'), limit);
    }
    const qint64 value = negative ? -magnitude : magnitude;
    return int(qBound(qint64(std::numeric_limits<int>::min()), value,
                      qint64(std::numeric_limits<int>::max())));
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

QString BrowseForFolder(QWidget* owner, const QString& title, const FolderDesignator& initialFolder,
                        const FolderDesignator& root)
{
    const FolderItem rootItem = RootItemFor(root);
    const FolderItem initialItem = InitialItemFor(initialFolder, rootItem);

    // The owner may be destroyed while the dialog runs and take the dialog with it.
    const QPointer<FolderPickerDialog> dialog =
        new FolderPickerDialog(owner, title, rootItem, &BrowseCallback, initialItem);
    const auto release = qScopeGuard([&dialog] { delete dialog.data(); });

    const int outcome = dialog->exec();
    if (dialog.isNull() || outcome != QDialog::Accepted)
        return {};
    return dialog->chosenPath();
}

int BrowseCallback(FolderPickerDialog& dialog, int message, qintptr /*messageData*/,
                   const FolderItem& callbackData)
{
    if (message == kBrowseInitialized)
        dialog.setSelection(callbackData);
    return 0;
}

} // namespace basMosaq
