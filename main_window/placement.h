#pragma once

#include <QRect>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>

// The window's stored placement: Left, Top, Width and Height of its outer frame in twips,
// written as four numbers joined by ", ". A piece left empty keeps the current value.
using StoredPlacement = std::array<std::optional<std::int32_t>, 4>;

// The number at the start of `piece` once blanks around it are removed: a sign, digits, a
// "." with decimals and an exponent, whatever the locale. Nothing when it does not start
// with a number.
std::optional<double> LeadingNumber(QStringView piece);

// Splits the stored text at every ", " and reads its first four pieces. A piece that is
// not a number reads as 0. Nothing when a number does not fit 32 bits: such a value is
// treated as if none were stored.
std::optional<StoredPlacement> ParseWindowPosition(const QString& text);

// The largest coordinate and size the window system holds, in pixels: X11's are 16-bit.
inline constexpr int kWindowSystemLimit = 32767;

// The outer placement `outer`, in pixels, as the window system can hold it: nothing when a
// coordinate or size lies beyond what it holds (such a value is treated as if none were
// stored, like one beyond 32 bits); a size larger than the `desktop` is bounded to it, as
// no window needs more pixels than all the screens have.
std::optional<QRect> HeldPlacement(const QRect& outer, QSize desktop);

// The stored placement applied over the current one.
std::array<std::int32_t, 4> ApplyPlacement(const StoredPlacement& stored,
                                           const std::array<std::int32_t, 4>& current);

// "True" or "False" in any letter case, or a number (zero is false). Nothing otherwise.
std::optional<bool> ParseBoolean(const QString& text);

// A single-precision number as text: the shortest form with at most 7 significant
// digits, no grouping, whole numbers without decimals.
QString FormatSingle(float value);

// Left, Top, Width and Height joined by ", ".
QString FormatWindowPosition(const std::array<float, 4>& twips);

// `measured` with its Left and Top pieces as they stand in `stored`: for window systems
// that tell no program where its window is. A piece `stored` lacks is left empty, which
// keeps the window's own value when it is read back.
QString WithStoredPosition(const QString& stored, const QString& measured);
