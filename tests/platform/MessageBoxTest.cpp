// An error box as a person meets it: a window on the X display that shows the
// message and waits until its button is pressed with the real pointer.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <unistd.h>

#include "platform/MessageBox.h"
#include "platform/Windows.h"

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

// What the box shows: whether its upper half holds anything besides the
// background (the message), and the box of pixels in the lower half that
// differ from the background (the button), in screen coordinates.
struct BoxPicture {
    bool messageDrawn = false;
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;

    BoxPicture(Display* d, Window w) {
        XWindowAttributes a;
        if (!w || !XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable)
            return;
        XImage* image = XGetImage(d, w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
        if (!image)
            return;
        unsigned long background = XGetPixel(image, 0, 0);
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) {
                if (XGetPixel(image, x, y) == background)
                    continue;
                if (y < a.height / 2) {
                    messageDrawn = true;
                    continue;
                }
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        XDestroyImage(image);
        Window child;
        XTranslateCoordinates(d, w, DefaultRootWindow(d), left, top, &left, &top, &child);
        XTranslateCoordinates(d, w, DefaultRootWindow(d), right, bottom, &right, &bottom, &child);
    }
    bool buttonFound() const { return right > left && bottom > top; }
};

// What a person sees of the box before pressing its button.
struct Seen {
    bool window = false, message = false, button = false, answeredEarly = false;
};

// Waits for the box titled so, looks at it and clicks its button.
Seen pressButtonOfBox(const std::string& title, const std::atomic<bool>& answered) {
    Seen seen;
    Display* d = XOpenDisplay(nullptr);
    if (!d)
        return seen;
    Window box = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(box = windowTitled(d, title)) && !answered && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    seen.window = box != 0;
    // It is drawn in its own time: wait for the message and the button.
    BoxPicture shown(d, box);
    while (box && (!shown.messageDrawn || !shown.buttonFound()) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        shown = BoxPicture(d, box);
    }
    seen.message = shown.messageDrawn;
    seen.button = shown.buttonFound();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    seen.answeredEarly = answered;
    if (seen.button) {
        std::string click = "xdotool mousemove " + std::to_string((shown.left + shown.right) / 2) + " " +
                            std::to_string((shown.top + shown.bottom) / 2) + " click 1";
        seen.button = std::system(click.c_str()) == 0;
    }
    if (box && !seen.button)
        XKillClient(d, box);  // the box must not wait for ever
    XCloseDisplay(d);
    return seen;
}

}  // namespace

TEST(MessageBoxTest, ErrorBoxIsAWindowOnTheDisplayAndItsButtonAnswers) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xdotool is not installed";
    ASSERT_TRUE(platform::videoAvailable());
    platform::setMessageBoxRecording(false);
    const std::string title = "Kalvora box test " + std::to_string(getpid());
    std::atomic<bool> answered{false};
    std::future<Seen> person = std::async(std::launch::async, pressButtonOfBox, title, std::cref(answered));
    int answer = platform::messageBox("The world file is damaged.", title.c_str(), platform::MessageBoxIcon::Error);
    answered = true;
    Seen seen = person.get();
    EXPECT_TRUE(seen.window) << "no window titled \"" << title << "\" appeared";
    EXPECT_TRUE(seen.message);
    EXPECT_TRUE(seen.button);
    EXPECT_FALSE(seen.answeredEarly) << "the box waits for its button";
    EXPECT_EQ(answer, 1);
}
