// A rectangle in window pixels: (x, y) is its bottom-left pixel, y grows upward.
// Its far edges are reckoned in 64 bits, so any int values compare and
// overlap correctly.
#pragma once

#include <climits>

namespace pellium {

// A coordinate or length reckoned in 64 bits, brought back into the int range.
inline int clampedInt(long long v) { return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int(v); }

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;

    // One past the right column and one past the top row.
    long long right() const { return (long long)(x) + width; }
    long long top() const { return (long long)(y) + height; }
    bool contains(int px, int py) const { return px >= x && py >= y && px < right() && py < top(); }
    bool operator==(const Rect& o) const { return x == o.x && y == o.y && width == o.width && height == o.height; }
    bool operator!=(const Rect& o) const { return !(*this == o); }
    Rect grow(int n) const { return {x - n, y - n, width + 2 * n, height + 2 * n}; }
};

inline bool intersects(const Rect& a, const Rect& b) {
    return a.x < b.right() && b.x < a.right() && a.y < b.top() && b.y < a.top();
}

// The overlap; all zero when there is none.
inline Rect intersection(const Rect& a, const Rect& b) {
    const int left = a.x > b.x ? a.x : b.x;
    const int bottom = a.y > b.y ? a.y : b.y;
    const long long right = a.right() < b.right() ? a.right() : b.right();
    const long long top = a.top() < b.top() ? a.top() : b.top();
    if (right <= left || top <= bottom)
        return {0, 0, 0, 0};
    return {left, bottom, int(right - left), int(top - bottom)};
}

}  // namespace pellium
