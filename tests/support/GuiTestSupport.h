// Shared by the toolkit's tests: a clock the test drives, windows opened at a
// known place, and messages injected through the platform layer's own dispatch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gui/Component.h"
#include "gui/Event.h"
#include "gui/Window.h"
#include "platform/Messages.h"

namespace guitest {

// Stamps events with a time the test sets.
class FakeClock {
public:
    FakeClock();
    ~FakeClock();
    void set(double seconds) { now = seconds; }
    void advance(double seconds) { now += seconds; }
    static double now;
};

// Opens a top-level window whose client area's bottom-left corner stands at
// (left, bottom) of the screen, counted upward, and waits until the
// application is active. The real pointer is parked in the far corner first.
void openAt(pellium::Window& window, int left, int bottom, int width, int height);

// Opens a 40 x 30 popup of its parent at (10, 10), with a shadow if asked.
void openPopup(pellium::Window& popup, bool shadow = false);

// Passes of the loop until one goes idle; the events, not dispatched.
std::vector<pellium::Event> takeEvents();
// Passes of the loop, dispatching, until one goes idle.
void dispatchAll();
// The types of a list of events.
std::vector<int> typesOf(const std::vector<pellium::Event>& events);

platform::Message message(platform::MessageType type, const pellium::Window& window);
// Client positions here are top-down, as the platform layer gives them.
void mouse(platform::MessageType type, const pellium::Window& window, int x, int y, int buttons = 0);
void key(platform::MessageType type, const pellium::Window& window, int key, bool altContext = false);
void character(const pellium::Window& window, int c);
void activate(const pellium::Window& window, bool active);

// The window as the display shows it, one pixel at a time in toolkit
// coordinates (bottom-up).
class Screenshot {
public:
    explicit Screenshot(const pellium::Window& window);
    std::uint32_t at(int x, int y) const { return pixels[size_t(height - 1 - y) * size_t(width) + size_t(x)]; }
    int count(std::uint32_t colour) const;
    std::vector<std::uint32_t> pixels;
    int width = 0, height = 0;
};

// Drives the pointer over an open window with injected messages, at window
// positions counted bottom-up, the left button held from down to up; each
// step runs the loop until it goes idle. A move into the window from outside
// (or the first one) only enters it and makes no move event, so that one is
// sent twice.
class Pointer {
public:
    explicit Pointer(pellium::Window& window) : window_(window) {}
    void move(int x, int y);
    void down(int x, int y);
    void up(int x, int y);

private:
    void post(platform::MessageType type, int x, int y, int buttons);

    pellium::Window& window_;
    int held_ = 0;
    bool inside_ = false;
};

// A component that notes every call the toolkit makes on it.
class Recorder : public pellium::Component {
public:
    explicit Recorder(const char* label = "recorder", pellium::Rect bounds = {0, 0, 1, 1});
    void handleEvent(const pellium::Event& event) override;
    bool wantsEvent(const pellium::Event& event) override;
    void handleKey(const pellium::Event& event) override;
    void focusGained() override { log.push_back("gained"); }
    void focusLost() override { log.push_back("lost"); }

    std::vector<pellium::Event> events;
    std::vector<std::string> log;
    bool takesWheel = false;
    bool passKeysOn = false;  // hand keys on to the base behaviour
};

}  // namespace guitest
