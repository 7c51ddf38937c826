#include "main_window/placement.h"

#include "common/ascii.h"
#include "common/rounding.h"

#include <QLocale>
#include <QStringList>

#include <cmath>

namespace {

bool IsSign(QChar c)
{
    return c == QLatin1Char('+') || c == QLatin1Char('-');
}

qsizetype SkipDigits(QStringView text, qsizetype at)
{
    while (at < text.size() && IsAsciiDigit(text[at]))
        ++at;
    return at;
}

// The length of the number at the start of `text`, 0 when there is none.
qsizetype NumberLength(QStringView text)
{
    qsizetype at = 0;
    if (at < text.size() && IsSign(text[at]))
        ++at;
    const qsizetype integerStart = at;
    at = SkipDigits(text, at);
    bool digits = at > integerStart;
    if (at < text.size() && text[at] == QLatin1Char('.')) {
        const qsizetype fractionEnd = SkipDigits(text, at + 1);
        if (fractionEnd > at + 1 || digits) {
            digits = digits || fractionEnd > at + 1;
            at = fractionEnd;
        }
    }
    if (!digits)
        return 0;
    if (at < text.size() && (text[at] == QLatin1Char('e') || text[at] == QLatin1Char('E'))) {
        qsizetype exponent = at + 1;
        if (exponent < text.size() && IsSign(text[exponent]))
            ++exponent;
        const qsizetype exponentEnd = SkipDigits(text, exponent);
        if (exponentEnd > exponent)
            at = exponentEnd;
    }
    return at;
}

} // namespace

std::optional<double> LeadingNumber(QStringView piece)
{
    const QStringView trimmed = piece.trimmed();
    const qsizetype length = NumberLength(trimmed);
    if (length == 0)
        return std::nullopt;
    // A number beyond the range of double reads as an infinity, one too close to zero as 0:
    // Qt reports both as failures, but they are numbers all the same.
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed.left(length), &ok);
    if (!ok && !std::isinf(value) && value != 0)
        return std::nullopt;
    return value;
}

std::optional<StoredPlacement> ParseWindowPosition(const QString& text)
{
    StoredPlacement placement;
    if (text.isEmpty())
        return placement;
    const QStringList pieces = text.split(QStringLiteral(", "));
    for (size_t i = 0; i < placement.size() && i < static_cast<size_t>(pieces.size()); ++i) {
        const QString& piece = pieces.at(static_cast<qsizetype>(i));
        if (piece.isEmpty())
            continue;
        const std::optional<std::int32_t> value = RoundToInt32(LeadingNumber(piece).value_or(0));
        if (!value)
            return std::nullopt;
        placement[i] = value;
    }
    return placement;
}

std::array<std::int32_t, 4> ApplyPlacement(const StoredPlacement& stored,
                                           const std::array<std::int32_t, 4>& current)
{
    std::array<std::int32_t, 4> result{};
    for (size_t i = 0; i < result.size(); ++i)
        result[i] = stored[i].value_or(current[i]);
    return result;
}

std::optional<QRect> HeldPlacement(const QRect& outer, QSize desktop)
{
    const auto held = [](int value) {
        return value >= -kWindowSystemLimit && value <= kWindowSystemLimit;
    };
    if (!held(outer.x()) || !held(outer.y()) || !held(outer.width()) || !held(outer.height()))
        return std::nullopt;
    return QRect(outer.topLeft(), outer.size().boundedTo(desktop));
}

std::optional<bool> ParseBoolean(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (NumberLength(trimmed) != trimmed.size() || trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok)
        return std::nullopt;
    return value != 0;
}

QString FormatSingle(float value)
{
    return QString::number(static_cast<double>(value), 'g', 7);
}

QString WithStoredPosition(const QString& stored, const QString& measured)
{
    const QString separator = QStringLiteral(", ");
    const QStringList storedPieces = stored.split(separator);
    QStringList pieces = measured.split(separator);
    for (qsizetype i = 0; i < 2 && i < pieces.size(); ++i)
        pieces[i] = stored.isEmpty() ? QString() : storedPieces.value(i);
    return pieces.join(separator);
}

QString FormatWindowPosition(const std::array<float, 4>& twips)
{
    QStringList pieces;
    for (const float value : twips)
        pieces.append(FormatSingle(value));
    return pieces.join(QStringLiteral(", "));
}
