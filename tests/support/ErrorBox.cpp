#include "tests/support/ErrorBox.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/support/ChildProcess.h"

namespace support {

namespace {

// A top-level window of any client whose title (as UTF-8) is the one given; 0 when none.
Window windowTitled(Display* d, const std::string& title) {
    Window root, parent, *children = nullptr, found = 0;
    unsigned count = 0;
    Atom name = XInternAtom(d, "_NET_WM_NAME", False), utf8 = XInternAtom(d, "UTF8_STRING", False);
    XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count);
    for (unsigned i = 0; i < count && !found; ++i) {
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char* data = nullptr;
        XGetWindowProperty(d, children[i], name, 0, 256, False, utf8, &type, &format, &items, &after, &data);
        if (data && title == reinterpret_cast<const char*>(data))
            found = children[i];
        XFree(data);
    }
    XFree(children);
    return found;
}

// Windows of the child come and go while they are looked at: one that has
// gone is passed over, not a reason to end the test.
int ignoreError(Display*, XErrorEvent*) { return 0; }

}  // namespace

std::string pressButtonOfBox(const std::string& title, pid_t child) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        endNow(child);
        return "no display";
    }
    auto previousHandler = XSetErrorHandler(ignoreError);
    Window box = 0;
    bool message = false;
    int left = 0, top = 0, right = -1, bottom = -1;
    int code = -1;  // the child's exit code once it has ended
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         !(message && right > left) && (code = waitExit(child, 0)) < 0 && std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        XWindowAttributes a;
        if (!(box = windowTitled(d, title)) || !XGetWindowAttributes(d, box, &a) || a.map_state != IsViewable)
            continue;
        XImage* image = XGetImage(d, box, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
        message = false;
        left = top = 1 << 30, right = bottom = -1;
        for (int y = 0; image && y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) {
                if (XGetPixel(image, x, y) == XGetPixel(image, 0, 0))
                    continue;
                message |= y < a.height / 2;
                if (y >= a.height / 2)
                    left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
            }
        if (image)
            XDestroyImage(image);
    }
    std::string seen = std::string(box ? "window" : "no window") + (message ? " message" : "") + (right > left ? " button" : "");
    if (code < 0 && right > left && (code = waitExit(child, 0.1)) < 0) {
        seen += " waited";
        Window inner;
        XTranslateCoordinates(d, box, DefaultRootWindow(d), (left + right) / 2, (top + bottom) / 2, &left, &top, &inner);
        if (std::system(("xdotool mousemove " + std::to_string(left) + " " + std::to_string(top) + " click 1").c_str()) != 0)
            seen += " not clicked";
        code = waitExit(child, 60);
    }
    XCloseDisplay(d);
    XSetErrorHandler(previousHandler);
    if (code < 0) {
        endNow(child);  // the box must not wait for ever
        return seen + " not answered: ended at the deadline";
    }
    return seen + (code == 0 ? " answered" : " ended with code " + std::to_string(code));
}

}  // namespace support
