#include "main_window/controls/system_color.h"

namespace {

constexpr OleColor SystemColorFlag = 0x80000000;

QPalette::ColorRole RoleOfSystemColor(OleColor index)
{
    switch (index) {
    case SystemColor::ButtonFace & ~SystemColorFlag:
        return QPalette::Button;
    case SystemColor::ButtonText & ~SystemColorFlag:
        return QPalette::ButtonText;
    case SystemColor::Window & ~SystemColorFlag:
        return QPalette::Base;
    case SystemColor::WindowText & ~SystemColorFlag:
        return QPalette::Text;
    case SystemColor::Highlight & ~SystemColorFlag:
        return QPalette::Highlight;
    case SystemColor::HighlightText & ~SystemColorFlag:
        return QPalette::HighlightedText;
    default:
        return QPalette::WindowText;
    }
}

} // namespace

QColor ResolveColor(OleColor value, const QPalette& palette)
{
    if ((value & SystemColorFlag) != 0)
        return palette.color(RoleOfSystemColor(value & ~SystemColorFlag));
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}
