#include "WindowPlacement.h"

#include <algorithm>

#include "gui/Window.h"

namespace pellium {

namespace {

// A native window past the screen's size shows nothing more, and one much
// larger (past 16384 pixels with SDL) cannot be made at all.
int onScreen(int side, int screenSide) { return std::min(side, screenSide); }

}  // namespace

Placement placeTopLevel(const platform::ScreenMetrics& s, int x, int y, int width, int height) {
    width = onScreen(width, s.width);
    height = onScreen(height, s.height);
    Placement p{x, y, width, height};
    if (width >= s.width && height >= s.height) {
        p = {64, 64, s.width - 128, s.height - 128};
        return p;
    }
    // x and y place the outer rectangle, which adds the frame and caption
    // around the client area; y counts upward from the screen's bottom edge.
    int outerHeight = height + 2 * s.frameHeight + s.captionHeight;
    int left = x == -1 ? (s.width - 2 * s.frameWidth - width) / 2 : x;
    int bottom = y == -1 ? (s.height - 2 * s.frameHeight - s.captionHeight - height) / 2 : y;
    int top = s.height - bottom - outerHeight;
    p.x = left + s.frameWidth;
    p.y = top + s.frameHeight + s.captionHeight;
    return p;
}

Placement placePopup(const platform::ScreenMetrics& s, const Placement& parent, int x, int y, int width, int height,
                     int anchorX, int anchorY) {
    const int parentBottom = parent.y + parent.height;
    // The top-left corner where asked.
    Placement p{parent.x + x, parentBottom - height - y, onScreen(width, s.width), onScreen(height, s.height)};
    if ((p.x < 0 || p.x + p.width > s.width) && anchorX != Window::farEdge && anchorX != Window::noAnchor)
        p.x = parent.x + anchorX;
    if ((p.y < 0 || p.y + p.height > s.height) && anchorY != Window::farEdge && anchorY != Window::noAnchor)
        p.y = parentBottom - p.height - anchorY;
    // An anchored popup ends on the screen: the far-edge anchor is the edge
    // it crossed, and where even its anchor leaves it, the same.
    if (anchorX != Window::noAnchor)
        p.x = std::clamp(p.x, 0, s.width - p.width);
    if (anchorY != Window::noAnchor)
        p.y = std::clamp(p.y, 0, s.height - p.height);
    return p;
}

Placement placeSubwindow(int parentHeight, int x, int y, int width, int height) {
    return {x, parentHeight - y - height, width, height};
}

}  // namespace pellium
