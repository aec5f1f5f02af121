#include "tests/support/WindowManagerClaim.h"

#include <gtest/gtest.h>

#include <string>

// Last: Xlib's macros (None, Bool, Status) would break what follows them.
#include <X11/Xlib.h>

namespace support {

struct WindowManagerClaim::Connection {
    Display* display;
};

WindowManagerClaim::WindowManagerClaim() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        ADD_FAILURE() << "no display to claim";
        return;
    }
    const int screen = DefaultScreen(display);
    const Window holder = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 1, 1, 0, 0, 0);
    const std::string name = "WM_S" + std::to_string(screen);
    XSetSelectionOwner(display, XInternAtom(display, name.c_str(), False), holder, CurrentTime);
    XSync(display, False);
    connection_.reset(new Connection{display});
}

// Closing the connection gives the selection up.
WindowManagerClaim::~WindowManagerClaim() {
    if (connection_)
        XCloseDisplay(connection_->display);
}

}  // namespace support
