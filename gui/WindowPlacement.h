// Where a window's client area goes on the screen, as pure arithmetic over the
// screen's metrics. Results are top-down screen pixels (a subwindow's are in
// its parent's client area); inputs are the toolkit's bottom-up coordinates.
#pragma once

#include "platform/Windows.h"

namespace pellium {

struct Placement {
    int x = 0, y = 0, width = 0, height = 0;
};

// No side longer than the screen's. x or y of -1 centres the window; a window
// at least as large as the screen both ways stands at (64, 64) with the
// screen size less 128.
Placement placeTopLevel(const platform::ScreenMetrics& screen, int x, int y, int width, int height);

// A popup stands at (x, y) from its parent's client area's bottom-left corner,
// no larger than the screen. When it would leave the screen it moves to its
// anchor on that axis (the far screen edge for Window::farEdge), and with an
// anchor it ends on the screen; without one it stays.
Placement placePopup(const platform::ScreenMetrics& screen, const Placement& parentClient, int x, int y, int width,
                     int height, int anchorX, int anchorY);

Placement placeSubwindow(int parentHeight, int x, int y, int width, int height);

}  // namespace pellium
