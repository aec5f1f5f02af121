// What the X server shows as the pointer's cursor right now, read through
// XFixes on a connection of the test's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct ScreenCursor {
    int width = 0, height = 0;
    int hotX = 0, hotY = 0;
    std::vector<uint32_t> argb;  // rows from the top

    uint32_t at(int x, int y) const { return argb[size_t(y) * size_t(width) + size_t(x)]; }

    // False when there is no display or it lacks XFixes.
    bool read();
};

// The colour a 32 x 32 AND/XOR cursor shows at (x, y): see-through, white or black.
inline uint32_t maskColour(const uint8_t* andMask, const uint8_t* xorMask, int x, int y) {
    const int byte = 4 * y + x / 8;
    const int bit = 0x80 >> (x % 8);
    if (andMask[byte] & bit)
        return 0;
    return (xorMask[byte] & bit) ? 0xFFFFFFFFu : 0xFF000000u;
}
