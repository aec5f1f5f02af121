// A rectangle in window pixels: (x, y) is its bottom-left pixel, y grows upward.
#pragma once

namespace pellium {

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;

    bool contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
    bool operator==(const Rect& o) const { return x == o.x && y == o.y && width == o.width && height == o.height; }
    bool operator!=(const Rect& o) const { return !(*this == o); }
    Rect grow(int n) const { return {x - n, y - n, width + 2 * n, height + 2 * n}; }
};

inline bool intersects(const Rect& a, const Rect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// The overlap, measured on inclusive edges; all zero when there is none.
inline Rect intersection(const Rect& a, const Rect& b) {
    int left = a.x > b.x ? a.x : b.x;
    int bottom = a.y > b.y ? a.y : b.y;
    int right = a.x + a.width - 1 < b.x + b.width - 1 ? a.x + a.width - 1 : b.x + b.width - 1;
    int top = a.y + a.height - 1 < b.y + b.height - 1 ? a.y + a.height - 1 : b.y + b.height - 1;
    if (right < left || top < bottom)
        return {0, 0, 0, 0};
    return {left, bottom, right - left + 1, top - bottom + 1};
}

}  // namespace pellium
