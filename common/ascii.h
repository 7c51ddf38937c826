#pragma once

#include <QChar>

// The digits 0 to 9 only: names and stored numbers are compared and read the same way
// whatever the user's language, and other scripts' digits are text like any other.
inline bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}
