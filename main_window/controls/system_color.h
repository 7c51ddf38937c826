#pragma once

#include <QColor>
#include <QPalette>

#include <cstdint>

// A 32-bit colour value: plain RGB as 0x00BBGGRR, or 0x80000000 plus the index of a
// system colour, resolved through the application palette when used.
using OleColor = std::uint32_t;

namespace SystemColor {
constexpr OleColor ButtonFace = 0x8000000F;
constexpr OleColor ButtonText = 0x80000012;
constexpr OleColor Window = 0x80000005;
constexpr OleColor WindowText = 0x80000008;
constexpr OleColor Highlight = 0x8000000D;
constexpr OleColor HighlightText = 0x8000000E;
} // namespace SystemColor

// The colour `value` stands for under `palette`. An unknown system colour index falls
// back to the palette's window text colour.
QColor ResolveColor(OleColor value, const QPalette& palette);
