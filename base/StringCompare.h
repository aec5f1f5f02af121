// Comparisons of C strings and string pointers, for ordered containers.
#pragma once

#include "base/orvel_string.h"

namespace orvel {

// The C library's comparison: negative, 0 or positive.
int compareCString(const char* a, const char* b);
int compareStrings(const orvel_string* a, const orvel_string* b);
bool lessCString(const char* a, const char* b);

}  // namespace orvel
