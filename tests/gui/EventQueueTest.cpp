#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <utility>

#include "gui/Application.h"
#include "gui/EventQueue.h"
#include "gui/Idler.h"
#include "gui/Updatable.h"
#include "gui/Window.h"
#include "platform/Windows.h"
#include "tests/support/LogCapture.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/InputScript.h"

using namespace guitest;
using pellium::Event;
using pellium::Window;
namespace EventType = pellium::EventType;
using platform::MessageType;

namespace {

class EventQueueTest : public ::testing::Test {
protected:
    void SetUp() override { openAt(window, 20, 20, 300, 200); }

    // Top-down client y for a bottom-up one in the 200-pixel-high window.
    static int down(int y) { return 199 - y; }

    void press(int x, int y) { mouse(MessageType::LeftButtonDown, window, x, down(y), 1); }

    FakeClock clock;
    Window window;
};

class CountingIdler : public pellium::Idler {
public:
    void idle() override { ++count; }
    int count = 0;
};

class ScriptedUpdatable : public pellium::Updatable {
public:
    ScriptedUpdatable(std::vector<std::string>& log, const char* name) : log(log), name(name) {}
    bool update() override {
        log.push_back(name);
        if (onUpdate)
            onUpdate();
        return busy;
    }
    std::vector<std::string>& log;
    std::string name;
    bool busy = false;
    std::function<void()> onUpdate;
};

// An event's type, code, shift, ctrl, alt, x, y, wheel, left, middle and right.
std::vector<int> fieldsOf(const Event& e) {
    return {e.type, e.code, e.shift, e.ctrl, e.alt, e.x, e.y, e.wheel, e.left, e.middle, e.right};
}

}  // namespace

TEST_F(EventQueueTest, EventsTakeTheClockAndTheMessagesFields) {
    clock.set(7.25);
    Event fresh(EventType::Key, &window);
    EXPECT_EQ(fresh.window, &window);
    EXPECT_EQ(fresh.time, 7.25);
    EXPECT_EQ(fieldsOf(fresh), (std::vector<int>{EventType::Key, 0, 0, 0, 0, -1, -1, 0, 0, 0, 0}));

    platform::Message m = message(MessageType::RightButtonDown, window);
    m.x = 30;
    m.y = 40;
    m.buttons = 4 | 1;
    m.shift = true;
    m.alt = true;
    platform::injectMessage(m);
    auto events = takeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].window, &window);
    EXPECT_EQ(events[0].time, 7.25);
    EXPECT_EQ(fieldsOf(events[0]), (std::vector<int>{EventType::RightDown, 0, 1, 0, 1, 30, 159, 0, 1, 0, 1}));
}

TEST_F(EventQueueTest, PositionsAreFlippedToCountUpwardFromTheBottomRow) {
    mouse(MessageType::LeftButtonDown, window, 0, 0);
    mouse(MessageType::LeftButtonUp, window, 0, 199);
    // While a button is held the pointer may leave: 5 above, 10 to the left.
    mouse(MessageType::MiddleButtonDown, window, -10, -5);
    auto events = takeEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].y, 199);
    EXPECT_EQ(events[1].y, 0);
    EXPECT_EQ(events[2].x, -10);
    EXPECT_EQ(events[2].y, 204);
    EXPECT_EQ(window.lastPointerX(), -10);
    EXPECT_EQ(window.lastPointerY(), 204);
}

TEST_F(EventQueueTest, DoubleClickFollowsTheSecondPressAndNeverAThird) {
    press(10, 10);
    EXPECT_EQ(typesOf(takeEvents()), (std::vector<int>{EventType::LeftDown}));
    clock.advance(0.2);
    press(11, 11);
    auto events = takeEvents();
    ASSERT_EQ(typesOf(events), (std::vector<int>{EventType::LeftDown, EventType::DoubleClick}));
    EXPECT_EQ(events[1].x, 11);
    EXPECT_EQ(events[1].y, 11);
    EXPECT_EQ(events[1].time, events[0].time);
    clock.advance(0.1);
    press(11, 11);
    EXPECT_EQ(typesOf(takeEvents()), (std::vector<int>{EventType::LeftDown}));
    // After a slow press the test is armed again.
    clock.advance(2);
    press(11, 11);
    clock.advance(0.1);
    press(11, 11);
    EXPECT_EQ(typesOf(takeEvents()), (std::vector<int>{EventType::LeftDown, EventType::LeftDown, EventType::DoubleClick}));
}

TEST_F(EventQueueTest, DoubleClickNeedsCloseQuickPressesAwayFromTheLeftColumnAndBottomRow) {
    const MessageType left = MessageType::LeftButtonDown;
    EXPECT_TRUE(playInput(clock, window,
                          {
                              {5, left, 10, down(10), 1, "LeftDown 10,10"},
                              // Squared distance 8.
                              {0.1, left, 12, down(12), 1, "LeftDown 12,12; DoubleClick 12,12"},
                              {5, left, 10, down(10), 1, "LeftDown 10,10"},
                              {0.1, left, 13, down(10), 1, "LeftDown 13,10"},  // squared distance 9
                              {5, left, 10, down(10), 1, "LeftDown 10,10"},
                              {0.6, left, 10, down(10), 1, "LeftDown 10,10"},  // too slow
                              {5, left, 0, down(10), 1, "LeftDown 0,10"},
                              {0.1, left, 0, down(10), 1, "LeftDown 0,10"},  // the left column
                              {5, left, 10, down(0), 1, "LeftDown 10,0"},
                              {0.1, left, 10, down(0), 1, "LeftDown 10,0"},  // the bottom row
                          }));
}

TEST_F(EventQueueTest, HoverAfterTheRestAndNotAfterAStall) {
    mouse(MessageType::MouseMove, window, 5, down(5));
    mouse(MessageType::MouseMove, window, 6, down(5));  // the move that counts; the first made the enter
    auto events = takeEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().type, EventType::Move);
    clock.advance(0.5);
    EXPECT_TRUE(takeEvents().empty());
    clock.advance(0.2);
    events = takeEvents();
    ASSERT_EQ(typesOf(events), (std::vector<int>{EventType::Hover}));
    EXPECT_EQ(events[0].x, 6);
    EXPECT_EQ(events[0].y, 5);
    EXPECT_EQ(events[0].window, &window);
    clock.advance(0.5);
    EXPECT_TRUE(takeEvents().empty()) << "one hover per rest";

    mouse(MessageType::MouseMove, window, 7, down(5));
    takeEvents();
    clock.advance(2.0);
    EXPECT_TRUE(takeEvents().empty()) << "a stalled loop makes no late hover";
}

TEST_F(EventQueueTest, LeavingClearsTheHoverCandidate) {
    mouse(MessageType::MouseMove, window, 5, down(5));
    mouse(MessageType::MouseMove, window, 6, down(5));
    takeEvents();
    // Far outside every window: tracking sees the pointer leave.
    mouse(MessageType::MouseMove, window, 5000, 5000);
    EXPECT_EQ(typesOf(takeEvents()), (std::vector<int>{EventType::Leave}));
    clock.advance(0.7);
    EXPECT_TRUE(takeEvents().empty());
}

TEST_F(EventQueueTest, PointerEnteringMakesEnterThenMovesOnlyWhenThePositionChanges) {
    mouse(MessageType::MouseMove, window, 50, 50);
    EXPECT_EQ(typesOf(takeEvents()), (std::vector<int>{EventType::Enter}));
    mouse(MessageType::MouseMove, window, 51, 50);
    mouse(MessageType::MouseMove, window, 51, 50);
    auto events = takeEvents();
    ASSERT_EQ(typesOf(events), (std::vector<int>{EventType::Move}));
    EXPECT_EQ(events[0].x, 51);
    EXPECT_EQ(events[0].y, 149);
    EXPECT_EQ(platform::capture(), window.getHWND());
}

TEST_F(EventQueueTest, KeysWithACharacterMakeOneEventEachWithTheMessagesModifiers) {
    const std::pair<int, int> presses[] = {{platform::KeyTab, 9},       {'A', 'a'},
                                           {platform::KeyEnter, 13},    {platform::KeyBackspace, 8},
                                           {platform::KeyEscape, 27}};
    for (auto [k, c] : presses) {
        key(MessageType::KeyDown, window, k);
        character(window, c);
    }
    key(MessageType::KeyUp, window, platform::KeyEscape);
    // The modifiers come from the message.
    platform::Message m = message(MessageType::Char, window);
    m.character = 3;
    m.ctrl = true;
    platform::injectMessage(m);
    auto events = takeEvents();
    ASSERT_EQ(events.size(), 6u);
    int codes[] = {9, 97, 13, 8, 27, 3};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(events[i].type, EventType::Key);
        EXPECT_EQ(events[i].code, codes[i]);
        EXPECT_EQ(events[i].x, -1);
        EXPECT_EQ(events[i].ctrl, i == 5);
        EXPECT_EQ(events[i].shift, 0);
    }
}

TEST_F(EventQueueTest, SpecialKeyCodesAndF10WithoutAlt) {
    struct {
        int key, code;
    } table[] = {{platform::KeyLeft, 256},   {platform::KeyRight, 257},  {platform::KeyUp, 258},
                 {platform::KeyDown, 259},   {platform::KeyInsert, 260}, {platform::KeyDelete, 261},
                 {platform::KeyHome, 262},   {platform::KeyEnd, 263},    {platform::KeyPageUp, 264},
                 {platform::KeyPageDown, 265}, {platform::KeyF1, 266},   {platform::KeyF12, 277}};
    for (auto& k : table)
        key(MessageType::KeyDown, window, k.key);
    // Keys outside the table wait for their character.
    key(MessageType::KeyDown, window, platform::KeyShift);
    key(MessageType::KeyDown, window, platform::KeyOther);
    // F10 comes as a system key, but without Alt it is a plain key.
    key(MessageType::SysKeyDown, window, platform::KeyF1 + 9, false);
    auto events = takeEvents();
    ASSERT_EQ(events.size(), 13u);
    for (size_t i = 0; i < 12; ++i)
        EXPECT_EQ(events[i].code, table[i].code);
    EXPECT_EQ(events[12].type, EventType::Key);
    EXPECT_EQ(events[12].code, 275);
}

TEST_F(EventQueueTest, AltShortcutsAndAltAlone) {
    LogCapture log;
    key(MessageType::SysKeyDown, window, platform::KeyAlt, true);
    key(MessageType::SysKeyDown, window, 'F', true);
    key(MessageType::SysKeyDown, window, '7', true);
    key(MessageType::SysKeyDown, window, platform::KeyF1 + 3, true);
    key(MessageType::SysKeyDown, window, platform::KeyF1 + 11, true);
    key(MessageType::SysKeyDown, window, platform::KeyOther, true);
    key(MessageType::SysKeyUp, window, platform::KeyAlt, true);
    auto events = takeEvents();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].type, EventType::Shortcut);
    EXPECT_EQ(events[0].code, 'f');
    EXPECT_EQ(events[0].alt, 1);
    EXPECT_EQ(events[1].code, '7');
    EXPECT_EQ(events[2].code, 269);
    EXPECT_EQ(events[3].code, 277);
    EXPECT_EQ(log.text(), "Alt-F\n");

    // Pressed and released alone: one key event with code -1 and no modifiers.
    key(MessageType::SysKeyDown, window, platform::KeyAlt, true);
    key(MessageType::SysKeyUp, window, platform::KeyAlt, true);
    events = takeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, EventType::Key);
    EXPECT_EQ(events[0].code, -1);
    EXPECT_EQ(events[0].shift + events[0].ctrl + events[0].alt, 0);

    // Alt+Space belongs to the system and does not spoil Alt alone.
    key(MessageType::SysKeyDown, window, platform::KeyAlt, true);
    key(MessageType::SysKeyDown, window, platform::KeySpace, true);
    key(MessageType::SysKeyUp, window, platform::KeyAlt, true);
    EXPECT_EQ(typesOf(takeEvents()), (std::vector<int>{EventType::Key}));
}

TEST_F(EventQueueTest, WheelAtTheLastPointerPosition) {
    const MessageType wheel = MessageType::MouseWheel;
    EXPECT_TRUE(playInput(clock, window,
                          {
                              {0, MessageType::LeftButtonDown, 40, down(30), 0, "LeftDown 40,30"},
                              {0, wheel, 0, 0, 0, ""},
                              // The wheel's own position is not used.
                              {0, wheel, 999, 0, 120, "Wheel 40,30 wheel=120"},
                              {0, wheel, 999, 0, -240, "Wheel 40,30 wheel=-240"},
                          }));
}

TEST_F(EventQueueTest, ModifierKeysFollowKeyMessages) {
    EXPECT_FALSE(pellium::isModifierDown(pellium::Key::LeftShift));
    key(MessageType::KeyDown, window, platform::KeyLeftShift);
    key(MessageType::KeyDown, window, platform::KeyRightControl);
    EXPECT_TRUE(pellium::isModifierDown(pellium::Key::LeftShift));
    EXPECT_FALSE(pellium::isModifierDown(pellium::Key::RightShift));
    EXPECT_FALSE(pellium::isModifierDown(pellium::Key::LeftCtrl));
    EXPECT_TRUE(pellium::isModifierDown(pellium::Key::RightCtrl));
    EXPECT_FALSE(pellium::isModifierDown('a'));
    EXPECT_FALSE(pellium::isModifierDown(282));
    key(MessageType::KeyUp, window, platform::KeyLeftShift);
    EXPECT_FALSE(pellium::isModifierDown(pellium::Key::LeftShift));
    EXPECT_TRUE(platform::isKeyDown(platform::KeyControl));
    // Left down, it would hold Control for the real keys of later tests.
    key(MessageType::KeyUp, window, platform::KeyRightControl);
    EXPECT_FALSE(platform::isKeyDown(platform::KeyControl));
}

TEST_F(EventQueueTest, InactiveApplicationDropsInputUntilActivatedAgain) {
    Recorder* r = new Recorder("r", {0, 0, 300, 200});
    window.add(r);
    activate(window, false);
    auto events = takeEvents();
    ASSERT_EQ(typesOf(events), (std::vector<int>{EventType::Deactivate}));
    pellium::dispatchEvent(events[0]);
    EXPECT_FALSE(pellium::isApplicationActive());
    mouse(MessageType::LeftButtonDown, window, 10, 10);
    dispatchAll();
    EXPECT_TRUE(r->events.empty());
    clock.advance(5);  // no double click with the dropped press
    activate(window, true);
    mouse(MessageType::LeftButtonDown, window, 10, 10);
    dispatchAll();
    EXPECT_EQ(typesOf(r->events), (std::vector<int>{EventType::Enter, EventType::LeftDown}));
}

TEST_F(EventQueueTest, IdlerIsCalledOncePerEmptyPass) {
    CountingIdler idler;
    Event e;
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(pellium::getNextEvent(e, &idler));
        EXPECT_EQ(e.type, EventType::None);
        EXPECT_EQ(e.window, nullptr);
    }
    EXPECT_EQ(idler.count, 5);
    // A pass with an event is no empty pass.
    key(MessageType::KeyDown, window, platform::KeyLeft);
    pellium::getNextEvent(e, &idler);
    EXPECT_EQ(e.type, EventType::Key);
    EXPECT_EQ(idler.count, 5);
    // Nor is one that repaints.
    window.invalidate();
    pellium::getNextEvent(e, &idler);
    EXPECT_EQ(idler.count, 5);
    EXPECT_FALSE(window.isDirty());
}

TEST_F(EventQueueTest, BusyUpdatablesKeepTheLoopFromIdling) {
    std::vector<std::string> log;
    CountingIdler idler;
    ScriptedUpdatable a(log, "a"), b(log, "b");
    pellium::Updatable::startUpdates(&a);
    pellium::Updatable::startUpdates(&b);
    pellium::Updatable::startUpdates(&a);  // already there
    Event e;
    pellium::getNextEvent(e, &idler);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(idler.count, 1);
    b.busy = true;
    pellium::getNextEvent(e, &idler);
    EXPECT_EQ(idler.count, 1);
    pellium::Updatable::stopUpdates(&b);
    pellium::getNextEvent(e, &idler);
    EXPECT_EQ(idler.count, 2);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "a", "b", "a"}));
}

TEST_F(EventQueueTest, AnUpdatableMayStopItselfOrRemoveAndDeleteAnother) {
    std::vector<std::string> log;
    ScriptedUpdatable a(log, "a");
    auto b = std::make_unique<ScriptedUpdatable>(log, "b");
    auto c = std::make_unique<ScriptedUpdatable>(log, "c");
    ScriptedUpdatable d(log, "d");
    // a deletes b and c before their turn; d stops itself.
    a.onUpdate = [&] {
        b.reset();
        c.reset();
    };
    d.onUpdate = [&] { pellium::Updatable::stopUpdates(&d); };
    for (auto* u : {static_cast<pellium::Updatable*>(&a), static_cast<pellium::Updatable*>(b.get()),
                    static_cast<pellium::Updatable*>(c.get()), static_cast<pellium::Updatable*>(&d)})
        pellium::Updatable::startUpdates(u);
    Event e;
    pellium::getNextEvent(e, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "d"}));
    a.onUpdate = nullptr;
    pellium::getNextEvent(e, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "d", "a"}));
}

TEST_F(EventQueueTest, AnUpdatableAddedDuringAPassRunsInThatPass) {
    std::vector<std::string> log;
    ScriptedUpdatable a(log, "a"), late(log, "late");
    a.onUpdate = [&] { pellium::Updatable::startUpdates(&late); };
    pellium::Updatable::startUpdates(&a);
    Event e;
    pellium::getNextEvent(e, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "late"}));
}

TEST_F(EventQueueTest, CloseMessageDestroysTheWindowAtTheEndOfThePass) {
    platform::WindowId handle = window.getHWND();
    platform::injectMessage(message(MessageType::Close, window));
    EXPECT_FALSE(window.isOpen());
    EXPECT_TRUE(platform::windowExists(handle)) << "destroyed at the end of the pass, not at once";
    Event e;
    EXPECT_FALSE(pellium::getNextEvent(e, nullptr)) << "no window is open any more";
    EXPECT_FALSE(platform::windowExists(handle));
    EXPECT_EQ(window.getHWND(), 0u);
}

TEST_F(EventQueueTest, LoopEndsWhenTheSystemAsksTheProgramToEnd) {
    // SDL turns SIGTERM into a quit request, which closes every top-level window.
    struct Quitter : pellium::Updatable {
        bool update() override {
            if (!sent)
                std::raise(SIGTERM);
            sent = true;
            return false;
        }
        bool sent = false;
    } quitter;
    pellium::Updatable::startUpdates(&quitter);
    pellium::runEventLoop(nullptr);
    EXPECT_TRUE(quitter.sent);
    EXPECT_FALSE(window.isOpen());
    EXPECT_FALSE(pellium::Window::anyWindowOpen());
}

TEST_F(EventQueueTest, ProcessPendingEventsReturnsWhenTheLoopGoesIdle) {
    Recorder* r = new Recorder("r", {0, 0, 300, 200});
    window.add(r);
    mouse(MessageType::LeftButtonDown, window, 10, 10);
    mouse(MessageType::LeftButtonUp, window, 10, 10);
    pellium::processPendingEvents();
    EXPECT_EQ(typesOf(r->events), (std::vector<int>{EventType::Enter, EventType::LeftDown, EventType::LeftUp}));
    pellium::processPendingEvents();
    EXPECT_EQ(r->events.size(), 3u);
}

TEST_F(EventQueueTest, MessagesForUnknownWindowsAreLogged) {
    LogCapture log;
    platform::Message m;
    m.type = MessageType::Paint;
    m.window = 0x2a7;
    EXPECT_EQ(pellium::WindowProc(m), 0);
    EXPECT_EQ(log.text(), "Window 2a7 not found!  (message=" + std::to_string(int(MessageType::Paint)) + "\n)\n");
}

TEST_F(EventQueueTest, SizeMessageTakesTheClientSize) {
    platform::Message m = message(MessageType::Size, window);
    m.width = 321;
    m.height = 123;
    platform::injectMessage(m);
    EXPECT_EQ(window.getBounds(), (pellium::Rect{0, 0, 321, 123}));
    mouse(MessageType::LeftButtonDown, window, 0, 0);
    auto events = takeEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().y, 122);
}

TEST(EventLoopTest, ReturnsAtOnceWithoutWindows) {
    CountingIdler idler;
    pellium::runEventLoop(&idler);
    EXPECT_EQ(idler.count, 1);
    pellium::processPendingEvents();
    Event e;
    EXPECT_FALSE(pellium::getNextEvent(e, nullptr));
}
