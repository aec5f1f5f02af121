#include "WindowPlacement.h"

#include "gui/Window.h"

namespace pellium {

Placement placeTopLevel(const platform::ScreenMetrics& s, int x, int y, int width, int height) {
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
    int parentBottom = parent.y + parent.height;
    Placement p{parent.x + x, parentBottom - height - y, width, height};
    if (p.x < 0 || p.x + width > s.width) {
        if (anchorX == Window::farEdge)
            p.x = p.x < 0 ? 0 : s.width - width;
        else if (anchorX != Window::noAnchor)
            p.x = parent.x + anchorX;
    }
    if (p.y < 0 || p.y + height > s.height) {
        if (anchorY == Window::farEdge)
            p.y = p.y < 0 ? 0 : s.height - height;
        else if (anchorY != Window::noAnchor)
            p.y = parentBottom - height - anchorY;
    }
    return p;
}

Placement placeSubwindow(int parentHeight, int x, int y, int width, int height) {
    return {x, parentHeight - y - height, width, height};
}

}  // namespace pellium
