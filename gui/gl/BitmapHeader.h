// The 108-byte version-4 bitmap information header, as bitmap files and
// device-independent bitmaps carry it, for 32-bit pictures in our pixel order.
#pragma once

#include <cstdint>

namespace pellium {

struct BitmapV4Header {
    uint32_t size;
    int32_t width;
    int32_t height;  // positive: rows bottom-up
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t sizeImage;
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t clrUsed;
    uint32_t clrImportant;
    uint32_t redMask;
    uint32_t greenMask;
    uint32_t blueMask;
    uint32_t alphaMask;
    uint32_t csType;
    int32_t endpoints[9];
    uint32_t gammaRed;
    uint32_t gammaGreen;
    uint32_t gammaBlue;
};
static_assert(sizeof(BitmapV4Header) == 108, "the header is 108 bytes with no padding");

// A 32-bit, uncompressed, bottom-up header of that size, 1000 pixels per metre.
void makeBitmapHeader(BitmapV4Header& header, int width, int height);

}  // namespace pellium
