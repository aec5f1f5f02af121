// A window on the display driven by input the X server makes itself (XTest
// through xdotool), not injected: it comes through SDL and the window
// procedure as toolkit events. Shared by the tests that use it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "gui/EventQueue.h"
#include "gui/MessageDest.h"
#include "gui/PopupMenu.h"
#include "gui/Spacer.h"
#include "gui/Window.h"
#include "platform/Windows.h"
#include "tests/support/GuiTestSupport.h"

namespace guitest {

class RealInput : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "xdotool is not installed";
        window.setTitle("real input");
        openAt(window, 100, 100, 300, 200);
        platform::clientRect(window.getHWND(), left, top, width, height);
    }

    void xdotool(const std::string& args) { ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0) << args; }
    // Moves the real pointer to (x, y) of the client area, counted top-down.
    void moveTo(int x, int y, const std::string& then = "") {
        xdotool("mousemove " + std::to_string(left + x) + " " + std::to_string(top + y) + " " + then);
    }
    // Moves the real pointer to a point of another window, top-down in its client area.
    void moveOver(const pellium::Window& w, int x, int y, const std::string& then = "") {
        int l, t, wide, high;
        platform::clientRect(w.getHWND(), l, t, wide, high);
        xdotool("mousemove " + std::to_string(l + x) + " " + std::to_string(t + y) + " " + then);
    }

    // Passes of the loop, dispatching, until an event of the type arrives
    // (or the seconds pass); every event is kept.
    bool waitFor(int type, double seconds = 20) {
        double end = orvel::getTime() + seconds;
        pellium::Event e;
        while (orvel::getTime() < end) {
            pellium::getNextEvent(e, nullptr);
            if (e.type == pellium::EventType::None) {
                orvel::sleepMs(2);
                continue;
            }
            events.push_back(e);
            pellium::dispatchEvent(e);
            if (e.type == type)
                return true;
        }
        return false;
    }
    // Types F12, which nothing here answers, and passes the loop until its
    // key arrives: what the keys typed before it made has come by then. The
    // marker's own event is not kept.
    bool waitForMarker() {
        xdotool("key F12");
        while (waitFor(pellium::EventType::Key))
            if (events.back().code == pellium::Key::F12) {
                events.pop_back();
                return true;
            }
        return false;
    }
    // Passes of the loop until done() (or twenty seconds pass).
    bool waitUntil(const std::function<bool()>& done) {
        double end = orvel::getTime() + 20;
        while (!done() && orvel::getTime() < end) {
            dispatchAll();
            orvel::sleepMs(2);
        }
        return done();
    }

    // One jump of the pointer to the middle of a component, in whichever
    // window shows it, and a click of the button there (1 left, 3 right).
    void click(pellium::Component* c, int button = 1) {
        const pellium::Rect& r = c->getBounds();
        pellium::Window& w = *c->getWindow();
        moveOver(w, r.x + r.width / 2, w.getBounds().height - 1 - (r.y + r.height / 2),
                 "click " + std::to_string(button));
        ASSERT_TRUE(waitFor(button == 3 ? pellium::EventType::RightUp : pellium::EventType::LeftUp));
    }

    const pellium::Event* find(int type) const {
        for (const pellium::Event& e : events)
            if (e.type == type)
                return &e;
        return nullptr;
    }

    pellium::Window window;
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<pellium::Event> events;
};

// The ids of the messages received, in order.
struct MessageCount : pellium::MessageDest {
    void message(pellium::Component*, int id, int) override { ids.push_back(id); }
    std::vector<int> ids;
};

// A 300 x 200 area whose right press opens its menu there.
struct MenuOpener : pellium::Spacer {
    MenuOpener() : Spacer(300, 200) {}
    void handleEvent(const pellium::Event& e) override {
        if (e.type == pellium::EventType::RightDown)
            pellium::PopupMenu::popup(e, menu, nullptr);
    }
    pellium::PopupMenu* menu = nullptr;
};

}  // namespace guitest
