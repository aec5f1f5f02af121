#include "StringCompare.h"

#include <cstring>

namespace orvel {

int compareCString(const char* a, const char* b) { return std::strcmp(a, b); }

int compareStrings(const orvel_string* a, const orvel_string* b) { return a->compare(*b); }

bool lessCString(const char* a, const char* b) { return std::strcmp(a, b) < 0; }

}  // namespace orvel
