// Facts from the user's locale.
#pragma once

#include <string>

namespace platform {

// The three-letter abbreviation of the locale's country ("DEU"); empty when
// the locale names none.
std::string countryAbbreviation();

}  // namespace platform
