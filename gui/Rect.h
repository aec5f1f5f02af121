// A rectangle in window pixels: (x, y) is its bottom-left pixel, y grows upward.
#pragma once

namespace pellium {

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;

    bool contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
    bool operator==(const Rect& o) const { return x == o.x && y == o.y && width == o.width && height == o.height; }
    bool operator!=(const Rect& o) const { return !(*this == o); }
};

}  // namespace pellium
