#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <SDL.h>

#include "platform/GLContext.h"
#include "platform/SystemColors.h"
#include "platform/Windows.h"

using platform::Message;
using platform::MessageType;
using platform::WindowId;

namespace {

std::vector<Message> received;

// A window's client area on the screen as {x, y, width, height}.
std::vector<int> clientOf(WindowId id) {
    int x = 0, y = 0, w = 0, h = 0;
    EXPECT_TRUE(platform::clientRect(id, x, y, w, h));
    return {x, y, w, h};
}

long recordingProcedure(const Message& m) {
    received.push_back(m);
    return 0;
}

class PlatformWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::videoAvailable());
        platform::setWindowProcedure(recordingProcedure);
        received.clear();
    }
    void TearDown() override {
        for (auto w = made.rbegin(); w != made.rend(); ++w)
            platform::destroyWindow(*w);  // a no-op for those the test destroyed
        platform::setWindowProcedure(nullptr);
    }

    WindowId make(platform::WindowKind kind, WindowId parent, int x, int y, int w, int h) {
        platform::WindowParams p;
        p.kind = kind;
        p.parent = parent;
        p.x = x;
        p.y = y;
        p.width = w;
        p.height = h;
        p.title = "platform test";
        made.push_back(platform::createWindow(p));
        return made.back();
    }
    // A top-level window whose client area stands at (30, 40), 200 x 100.
    WindowId topLevel(bool shown = true) {
        WindowId id = make(platform::WindowKind::TopLevel, 0, 30, 40, 200, 100);
        if (shown)
            platform::showWindow(id, true);
        return id;
    }

    std::vector<WindowId> made;
};

}  // namespace

TEST_F(PlatformWindowsTest, CreateArrivesBeforeCreateWindowReturnsAndDestroyBeforeTheWindowGoes) {
    WindowId id = topLevel(false);
    ASSERT_NE(id, 0u);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].type, MessageType::Create);
    EXPECT_EQ(received[0].window, id);
    EXPECT_TRUE(platform::windowExists(id));
    platform::destroyWindow(id);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1].type, MessageType::Destroy);
    EXPECT_FALSE(platform::windowExists(id));
    platform::destroyWindow(id);  // twice: nothing happens
    EXPECT_EQ(received.size(), 2u);
}

TEST_F(PlatformWindowsTest, ClientAreaStandsWhereItWasPut) {
    WindowId id = topLevel();
    EXPECT_EQ(clientOf(id), (std::vector<int>{30, 40, 200, 100}));
    platform::placeWindow(id, 50, 60, 220, 110);
    EXPECT_EQ(clientOf(id), (std::vector<int>{50, 60, 220, 110}));
    EXPECT_EQ(platform::windowAt(55, 65), id);
    EXPECT_EQ(platform::windowAt(49, 65), 0u);
    int x, y, w, h;
    EXPECT_FALSE(platform::clientRect(9999, x, y, w, h));
}

TEST_F(PlatformWindowsTest, ChildLivesInsideItsParentAndIsFoundFirst) {
    WindowId parent = make(platform::WindowKind::TopLevel, 0, 100, 100, 300, 200);
    platform::showWindow(parent, true);
    WindowId child = make(platform::WindowKind::Child, parent, 20, 30, 50, 40);
    ASSERT_NE(child, 0u);
    platform::showWindow(child, false);
    EXPECT_EQ(clientOf(child), (std::vector<int>{120, 130, 50, 40}));
    EXPECT_EQ(platform::windowAt(125, 135), child);
    EXPECT_EQ(platform::windowAt(105, 105), parent);
    EXPECT_EQ(make(platform::WindowKind::Child, 12345, 0, 0, 10, 10), 0u) << "a child needs a living parent";
}

TEST_F(PlatformWindowsTest, InjectedMessagesMoveKeyStateAndPointer) {
    WindowId id = topLevel();
    received.clear();
    Message m;
    m.window = id;
    m.type = MessageType::KeyDown;
    m.key = platform::KeyRightShift;
    platform::injectMessage(m);
    EXPECT_TRUE(platform::isKeyDown(platform::KeyRightShift));
    EXPECT_TRUE(platform::isKeyDown(platform::KeyShift));
    EXPECT_FALSE(platform::isKeyDown(platform::KeyLeftShift));
    m.type = MessageType::KeyUp;
    platform::injectMessage(m);
    EXPECT_FALSE(platform::isKeyDown(platform::KeyShift));
    EXPECT_FALSE(platform::isKeyDown(-5));
    EXPECT_FALSE(platform::isKeyDown(platform::KeyCount));
    m.type = MessageType::MouseMove;
    m.x = 7;
    m.y = 9;
    platform::injectMessage(m);
    int cx, cy;
    platform::cursorPosition(cx, cy);
    EXPECT_EQ(cx, 37);
    EXPECT_EQ(cy, 49);
    EXPECT_EQ(received.size(), 3u);
}

TEST_F(PlatformWindowsTest, TypedTextArrivesAsLatin1Characters) {
    WindowId id = topLevel(false);
    // Two-byte e-acute, a cut-off lead byte before 'A', the euro sign (beyond
    // Latin-1), a stray continuation byte, then a lead byte at the very end.
    const char* typed = "\xC3\xA9" "\xC3" "A" "\xE2\x82\xAC" "\x80" "z" "\xE2\x82";
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = id;
    std::strcpy(e.text.text, typed);
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    received.clear();
    platform::pumpMessages();
    std::vector<int> characters;
    for (const Message& m : received)
        if (m.type == MessageType::Char)
            characters.push_back(m.character);
    EXPECT_EQ(characters, (std::vector<int>{0xE9, '?', 'A', '?', '?', 'z', '?'}));
}

TEST_F(PlatformWindowsTest, SoftwarePixelsReachTheScreenWithoutTouchingOpenGL) {
    WindowId id = make(platform::WindowKind::TopLevel, 0, 30, 40, 40, 30);
    platform::showWindow(id, true);
    ASSERT_EQ(platform::currentGLContext(), nullptr);
    std::vector<std::uint32_t> pixels(40 * 30, 0xFF336699u);
    platform::presentPixels(id, pixels.data(), 40, 0, 0, 40, 30);
    // A GL context of the layer's own, left current, would catch the GL calls
    // meant for the toolkit's shared context.
    EXPECT_EQ(platform::currentGLContext(), nullptr);
    std::vector<std::uint32_t> shown;
    int w = 0, h = 0;
    ASSERT_TRUE(platform::captureWindow(id, shown, w, h));
    ASSERT_EQ(shown.size(), pixels.size());
    EXPECT_EQ(shown.front(), 0xFF336699u);
    EXPECT_EQ(shown.back(), 0xFF336699u);
}

TEST_F(PlatformWindowsTest, MessagesSdlAlreadyHoldsAreTakenAtOnceInTheirOrder) {
    WindowId id = topLevel(false);
    platform::pumpMessages();
    // Right after a pump the display is not asked again, but what SDL holds is taken.
    for (const char* typed : {"a", "b", "c"}) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        e.text.windowID = id;
        std::strcpy(e.text.text, typed);
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    received.clear();
    platform::pumpMessages();
    std::vector<int> characters;
    for (const Message& m : received)
        if (m.type == MessageType::Char)
            characters.push_back(m.character);
    EXPECT_EQ(characters, (std::vector<int>{'a', 'b', 'c'}));
}

TEST_F(PlatformWindowsTest, ShownTopLevelTakesTheFocusWithoutAWindowManager) {
    WindowId id = topLevel();
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (platform::inputFocus() != id && std::chrono::steady_clock::now() < end) {
        platform::pumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(platform::inputFocus(), id);
    bool activated = false;
    for (const Message& m : received)
        activated |= m.type == MessageType::ActivateApp && m.activate;
    EXPECT_TRUE(activated);
}

TEST_F(PlatformWindowsTest, SystemCursorsExist) {
    const platform::Cursor* arrow = platform::systemCursor(platform::SystemCursor::Arrow);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(platform::systemCursor(platform::SystemCursor::Arrow), arrow);
    EXPECT_NE(platform::systemCursor(platform::SystemCursor::NotAllowed), arrow);
    platform::showCursor(arrow);
    platform::showCursor(nullptr);
}

TEST(PlatformSystemColorsTest, TableCanBeChangedAndReset) {
    std::uint32_t face = platform::systemColor(platform::SystemColor::ButtonFace);
    EXPECT_EQ(face, 0xC0C0C0u);
    platform::setSystemColor(platform::SystemColor::ButtonFace, 0xFF123456);
    EXPECT_EQ(platform::systemColor(platform::SystemColor::ButtonFace), 0x123456u) << "only 24 bits";
    EXPECT_EQ(platform::systemColor(platform::SystemColor::Count), 0u);
    platform::resetSystemColors();
    EXPECT_EQ(platform::systemColor(platform::SystemColor::ButtonFace), face);
}
