#include "Locale.h"

#include <langinfo.h>
#include <locale.h>

namespace platform {

std::string countryAbbreviation() {
    // A locale object of its own leaves the process's locale as it was.
    locale_t user = newlocale(LC_ADDRESS_MASK, "", locale_t(0));
    if (!user)
        return std::string();
    const char* abbreviation = nl_langinfo_l(_NL_ADDRESS_COUNTRY_AB3, user);
    std::string result = abbreviation ? abbreviation : "";
    freelocale(user);
    return result;
}

}  // namespace platform
