// The order of the process-wide sets that share equal materials and equal
// textures: negative, 0 or positive. A set needs a strict weak order for
// every value a stream may give, so a float that is no number sorts above
// every number and level with any other such float.
#pragma once

#include <cmath>

namespace kessa {

template <class T>
int setOrder(const T& a, const T& b) {
    return a < b ? -1 : b < a ? 1 : 0;
}

inline int setOrder(float a, float b) {
    if (a < b)
        return -1;
    if (b < a)
        return 1;
    const bool aNone = std::isnan(a), bNone = std::isnan(b);
    return aNone == bNone ? 0 : aNone ? 1 : -1;
}

}  // namespace kessa
