// Decodes the first image of a GIF87a or GIF89a file held in memory.
#pragma once

#include <cstddef>

#include "gui/gl/Image.h"

namespace pellium {

// Empties result, then decodes the first image of the size bytes at data
// into it: the image descriptor's own width and height, rows bottom-up,
// mode 4 when the file names a transparent colour and 3 otherwise. Rows are
// kept in the order they arrive (the interlace flag is not read). A file that
// is not a GIF gives no image; a broken one gives none either and logs
// "GIF decode failed: " with the reason. True when an image was made.
bool loadGIF(Image& result, const unsigned char* data, size_t size);

}  // namespace pellium
