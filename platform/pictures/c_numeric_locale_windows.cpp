#include "pictures/picture_internal.h"

#include <locale.h>

#include <clocale>
#include <string>

namespace pictures {

// The C runtime of Windows has no uselocale(); a per-thread locale does the same.
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

} // namespace pictures
