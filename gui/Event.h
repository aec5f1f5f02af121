// The toolkit's own input record. Positions count upward from the bottom-left
// pixel of the window's client area, as in OpenGL.
#pragma once

#include <cstdint>

namespace pellium {

class Window;

namespace EventType {
enum : std::int32_t {
    None = 0,          // the loop went idle
    Move = 10,
    Enter = 11,
    Leave = 12,
    DoubleClick = 13,  // a copy of the second left press
    Hover = 14,        // the pointer rested
    LeftDown = 20,
    LeftUp = 21,
    MiddleDown = 22,
    MiddleUp = 23,
    RightDown = 24,
    RightUp = 25,
    Wheel = 26,
    Key = 102,       // a key or a character
    Shortcut = 103,  // a key pressed with Alt
    Activate = 200,  // the application became active
    Deactivate = 201
};
}

// Key codes beyond the characters (Backspace 8, Tab 9, Enter 13, Escape 27
// and every printable character are their character codes).
namespace Key {
enum : std::int32_t {
    AltAlone = -1,  // Alt pressed and released with nothing between: opens a menu bar
    Left = 256,
    Right,
    Up,
    Down,
    Insert,
    Delete,
    Home,
    End,
    PageUp,
    PageDown,
    F1,  // F1 + n is F(n + 1)
    F10 = F1 + 9,
    F12 = F1 + 11,
    // Asked through isModifierDown only; no event carries them.
    LeftShift = 278,
    RightShift,
    LeftCtrl,
    RightCtrl
};
}

struct Event {
    std::int32_t type = EventType::None;
    Window* window = nullptr;
    double time = 0;  // seconds of the toolkit clock when made
    std::int32_t code = 0;
    std::int32_t shift = 0, ctrl = 0, alt = 0;
    std::int32_t x = -1, y = -1;  // -1 when the event has no position
    std::int32_t wheel = 0;       // 120 per notch, positive away from the user
    std::uint8_t left = 0, middle = 0, right = 0;

    Event() = default;
    // A new event: this type and window, made now.
    Event(std::int32_t type, Window* window);
};

// The clock that stamps events and times double clicks and hovers; tests
// install their own. Null puts the real one back.
using EventClock = double (*)();
void setEventClock(EventClock clock);
double eventTime();

}  // namespace pellium
