#pragma once

#include <QColor>
#include <QPalette>

#include <cstdint>

// A 32-bit color value: plain RGB as 0x00BBGGRR, or 0x80000000 plus the index of a
// system color, resolved through the application palette when used.
using OleColor = std::uint32_t;

// The system colors the window uses.
struct SystemColor
{
    static constexpr OleColor kButtonFace = 0x8000000F;
    static constexpr OleColor kButtonText = 0x80000012;
    static constexpr OleColor kWindow = 0x80000005;
    static constexpr OleColor kWindowText = 0x80000008;
    static constexpr OleColor kHighlight = 0x8000000D;
    static constexpr OleColor kHighlightText = 0x8000000E;
};

// The color `value` stands for under `palette`. An unknown system color index falls
// back to the palette's window text color.
QColor ResolveColor(OleColor value, const QPalette& palette);
