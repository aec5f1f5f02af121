// Event and routing cases as scripted rows: each row moves the test clock on,
// injects one platform message into a window and says, as text, what must
// come out of the loop for it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "gui/Event.h"
#include "gui/Window.h"
#include "platform/Messages.h"
#include "tests/support/GuiTestSupport.h"

namespace guitest {

struct InputRow {
    double wait;  // seconds the test clock moves on before the message
    platform::MessageType type;
    // Client position, top-down as the platform layer gives it (mouse and
    // wheel messages).
    int x = 0, y = 0;
    // Buttons held (mouse), the key (KeyDown, KeyUp, SysKeyDown, SysKeyUp),
    // the character (Char), the wheel's turn (MouseWheel) or 1 for
    // activation (ActivateApp).
    int code = 0;
    const char* expect = "";
};

// Events as one text: "LeftDown 10,189; DoubleClick 10,189" (name, position
// when there is one, then code=, wheel= and +shift, +ctrl, +alt when set).
std::string describe(const std::vector<pellium::Event>& events);

// Plays the rows in order. Without observe the events are taken, not
// dispatched, and describe(events) must equal each row's expect; with it they
// are dispatched and observe() (say, what recorders noted) must equal it.
::testing::AssertionResult playInput(FakeClock& clock, const pellium::Window& window,
                                     std::initializer_list<InputRow> rows,
                                     const std::function<std::string()>& observe = nullptr);

}  // namespace guitest
