#include "platform/picture_internal.h"

#ifdef _WIN32
#include <locale.h>

#include <clocale>
#include <string>
#else
#include <locale.h>
#endif

namespace pictures {

#ifdef _WIN32

CNumericLocale::CNumericLocale()
{
    previous_ = reinterpret_cast<void*>(
        static_cast<quintptr>(_configthreadlocale(_ENABLE_PER_THREAD_LOCALE)));
    const char* current = setlocale(LC_NUMERIC, nullptr);
    own_ = new std::string(current ? current : "C");
    setlocale(LC_NUMERIC, "C");
}

CNumericLocale::~CNumericLocale()
{
    auto* saved = static_cast<std::string*>(own_);
    setlocale(LC_NUMERIC, saved->c_str());
    delete saved;
    _configthreadlocale(static_cast<int>(reinterpret_cast<quintptr>(previous_)));
}

#else

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

#endif

} // namespace pictures
