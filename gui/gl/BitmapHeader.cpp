#include "gui/gl/BitmapHeader.h"

#include <cstring>

namespace pellium {

void makeBitmapHeader(BitmapV4Header& header, int width, int height) {
    std::memset(&header, 0, sizeof header);
    header.size = sizeof header;
    header.width = width;
    header.height = height;
    header.planes = 1;
    header.bitCount = 32;
    header.xPelsPerMeter = 1000;
    header.yPelsPerMeter = 1000;
    // Uncompressed, so readers take the pixel order from the bit count and
    // pass these masks over.
    header.redMask = 0x000000FF;
    header.greenMask = 0x0000FF00;
    header.blueMask = 0x00FF0000;
    header.alphaMask = 0xFF000000;
}

}  // namespace pellium
