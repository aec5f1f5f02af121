// Decodes a JPEG file held in memory, through libjpeg.
#pragma once

#include <cstddef>

#include "gui/gl/Image.h"

namespace modrane {

// Empties result, then decodes the file into it: baseline or progressive,
// greyscale or colour, always as an opaque picture of mode 3. A file libjpeg
// cannot decode gives no image and logs "JPEG decode failed: " with
// libjpeg's reason; damage it can pass over (data cut short, a bad marker)
// is logged once as "JPEG decode warning: " and the picture is kept.
// True when an image was made.
bool loadJPEG(pellium::Image& result, const unsigned char* data, size_t size);

}  // namespace modrane
