#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <stdexcept>

#include "gui/AppWindow.h"
#include "gui/Container.h"
#include "gui/EventQueue.h"
#include "gui/MessageDest.h"
#include "gui/PopupController.h"
#include "gui/Window.h"
#include "gui/WindowPlacement.h"
#include "platform/MessageBox.h"
#include "platform/Windows.h"
#include "tests/support/LogCapture.h"
#include "tests/support/GuiTestSupport.h"

using namespace guitest;
using pellium::Container;
using pellium::Event;
using pellium::Placement;
using pellium::Rect;
using pellium::Window;
namespace EventType = pellium::EventType;
using platform::MessageType;

namespace {

platform::ScreenMetrics screen(int w, int h, int frame = 0, int caption = 0) {
    platform::ScreenMetrics s;
    s.width = w;
    s.height = h;
    s.frameWidth = s.frameHeight = frame;
    s.captionHeight = caption;
    return s;
}

struct ClientRect {
    int x = 0, y = 0, width = 0, height = 0;
};

ClientRect clientOf(const Window& w) {
    ClientRect r;
    platform::clientRect(w.getHWND(), r.x, r.y, r.width, r.height);
    return r;
}

class MessageLog : public pellium::MessageDest {
public:
    void message(pellium::Component* source, int id, int detail) override {
        sources.push_back(source);
        ids.push_back(id);
        details.push_back(detail);
    }
    std::vector<pellium::Component*> sources;
    std::vector<int> ids, details;
};

class FakePopup : public pellium::PopupController {
public:
    void closePopup() override { ++closed; }
    bool ownsComponent(pellium::Component* c, const Event& e) override {
        seen.push_back(e.type);
        under.push_back(c);
        return takes;
    }
    int closed = 0;
    bool takes = false;
    std::vector<int> seen;
    std::vector<pellium::Component*> under;
};

// A window that notes the keys that reach its own key handling, and keeps its
// children where the test put them.
class KeyWindow : public Window {
public:
    void layout() override {}
    void handleKey(const Event& e) override {
        codes.push_back(e.code);
        Window::handleKey(e);
    }
    std::vector<int> codes;
};

std::vector<int> xywh(const Placement& p) { return {p.x, p.y, p.width, p.height}; }
using XYWH = std::vector<int>;

}  // namespace

TEST(WindowPlacementTest, TopLevelIsCentredPlacedFromTheBottomOrInsetWhenScreenSized) {
    EXPECT_EQ(xywh(pellium::placeTopLevel(screen(1024, 768), -1, -1, 400, 300)), (XYWH{312, 234, 400, 300}));
    // y counts upward: a window at the bottom edge.
    EXPECT_EQ(xywh(pellium::placeTopLevel(screen(1024, 768), 10, 0, 400, 300)), (XYWH{10, 468, 400, 300}));
    // With a frame and caption the client area sits inside them.
    Placement framed = pellium::placeTopLevel(screen(1024, 768, 4, 19), -1, -1, 400, 300);
    EXPECT_EQ(framed.x, 308 + 4);
    EXPECT_EQ(framed.y, 768 - 220 - 327 + 4 + 19);
    EXPECT_EQ(xywh(pellium::placeTopLevel(screen(1024, 768), -1, -1, 1024, 768)), (XYWH{64, 64, 896, 640}));
    // Only as wide as the screen is no full-size window.
    EXPECT_EQ(pellium::placeTopLevel(screen(1024, 768), -1, -1, 1024, 700).width, 1024);
}

TEST(WindowPlacementTest, PopupFromItsParentsClientAreaMovesToItsAnchorOffScreen) {
    const Placement parent{100, 50, 500, 400};
    const int far = Window::farEdge, none = Window::noAnchor;
    struct Case {
        int x, y, anchorX, anchorY, placedX, placedY, width = 80, height = 60, shownWidth = 80, shownHeight = 60;
    } cases[] = {
        {10, 20, none, none, 110, 450 - 60 - 20},
        {900, 20, far, none, 1024 - 80, 370},  // off the right edge, against it
        {900, 20, none, none, 1000, 370},      // no anchor: it stays
        {-150, 20, far, none, 0, 370},         // off the left edge, against it
        {900, 20, 300, none, 400, 370},        // a plain anchor counts from the parent's corner
        {10, -400, none, far, 110, 768 - 60},  // below the screen
        {10, -400, none, 100, 110, 450 - 60 - 100},
        {10, 500, none, far, 110, 0},
        // Anchored, a popup ends on the screen, as much of it as the screen holds, its top-left corner first.
        {900, 20, -200, none, 0, 370},                            // an anchor off the screen too
        {10, 20 - 2000, none, far, 110, 0, 80, 2000, 80, 768},    // taller than the screen, hanging from y 430
        {10, 20, 10 - 2000, none, 0, 370, 2000, 60, 1024, 60},    // wider, its anchor left of the pointer
        {10, 20, none, none, 110, 450 - 1000 - 20, 80, 1000, 80, 768},  // no anchor: it stays, as tall as the screen
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.x) + "," + std::to_string(k.y));
        EXPECT_EQ(xywh(pellium::placePopup(screen(1024, 768), parent, k.x, k.y, k.width, k.height, k.anchorX,
                                           k.anchorY)),
                  (XYWH{k.placedX, k.placedY, k.shownWidth, k.shownHeight}));
    }
}

TEST(WindowPlacementTest, SubwindowCountsUpFromItsParentsBottom) {
    EXPECT_EQ(xywh(pellium::placeSubwindow(200, 10, 0, 50, 30)), (XYWH{10, 170, 50, 30}));
    EXPECT_EQ(pellium::placeSubwindow(200, 0, 170, 50, 30).y, 0);
}

TEST(WindowTest, ConstructedClosedWithDefaultsAndListedUntilDestroyed) {
    Window* w = new Window;
    EXPECT_FALSE(w->isOpen());
    EXPECT_EQ(w->getHWND(), 0u);
    EXPECT_STREQ(w->getLabel().c_str(), "pellium");
    EXPECT_EQ(w->getBounds(), (Rect{-1, -1, -1, -1}));
    EXPECT_TRUE(w->isDirty());
    EXPECT_TRUE(w->isWindow());
    EXPECT_EQ(w->getWindow(), w);
    EXPECT_TRUE(Window::isWindow(w));
    EXPECT_FALSE(Window::anyWindowOpen());
    delete w;
    EXPECT_FALSE(Window::isWindow(w));
}

TEST(WindowTest, TopLevelOpensCentredWithTheClientSize) {
    Window w;
    w.setTitle("centred");
    w.setSize(400, 300);
    w.open();
    ASSERT_TRUE(w.isOpen());
    ClientRect r = clientOf(w);
    platform::ScreenMetrics s = platform::screenMetrics();
    EXPECT_EQ(r.x, (s.width - 400) / 2);
    EXPECT_EQ(r.y, (s.height - 300) / 2);
    EXPECT_EQ(w.getBounds(), (Rect{0, 0, 400, 300}));
    EXPECT_EQ(Window::findWindow(w.getHWND()), &w);
    EXPECT_TRUE(Window::anyWindowOpen());
    w.setTitle("second");
    EXPECT_STREQ(w.getLabel().c_str(), "second");
}

TEST(WindowTest, ScreenSizedTopLevelOpensInset) {
    platform::ScreenMetrics s = platform::screenMetrics();
    Window w;
    w.setResizable(false);
    w.setSize(s.width, s.height);
    w.open();
    ClientRect r = clientOf(w);
    EXPECT_EQ(r.x, 64);
    EXPECT_EQ(r.y, 64);
    EXPECT_EQ(r.width, s.width - 128);
    EXPECT_EQ(r.height, s.height - 128);
}

// SDL makes no window past 16384 pixels a side: each side keeps to the screen.
TEST(WindowTest, TopLevelLargerThanTheScreenOpensClamped) {
    const platform::ScreenMetrics s = platform::screenMetrics();
    for (auto [width, height] : {std::pair{40000, 100}, {100, 70000}}) {
        Window w;
        w.setSize(width, height);
        w.open();
        ASSERT_TRUE(w.isOpen()) << width << " x " << height;
        const ClientRect c = clientOf(w);
        EXPECT_EQ(std::pair(c.width, c.height), std::pair(std::min(width, s.width), std::min(height, s.height)));
    }
}

TEST(WindowTest, NegativeSizeTakesThePreferredSize) {
    Window w;
    w.open();
    EXPECT_EQ(w.getBounds(), (Rect{0, 0, 10, 10})) << "an empty container wants 10 x 10";
}

// A child of a top-level window opened at a known place.
class ChildWindowTest : public ::testing::Test {
protected:
    void SetUp() override { openAt(parent, 100, 100, 300, 200); }
    static void openChild(Window& child, int type, Rect bounds) {
        child.setWindowType(type);
        child.setBounds(bounds);
        child.open();
        ASSERT_TRUE(child.isOpen());
    }
    Window parent;
};

TEST_F(ChildWindowTest, SubwindowAtYZeroSitsAtTheBottomOfItsParent) {
    Window child(&parent);
    openChild(child, Window::Subwindow, {10, 0, 50, 30});
    ClientRect p = clientOf(parent), c = clientOf(child);
    EXPECT_EQ(c.x, p.x + 10);
    EXPECT_EQ(c.y + c.height, p.y + p.height);
    EXPECT_EQ(c.width, 50);
    // Moving it moves the native window.
    child.setBounds({20, 100, 40, 30});
    c = clientOf(child);
    EXPECT_EQ(c.x, p.x + 20);
    EXPECT_EQ(c.y, p.y + 200 - 100 - 30);
    EXPECT_EQ(child.getBounds(), (Rect{0, 0, 40, 30}));
}

TEST_F(ChildWindowTest, PopupStandsAtItsPlaceFromTheParent) {
    Window popup(&parent);
    openChild(popup, Window::Popup, {10, 20, 80, 60});
    ClientRect p = clientOf(parent), c = clientOf(popup);
    EXPECT_EQ(c.x, p.x + 10);
    EXPECT_EQ(c.y, p.y + p.height - 60 - 20);
    // A popup never takes the focus from its owner.
    platform::pumpMessages();
    EXPECT_NE(platform::inputFocus(), popup.getHWND());
}

TEST(WindowTest, PopupOrSubwindowWithoutParentIsAUserError) {
    platform::clearRecordedMessageBoxes();
    Window popup, sub;
    popup.setWindowType(Window::Popup);
    popup.open();
    sub.setWindowType(Window::Subwindow);
    sub.open();
    EXPECT_FALSE(popup.isOpen());
    EXPECT_FALSE(sub.isOpen());
    const auto& boxes = platform::recordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Pellium API: user error:");
    EXPECT_EQ(boxes[0].text, "A popup window has no parent. Please call setParent() somewhere");
    EXPECT_EQ(boxes[1].text, "A subwindow has no parent. Please call setParent() somewhere");
}

TEST(WindowTest, ClosingClosesPopupsFirstAndDestroysAtTheEndOfThePass) {
    struct Noting : Window {
        explicit Noting(std::vector<std::string>& log, const char* name, Window* parent = nullptr)
            : Window(parent), log(log), name(name) {}
        void onClose() override { log.push_back(name); }
        std::vector<std::string>& log;
        std::string name;
    };
    std::vector<std::string> log;
    Noting parent(log, "parent");
    openAt(parent, 100, 100, 300, 200);
    Noting popup(log, "popup", &parent), inner(log, "inner", &popup);
    popup.setWindowType(Window::Popup);
    popup.setBounds({10, 10, 50, 50});
    popup.open();
    inner.setWindowType(Window::Popup);
    inner.setBounds({5, 5, 20, 20});
    inner.open();
    platform::WindowId parentHandle = parent.getHWND(), popupHandle = popup.getHWND(), innerHandle = inner.getHWND();

    parent.close();
    EXPECT_EQ(log, (std::vector<std::string>{"inner", "popup", "parent"}));
    EXPECT_FALSE(platform::windowExists(popupHandle)) << "children go at once";
    EXPECT_FALSE(platform::windowExists(innerHandle));
    EXPECT_TRUE(platform::windowExists(parentHandle)) << "the window itself at the end of the pass";
    Event e;
    EXPECT_FALSE(pellium::getNextEvent(e, nullptr));
    EXPECT_FALSE(platform::windowExists(parentHandle));
    parent.close();  // closing again does nothing
    EXPECT_EQ(log.size(), 3u);
}

TEST(WindowTest, ReopenedAfterClose) {
    Window w;
    openAt(w, 100, 100, 100, 80);
    w.close();
    Window::destroyClosedWindows();
    w.setBounds({100, 100, 120, 90});
    w.open();
    EXPECT_TRUE(w.isOpen());
    EXPECT_EQ(w.getBounds(), (Rect{0, 0, 120, 90}));
}

TEST(WindowTest, DestructorOfAnOpenWindowDestroysTheNativeWindowAtOnce) {
    platform::WindowId handle;
    {
        Window w;
        openAt(w, 100, 100, 100, 80);
        handle = w.getHWND();
        EXPECT_TRUE(platform::windowExists(handle));
    }
    EXPECT_FALSE(platform::windowExists(handle));
    EXPECT_FALSE(Window::anyWindowOpen());
}

// Routing: one window with a few recording components.
class RoutingTest : public ::testing::Test {
protected:
    void SetUp() override {
        a = new Recorder("a", {10, 10, 50, 50});
        b = new Recorder("b", {100, 10, 50, 50});
        panel = new Container;
        panel->setBounds({200, 0, 100, 100});
        inner = new Recorder("inner", {210, 10, 30, 30});
        panel->add(inner);
        window.add(a);
        window.add(b);
        window.add(panel);
        openAt(window, 20, 20, 300, 200);
    }

    // Toolkit positions are bottom-up; the messages are top-down.
    void post(MessageType type, int x, int y) { mouse(type, window, x, 199 - y); }
    void clickAt(int x, int y) {
        clock.advance(1);
        post(MessageType::LeftButtonDown, x, y);
        post(MessageType::LeftButtonUp, x, y);
        dispatchAll();
    }
    void type(std::initializer_list<int> characters) {
        for (int c : characters)
            character(window, c);
        dispatchAll();
    }

    FakeClock clock;
    KeyWindow window;
    Recorder *a, *b, *inner;
    Container* panel;
};

TEST_F(RoutingTest, PressGivesTheKeyboardFocusAndKeysFollowIt) {
    clickAt(20, 20);
    // No move came first: the press itself tells the component the pointer is on it.
    EXPECT_EQ(typesOf(a->events), (std::vector<int>{EventType::Enter, EventType::LeftDown, EventType::LeftUp}));
    EXPECT_TRUE(a->isKeyboardFocus());
    // The focus arrives after the press: the press can tell it was not focused yet.
    EXPECT_EQ(std::vector<std::string>(a->log.begin(), a->log.begin() + 3),
              (std::vector<std::string>{"event 11", "event 20", "gained"}));
    type({'x'});
    EXPECT_EQ(a->log.back(), "key 102 120");
    clickAt(110, 20);
    EXPECT_TRUE(b->isKeyboardFocus());
    EXPECT_NE(std::find(a->log.begin(), a->log.end(), "lost"), a->log.end());
    // The deepest component: inside a child container.
    clickAt(215, 15);
    EXPECT_TRUE(inner->isKeyboardFocus());
}

TEST_F(RoutingTest, MovesChangeThePointerComponentWithLeaveAndEnter) {
    post(MessageType::MouseMove, 20, 20);  // the window is entered
    post(MessageType::MouseMove, 21, 20);
    dispatchAll();
    EXPECT_EQ(pellium::Window::getPointerComponent(), a);
    post(MessageType::MouseMove, 110, 20);
    dispatchAll();
    EXPECT_EQ(pellium::Window::getPointerComponent(), b);
    EXPECT_EQ(a->log, (std::vector<std::string>{"event 11", "event 10", "event 12"}));
    EXPECT_EQ(b->log, (std::vector<std::string>{"event 11", "event 10"}));
}

TEST_F(RoutingTest, DisabledAndHiddenComponentsAreNotHit) {
    a->setEnabled(false);
    clickAt(20, 20);
    EXPECT_TRUE(a->events.empty());
    // The window itself is under the pointer then.
    EXPECT_EQ(pellium::Window::getKeyboardFocus(), &window);
    b->setVisible(false);
    clickAt(110, 20);
    EXPECT_TRUE(b->events.empty());
}

TEST_F(RoutingTest, MouseGrabTakesAllMouseEvents) {
    a->setFocus();
    EXPECT_EQ(pellium::Window::getMouseGrab(), a);
    EXPECT_EQ(platform::capture(), window.getHWND());
    clickAt(110, 20);
    EXPECT_EQ(a->events.size(), 2u);
    EXPECT_TRUE(b->events.empty());
    EXPECT_FALSE(b->isKeyboardFocus()) << "a grabbed press moves no focus";
    a->releaseFocus();
    EXPECT_EQ(pellium::Window::getMouseGrab(), nullptr);
    clickAt(110, 20);
    EXPECT_EQ(typesOf(b->events), (std::vector<int>{EventType::Enter, EventType::LeftDown, EventType::LeftUp}));
}

TEST_F(RoutingTest, WheelClimbsToTheFirstComponentThatTakesIt) {
    clickAt(215, 15);  // focus on inner; also the last pointer position
    inner->takesWheel = false;
    platform::Message m = message(MessageType::MouseWheel, window);
    m.wheel = -120;
    platform::injectMessage(m);
    dispatchAll();
    EXPECT_EQ(inner->log.back(), "wants 26");
    // The panel is a plain container and takes nothing; nobody took the wheel.
    EXPECT_TRUE(inner->isKeyboardFocus());
    inner->takesWheel = true;
    platform::injectMessage(m);
    dispatchAll();
    ASSERT_FALSE(inner->events.empty());
    EXPECT_EQ(inner->events.back().wheel, -120);
}

TEST_F(RoutingTest, ShortcutGoesToTheFocusComponentElseFindsTheLabelledOneAndLogs) {
    LogCapture log;
    Recorder* file = new Recorder("!File", {0, 150, 40, 20});
    panel->add(file);
    key(MessageType::SysKeyDown, window, platform::KeyAlt, true);
    key(MessageType::SysKeyDown, window, 'F', true);
    dispatchAll();
    ASSERT_EQ(file->events.size(), 1u);
    EXPECT_EQ(file->events[0].type, EventType::Shortcut);
    EXPECT_EQ(file->events[0].code, 'f');
    EXPECT_EQ(log.text(), "Alt-F\nshortcut key...\nChecking File  F (f)\nShortcut - component File\n");
    // No component with that letter: nothing happens.
    key(MessageType::SysKeyDown, window, 'Q', true);
    dispatchAll();
    EXPECT_EQ(file->events.size(), 1u);
    // With a focus component the shortcut goes to it.
    clickAt(20, 20);
    key(MessageType::SysKeyDown, window, 'F', true);
    dispatchAll();
    EXPECT_EQ(file->events.size(), 1u);
    EXPECT_EQ(a->events.back().type, EventType::Shortcut);
}

TEST_F(RoutingTest, EnterAndEscapeReachDefaultAndCancelButtons) {
    MessageLog messages;
    Recorder* ok = new Recorder("ok", {0, 150, 40, 20});
    Recorder* cancel = new Recorder("cancel", {50, 150, 40, 20});
    ok->setMessageDest(&messages, 7);
    cancel->setMessageDest(&messages, 8);
    window.add(ok);
    window.add(cancel);
    a->passKeysOn = true;
    clickAt(20, 20);
    type({13});
    EXPECT_EQ(window.codes, (std::vector<int>{13})) << "without a default button Enter reaches the window";
    window.setDefaultButton(ok);
    window.setCancelButton(cancel);
    type({13, 27});
    EXPECT_EQ(messages.ids, (std::vector<int>{7, 8}));
    EXPECT_EQ(messages.details, (std::vector<int>{0, 0}));
    EXPECT_EQ(window.codes.size(), 1u);
}

TEST_F(RoutingTest, UnhandledKeysEndInTheWindowWithoutLooping) {
    a->passKeysOn = true;
    clickAt(20, 20);
    type({'q'});
    EXPECT_EQ(window.codes, (std::vector<int>{'q'}));
    // With the window itself focused (a click on the background) a key stops there too.
    clickAt(180, 150);
    EXPECT_EQ(pellium::Window::getKeyboardFocus(), &window);
    type({'r'});
    EXPECT_EQ(window.codes, (std::vector<int>{'q', 'r'}));
}

TEST_F(RoutingTest, PlainComponentPressSendsItsMessage) {
    MessageLog messages;
    pellium::Component* plain = new pellium::Component;
    plain->setBounds({0, 150, 40, 20});
    plain->setMessageDest(&messages, 42);
    window.add(plain);
    clickAt(5, 155);
    ASSERT_EQ(messages.ids, (std::vector<int>{42}));
    EXPECT_EQ(messages.sources[0], plain);
}

TEST_F(RoutingTest, PressOutsideAnOpenPopupClosesItAndSwallowsTheRelease) {
    FakePopup popup;
    Window::setActivePopup(&popup);
    clickAt(20, 20);
    EXPECT_EQ(popup.closed, 1);
    EXPECT_EQ(popup.seen, (std::vector<int>{EventType::LeftDown}));
    EXPECT_EQ(popup.under, (std::vector<pellium::Component*>{a})) << "asked about the component under the press";
    EXPECT_EQ(Window::getActivePopup(), nullptr);
    EXPECT_TRUE(a->events.empty()) << "neither the press nor its release arrive";
    clickAt(20, 20);
    EXPECT_EQ(typesOf(a->events), (std::vector<int>{EventType::Enter, EventType::LeftDown, EventType::LeftUp}));
}

TEST_F(RoutingTest, PopupTakingAnEventKeepsItAndTheFocusStays) {
    FakePopup popup;
    popup.takes = true;
    Window::setActivePopup(&popup);
    clickAt(20, 20);
    EXPECT_EQ(popup.closed, 0);
    EXPECT_FALSE(a->isKeyboardFocus());
    Window::setActivePopup(nullptr);
}

TEST_F(RoutingTest, DeactivationClosesThePopupAndClearsTheFocus) {
    FakePopup popup;
    clickAt(20, 20);
    Window::setActivePopup(&popup);
    activate(window, false);
    dispatchAll();
    EXPECT_EQ(popup.closed, 1);
    EXPECT_EQ(Window::getKeyboardFocus(), nullptr);
    EXPECT_EQ(a->log.back(), "lost");
    // The system never took the focus away, so it would never give it back.
    activate(window, true);
    dispatchAll();
    EXPECT_TRUE(pellium::isApplicationActive());
}

TEST_F(RoutingTest, BlockedWindowDropsEverything) {
    window.setBlocked(true);
    clickAt(20, 20);
    type({'x'});
    EXPECT_TRUE(a->events.empty());
    window.setBlocked(false);
    clickAt(20, 20);
    EXPECT_EQ(typesOf(a->events), (std::vector<int>{EventType::Enter, EventType::LeftDown, EventType::LeftUp}));
}

TEST_F(RoutingTest, RemovedComponentsAreForgotten) {
    Recorder* gone = new Recorder("gone", {0, 150, 40, 20});
    gone->ref();
    window.add(gone);
    clickAt(5, 155);
    gone->setFocus();
    window.setDefaultButton(gone);
    EXPECT_TRUE(gone->isKeyboardFocus());
    Window::forgetComponent(gone);
    EXPECT_EQ(Window::getKeyboardFocus(), nullptr);
    EXPECT_EQ(Window::getMouseGrab(), nullptr);
    EXPECT_EQ(window.getDefaultButton(), nullptr);
    gone->unref();
}

TEST(ComponentTest, LabelShortcuts) {
    guitest::Recorder c;
    struct Case {
        const char* text;
        const char* label;
        char shortcut;
    } cases[] = {{"E!xit", "Exit", 'x'}, {"Save !as...", "Save as...", 'a'}, {"!!Go", "Go", 'G'},
                 {"End!", "End", 0},     {"!A!B", "AB", 'A'},             {"plain", "plain", 0}};
    for (const Case& k : cases) {
        c.setLabel(k.text, true);
        EXPECT_STREQ(c.getLabel().c_str(), k.label) << k.text;
        EXPECT_EQ(c.getShortcut(), k.shortcut) << k.text;
    }
    c.setLabel(nullptr, true);
    EXPECT_STREQ(c.getLabel().c_str(), "");
    EXPECT_EQ(c.getShortcut(), 0);
    c.setLabel("a!b", false);
    EXPECT_STREQ(c.getLabel().c_str(), "a!b");
}

TEST(ComponentTest, TreeHandsTheWindowDownAndShowingNeedsEveryAncestor) {
    Window w;
    Container* outer = new Container;
    Container* middle = new Container;
    guitest::Recorder* leaf = new guitest::Recorder;
    middle->add(leaf);
    outer->add(middle);
    EXPECT_EQ(leaf->getWindow(), nullptr);
    w.add(outer);
    EXPECT_EQ(leaf->getWindow(), &w);
    EXPECT_EQ(leaf->getParent(), middle);
    EXPECT_TRUE(leaf->isShowing());
    outer->setVisible(false);
    EXPECT_FALSE(leaf->isShowing());
    EXPECT_TRUE(leaf->isVisible());
    w.setEnabled(false);
    EXPECT_FALSE(leaf->isEnabled());
}

TEST(ComponentTest, FocusOutsideAWindowThrows) {
    Recorder loose;
    const auto message = ::testing::ThrowsMessage<std::logic_error>(
        ::testing::StrEq("Component::setFocus() - component isn't in a window"));
    EXPECT_THAT([&] { loose.setFocus(); }, message);
    EXPECT_THAT([&] { loose.releaseFocus(); }, message);
}

TEST(ComponentTest, LockedContainerAddsNothingAndLogs) {
    LogCapture log;
    orvel::ref_ptr<Container> box(new Container);
    orvel::ref_ptr<guitest::Recorder> child(new guitest::Recorder);
    box->lock();
    EXPECT_EQ(box->add(child.get()), child.get());
    EXPECT_TRUE(box->children().empty());
    EXPECT_EQ(child->getParent(), nullptr);
    EXPECT_EQ(log.text(), "**** Tried to add something to a locked Container!\n");
}

TEST(ComponentTest, SingleChildContainerFillsTheInsets) {
    orvel::ref_ptr<Container> box(new Container);
    Container* child = new Container;
    box->add(child);
    box->setBounds({10, 20, 200, 100});
    box->setInsets(1, 2, 3, 4);
    box->layout();
    EXPECT_EQ(child->getBounds(), (Rect{11, 22, 196, 94}));
}

TEST(AppWindowTest, RunsUntilItsWindowCloses) {
    struct Closing : pellium::AppWindow {
        void beforeFirstPaint() override { log.push_back("before"); }
        void afterFirstPaint() override { log.push_back("after"); }
        void idle() override {
            log.push_back("idle");
            AppWindow::idle();
            close();
        }
        std::vector<std::string> log;
    } app;
    app.setSize(200, 100);
    app.run();
    ASSERT_GE(app.log.size(), 3u);
    EXPECT_EQ(app.log[0], "before");
    EXPECT_EQ(app.log[1], "after");
    EXPECT_EQ(app.log.back(), "idle");
    EXPECT_FALSE(app.isOpen());
    EXPECT_FALSE(Window::anyWindowOpen());
}
