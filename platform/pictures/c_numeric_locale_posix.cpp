#include "pictures/picture_internal.h"

#include <locale.h>

namespace pictures {

CNumericLocale::CNumericLocale()
{
    own_ = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (own_)
        previous_ = uselocale(static_cast<locale_t>(own_));
}

CNumericLocale::~CNumericLocale()
{
    if (!own_)
        return;
    uselocale(static_cast<locale_t>(previous_));
    freelocale(static_cast<locale_t>(own_));
}

} // namespace pictures
