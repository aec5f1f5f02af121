// Decodes an SGI image file ("IRIS" .sgi, .rgb, .rgba, .bw) held in memory.
#pragma once

#include <cstddef>

#include "gui/gl/Image.h"

namespace modrane {

// Empties result, then decodes the file into it: verbatim or run-length
// data, 1 to 4 channels (grey, grey and alpha, RGB, RGBA) of 8 or 16 bits,
// a 16-bit sample kept as its top byte. Mode 4 with an alpha channel, else 3.
// A file that cannot be decoded gives no image and logs "SGI decode failed: "
// with the reason. True when an image was made.
bool loadSGI(pellium::Image& result, const unsigned char* data, size_t size);

}  // namespace modrane
