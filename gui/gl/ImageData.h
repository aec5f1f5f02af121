// The pixel data that every Image handle sharing it refers to.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Refcountable.h"
#include "gui/gl/Image.h"

namespace pellium {

struct ImageData : orvel::Refcountable {
    ImageData(int w, int h) : pixels(size_t(w) * size_t(h), 0u), width(w), height(h) {}

    bool modified = true;
    // 0xAARRGGBB words (bytes blue, green, red, alpha in memory), bottom row first.
    std::vector<uint32_t> pixels;
    // Colour components the texture upload takes: 3 opaque, 4 with alpha.
    int mode = 4;
    int width;
    int height;
    // Where drawing puts the picture's origin relative to the point asked for.
    int hotSpotX = 0;
    int hotSpotY = 0;
    // A picture made from this one (the disabled look); stale once pixels change.
    Image derived;
    // For GDI drawing: all ones where the pixel is see-through, else zero.
    std::vector<uint32_t> transparencyMask;
};

}  // namespace pellium
