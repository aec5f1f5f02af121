#include "tests/support/GuiTestSupport.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "base/Clock.h"
#include "gui/EventQueue.h"
#include "platform/MessageBox.h"
#include "platform/Windows.h"

namespace guitest {

namespace {

// Boxes must never wait for a person in a test.
class Environment : public ::testing::Environment {
public:
    void SetUp() override { platform::setMessageBoxRecording(true); }
};

::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new Environment);

double readClock() { return FakeClock::now; }

}  // namespace

double FakeClock::now = 0;

// Each clock starts well after where the last one stood, as a real clock
// would: what the queue remembers from an earlier test is then long past.
FakeClock::FakeClock() {
    now = std::max(now, 0.0) + 1000;
    pellium::setEventClock(readClock);
}

FakeClock::~FakeClock() { pellium::setEventClock(nullptr); }

void openAt(pellium::Window& window, int left, int bottom, int width, int height) {
    platform::ScreenMetrics screen = platform::screenMetrics();
    platform::moveCursor(screen.width - 1, screen.height - 1);
    window.setBounds({left, bottom, width, height});
    window.open();
    ASSERT_TRUE(window.isOpen());
    // Real focus arrives through SDL; a few passes take it in.
    pellium::Event e;
    for (int i = 0; i < 4000 && !pellium::isApplicationActive(); ++i) {
        while (pellium::getNextEvent(e, nullptr) && e.type != pellium::EventType::None)
            pellium::dispatchEvent(e);
        orvel::sleepMs(5);
    }
    ASSERT_TRUE(pellium::isApplicationActive()) << "the window never got the focus";
    dispatchAll();
}

void openPopup(pellium::Window& popup, bool shadow) {
    popup.setWindowType(pellium::Window::Popup);
    popup.setBounds({10, 10, 40, 30});
    if (shadow)
        popup.setShadow();
    popup.open();
}

namespace {

// Runs passes until two in a row are idle: a hover is made at the end of an
// idle pass and comes out of the next one.
std::vector<pellium::Event> run(bool dispatch) {
    std::vector<pellium::Event> events;
    pellium::Event e;
    int idle = 0;
    for (int i = 0; i < 10000 && idle < 2; ++i) {
        bool open = pellium::getNextEvent(e, nullptr);
        if (e.type == pellium::EventType::None) {
            ++idle;
        } else {
            idle = 0;
            events.push_back(e);
            if (dispatch)
                pellium::dispatchEvent(e);
        }
        if (!open)
            break;
    }
    return events;
}

}  // namespace

std::vector<pellium::Event> takeEvents() { return run(false); }

void dispatchAll() { run(true); }

std::vector<int> typesOf(const std::vector<pellium::Event>& events) {
    std::vector<int> types;
    for (const pellium::Event& e : events)
        types.push_back(e.type);
    return types;
}

platform::Message message(platform::MessageType type, const pellium::Window& window) {
    platform::Message m;
    m.type = type;
    m.window = window.getHWND();
    return m;
}

void mouse(platform::MessageType type, const pellium::Window& window, int x, int y, int buttons) {
    platform::Message m = message(type, window);
    m.x = x;
    m.y = y;
    m.buttons = std::uint8_t(buttons);
    platform::injectMessage(m);
}

void key(platform::MessageType type, const pellium::Window& window, int k, bool altContext) {
    platform::Message m = message(type, window);
    m.key = k;
    m.altContext = altContext;
    m.alt = altContext;
    platform::injectMessage(m);
}

void character(const pellium::Window& window, int c) {
    platform::Message m = message(platform::MessageType::Char, window);
    m.character = c;
    platform::injectMessage(m);
}

void activate(const pellium::Window& window, bool active) {
    platform::Message m = message(platform::MessageType::ActivateApp, window);
    m.activate = active;
    platform::injectMessage(m);
}

Screenshot::Screenshot(const pellium::Window& window) {
    // The display may lag behind the last drawing a little.
    platform::pumpMessages();
    EXPECT_TRUE(platform::captureWindow(window.getHWND(), pixels, width, height));
}

int Screenshot::count(std::uint32_t colour) const {
    int n = 0;
    for (std::uint32_t p : pixels)
        n += p == colour;
    return n;
}

void Pointer::move(int x, int y) {
    const pellium::Rect& b = window_.getBounds();
    const bool inside = x >= 0 && y >= 0 && x < b.width && y < b.height;
    if (inside && !inside_)
        post(platform::MessageType::MouseMove, x, y, held_);
    inside_ = inside;
    post(platform::MessageType::MouseMove, x, y, held_);
}

void Pointer::down(int x, int y) {
    held_ = 1;
    post(platform::MessageType::LeftButtonDown, x, y, 1);
}

void Pointer::up(int x, int y) {
    held_ = 0;
    post(platform::MessageType::LeftButtonUp, x, y, 0);
}

void Pointer::post(platform::MessageType type, int x, int y, int buttons) {
    mouse(type, window_, x, window_.getBounds().height - 1 - y, buttons);
    dispatchAll();
}

Recorder::Recorder(const char* label, pellium::Rect bounds) {
    setLabel(label, true);
    setBounds(bounds);
}

void Recorder::handleEvent(const pellium::Event& event) {
    events.push_back(event);
    log.push_back("event " + std::to_string(event.type));
    Component::handleEvent(event);
}

bool Recorder::wantsEvent(const pellium::Event& event) {
    log.push_back("wants " + std::to_string(event.type));
    if (takesWheel)
        events.push_back(event);
    return takesWheel;
}

void Recorder::handleKey(const pellium::Event& event) {
    events.push_back(event);
    log.push_back("key " + std::to_string(event.type) + " " + std::to_string(event.code));
    if (passKeysOn)
        Component::handleKey(event);
}

}  // namespace guitest
