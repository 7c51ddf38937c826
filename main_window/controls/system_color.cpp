#include "main_window/controls/system_color.h"

namespace {

constexpr OleColor kSystemColorFlag = 0x80000000;

QPalette::ColorRole RoleOfSystemColor(OleColor index)
{
    switch (index) {
    case SystemColor::kButtonFace & ~kSystemColorFlag:
        return QPalette::Button;
    case SystemColor::kButtonText & ~kSystemColorFlag:
        return QPalette::ButtonText;
    case SystemColor::kWindow & ~kSystemColorFlag:
        return QPalette::Base;
    case SystemColor::kWindowText & ~kSystemColorFlag:
        return QPalette::Text;
    case SystemColor::kHighlight & ~kSystemColorFlag:
        return QPalette::Highlight;
    case SystemColor::kHighlightText & ~kSystemColorFlag:
        return QPalette::HighlightedText;
    default:
        return QPalette::WindowText;
    }
}

} // namespace

QColor ResolveColor(OleColor value, const QPalette& palette)
{
    if ((value & kSystemColorFlag) != 0)
        return palette.color(RoleOfSystemColor(value & ~kSystemColorFlag));
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}
