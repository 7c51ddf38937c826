#include "files/pastable_path.h"

#include <algorithm>

namespace files {
namespace {

bool IsUnpastable(char16_t c)
{
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    const bool separator = c == 0x2028 || c == 0x2029;
    const bool bidirectional = (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
    return control || separator || bidirectional;
}

} // namespace

bool ContainsUnpastableText(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return IsUnpastable(c.unicode()); });
}

} // namespace files
