#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

// Conversions from the program's floating-point coordinates to integers: to the nearest
// integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4). std::nearbyint rounds this
// way in the default floating-point environment, which the program never changes.
inline double RoundHalfEven(double value)
{
    return std::nearbyint(value);
}

// The rounded value as a 32-bit integer, or nothing when it does not fit.
inline std::optional<std::int32_t> RoundToInt32(double value)
{
    const double rounded = RoundHalfEven(value);
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
          rounded <= std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

// The rounded value as an int, clamped to the int range (NaN gives 0). For geometry that
// can never leave the range in practice but must not be undefined if it did.
inline int RoundToInt(double value)
{
    const double rounded = RoundHalfEven(value);
    if (std::isnan(rounded))
        return 0;
    if (rounded <= std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (rounded >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(rounded);
}
