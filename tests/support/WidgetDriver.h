// Widgets in an open window, driven by injected messages: the window keeps
// its children where the test put them (unless told to lay them out) and
// notes the keys that reach it; the fixture moves, presses, releases and
// types at window positions, bottom-up, and collects the messages sent.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "gui/Event.h"
#include "gui/MessageDest.h"
#include "gui/Window.h"
#include "platform/TestFontBackend.h"
#include "tests/support/GuiTestSupport.h"

namespace guitest {

// The test font of the widget tests: 7 wide, ascent 11, descent 3; glyphs
// fill x .. x+5 and the 11 rows above the baseline.
inline platform::TestFontBackend::Metrics sevenWide() {
    platform::TestFontBackend::Metrics m;
    m.width = m.averageWidth = 7;
    m.ascent = 11;
    m.descent = 3;
    return m;
}

// The messages received, as (id, detail) pairs.
struct MessageLog : pellium::MessageDest {
    void message(pellium::Component*, int id, int detail) override { got.push_back({id, detail}); }
    std::vector<std::pair<int, int>> got;
};
using Pairs = std::vector<std::pair<int, int>>;

class WidgetWindow : public pellium::Window {
public:
    void layout() override {
        if (laysOut)
            Window::layout();
    }
    void handleKey(const pellium::Event& e) override {
        keys.push_back(e.code);
        Window::handleKey(e);
    }
    bool laysOut = false;
    std::vector<int> keys;
};

// Opens the window (300 x 200 at (100, 100) of the screen) with the pointer in it.
class WidgetDriveTest : public ::testing::Test {
protected:
    void SetUp() override {
        openAt(window, 100, 100, 300, 200);
        move(295, 195);  // the pointer enters the window: no event yet
    }
    // Window positions, bottom-up.
    void move(int x, int y) { pointer.move(x, y); }
    void down(int x, int y) { pointer.down(x, y); }
    void up(int x, int y) { pointer.up(x, y); }
    void click(int x, int y) {
        clock.advance(1);
        move(x, y);
        down(x, y);
        up(x, y);
    }
    void type(std::initializer_list<int> characters) {
        for (int c : characters)
            character(window, c);
        dispatchAll();
    }
    template <class T>
    T* place(T* widget, pellium::Rect r, int id) {
        widget->setBounds(r);
        widget->setMessageDest(&messages, id);
        window.add(widget);
        return widget;
    }

    FakeClock clock;
    WidgetWindow window;
    MessageLog messages;
    Pointer pointer{window};
};

}  // namespace guitest
