// Windows, their messages and text input, pixels, the focus, cursors on the
// X server, and an error box a person answers with the real pointer.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <SDL.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/GLContext.h"
#include "platform/SystemColors.h"
#include "platform/Windows.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ErrorBox.h"
#include "tests/support/ScreenCursor.h"
#include "tests/support/TempFolder.h"

using platform::Message;
using platform::MessageType;
using platform::WindowId;

namespace {

std::vector<Message> received;

long recordingProcedure(const Message& m) {
    received.push_back(m);
    return 0;
}

// A window's client area on the screen as {x, y, width, height}.
std::vector<int> clientOf(WindowId id) {
    int x = 0, y = 0, w = 0, h = 0;
    EXPECT_TRUE(platform::clientRect(id, x, y, w, h));
    return {x, y, w, h};
}

bool eventually(const std::function<bool()>& done) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20); !done();) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        platform::pumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
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

    // A window whose client area stands at (x, y), shown unless a child.
    WindowId make(int x, int y, int w, int h, WindowId parent = 0, bool shown = true) {
        platform::WindowParams p;
        p.kind = parent ? platform::WindowKind::Child : platform::WindowKind::TopLevel;
        p.parent = parent;
        p.x = x, p.y = y, p.width = w, p.height = h;
        p.title = "platform test";
        made.push_back(platform::createWindow(p));
        if (made.back() && shown)
            platform::showWindow(made.back(), !parent);
        return made.back();
    }

    // The characters that come of typed texts, pushed as SDL holds them
    // right after a pump (the display is not asked again then).
    std::vector<int> typed(WindowId id, std::initializer_list<const char*> texts) {
        platform::pumpMessages();
        for (const char* text : texts) {
            SDL_Event e{};
            e.type = SDL_TEXTINPUT;
            e.text.windowID = id;
            std::strcpy(e.text.text, text);
            EXPECT_EQ(SDL_PushEvent(&e), 1);
        }
        received.clear();
        platform::pumpMessages();
        std::vector<int> characters;
        for (const Message& m : received)
            if (m.type == MessageType::Char)
                characters.push_back(m.character);
        return characters;
    }

    std::vector<WindowId> made;
};

}  // namespace

// Create arrives before createWindow returns, destroy before the window
// goes; client areas stand where they were put, children inside their
// parent and found first.
TEST_F(PlatformWindowsTest, WindowsLiveWhereAndAsLongAsTheyShould) {
    WindowId id = make(30, 40, 200, 100, 0, false);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].type, MessageType::Create);
    EXPECT_EQ(received[0].window, id);
    EXPECT_TRUE(platform::windowExists(id));
    platform::destroyWindow(id);
    platform::destroyWindow(id);  // twice: nothing happens
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1].type, MessageType::Destroy);
    EXPECT_FALSE(platform::windowExists(id));

    WindowId parent = make(30, 40, 200, 100), child = make(20, 30, 50, 40, parent);
    EXPECT_EQ(clientOf(child), (std::vector<int>{50, 70, 50, 40}));
    platform::placeWindow(parent, 100, 100, 300, 200);
    EXPECT_EQ(clientOf(parent), (std::vector<int>{100, 100, 300, 200}));
    EXPECT_EQ(platform::windowAt(125, 135), child);
    EXPECT_EQ(platform::windowAt(105, 105), parent);
    EXPECT_EQ(platform::windowAt(99, 105), 0u);
    int x, y, w, h;
    EXPECT_FALSE(platform::clientRect(9999, x, y, w, h));
    EXPECT_EQ(make(0, 0, 10, 10, 12345), 0u) << "a child needs a living parent";
}

TEST_F(PlatformWindowsTest, InjectedMessagesMoveKeyStateAndPointer) {
    Message m;
    m.window = make(30, 40, 200, 100);
    received.clear();
    m.type = MessageType::KeyDown;
    m.key = platform::KeyRightShift;
    platform::injectMessage(m);
    EXPECT_TRUE(platform::isKeyDown(platform::KeyRightShift) && platform::isKeyDown(platform::KeyShift));
    EXPECT_FALSE(platform::isKeyDown(platform::KeyLeftShift));
    m.type = MessageType::KeyUp;
    platform::injectMessage(m);
    EXPECT_FALSE(platform::isKeyDown(platform::KeyShift) || platform::isKeyDown(-5) ||
                 platform::isKeyDown(platform::KeyCount));
    m.type = MessageType::MouseMove;
    m.x = 7;
    m.y = 9;
    platform::injectMessage(m);
    int cx, cy;
    platform::cursorPosition(cx, cy);
    EXPECT_EQ(std::vector<int>({cx, cy}), std::vector<int>({37, 49}));
    EXPECT_EQ(received.size(), 3u);
}

// UTF-8 text comes as Latin-1 characters, '?' for what has none: a
// two-byte e-acute, a cut-off lead byte before 'A', the euro sign, a stray
// continuation byte, a lead byte at the very end. What SDL holds is taken
// at once and in its order.
TEST_F(PlatformWindowsTest, TypedTextArrivesAsLatin1CharactersInOrder) {
    WindowId id = make(30, 40, 200, 100, 0, false);
    EXPECT_EQ(typed(id, {"\xC3\xA9\xC3" "A\xE2\x82\xAC\x80z\xE2\x82"}), (std::vector<int>{0xE9, '?', 'A', '?', '?', 'z', '?'}));
    EXPECT_EQ(typed(id, {"a", "b", "c"}), (std::vector<int>{'a', 'b', 'c'}));
}

// Software windows reach the screen without a GL context of the layer's own,
// which, left current, would catch the toolkit's GL calls.
TEST_F(PlatformWindowsTest, SoftwarePixelsReachTheScreenWithoutTouchingOpenGL) {
    WindowId id = make(30, 40, 40, 30);
    ASSERT_EQ(platform::currentGLContext(), nullptr);
    std::vector<std::uint32_t> pixels(40 * 30, 0xFF336699u), shown;
    platform::presentPixels(id, pixels.data(), 40, 0, 0, 40, 30);
    EXPECT_EQ(platform::currentGLContext(), nullptr);
    int w = 0, h = 0;
    ASSERT_TRUE(platform::captureWindow(id, shown, w, h));
    EXPECT_EQ(shown, pixels);
}

TEST_F(PlatformWindowsTest, AShownTopLevelTakesTheFocusWithoutAWindowManager) {
    WindowId id = make(30, 40, 200, 100);
    EXPECT_TRUE(eventually([&] { return platform::inputFocus() == id; }));
    bool activated = false;
    for (const Message& m : received)
        activated |= m.type == MessageType::ActivateApp && m.activate;
    EXPECT_TRUE(activated);
}

// Every pixel of a mask cursor takes one of the three drawn kinds, varying
// along both axes; the server shows each as Windows would. The hot spot stays
// inside the picture; a cursor freed on screen leaves the pointer another.
TEST_F(PlatformWindowsTest, MaskCursorsShowOnTheServerAsWindowsWould) {
    make(200, 150, 120, 100);
    platform::moveCursor(260, 200);
    uint8_t andMask[128] = {}, xorMask[128] = {};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const int kind = (x + 2 * y) % 3;  // 0 see-through, 1 black, 2 white
            andMask[4 * y + x / 8] |= kind == 0 ? 0x80 >> (x % 8) : 0;
            xorMask[4 * y + x / 8] |= kind == 2 ? 0x80 >> (x % 8) : 0;
        }
    EXPECT_EQ(platform::createCursor(nullptr, xorMask, 0, 0), nullptr);
    EXPECT_EQ(platform::createCursor(andMask, nullptr, 0, 0), nullptr);
    for (auto [hotX, hotY, shownX, shownY] : {std::array<int, 4>{3, 7, 3, 7}, std::array<int, 4>{40, -3, 31, 0}}) {
        platform::Cursor* cursor = platform::createCursor(andMask, xorMask, hotX, hotY);
        ASSERT_NE(cursor, nullptr);
        platform::showCursor(cursor);
        ScreenCursor shown;
        ASSERT_TRUE(eventually([&] { return shown.read() && shown.hotX == shownX && shown.hotY == shownY; }))
            << "the cursor never reached the screen";
        ASSERT_EQ(std::vector<int>({shown.width, shown.height}), std::vector<int>({32, 32}));
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                ASSERT_EQ(shown.at(x, y), maskColour(andMask, xorMask, x, y)) << "at " << x << ", " << y;
        platform::destroyCursor(cursor);
        ScreenCursor after;
        ASSERT_TRUE(after.read());
        EXPECT_NE(after.argb, shown.argb);
    }
    const platform::Cursor* arrow = platform::systemCursor(platform::SystemCursor::Arrow);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(platform::systemCursor(platform::SystemCursor::Arrow), arrow);
    EXPECT_NE(platform::systemCursor(platform::SystemCursor::NotAllowed), arrow);
    platform::showCursor(nullptr);
    platform::showCursor(arrow);
    platform::destroyCursor(nullptr);
}

TEST(PlatformSystemColors, TableCanBeChangedAndReset) {
    const std::uint32_t face = platform::systemColor(platform::SystemColor::ButtonFace);
    EXPECT_EQ(face, 0xC0C0C0u);
    platform::setSystemColor(platform::SystemColor::ButtonFace, 0xFF123456);
    EXPECT_EQ(platform::systemColor(platform::SystemColor::ButtonFace), 0x123456u) << "only 24 bits";
    EXPECT_EQ(platform::systemColor(platform::SystemColor::Count), 0u);
    platform::resetSystemColors();
    EXPECT_EQ(platform::systemColor(platform::SystemColor::ButtonFace), face);
}

TEST(MessageBoxTest, ErrorBoxIsAWindowOnTheDisplayAndItsButtonAnswers) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xdotool is not installed";
    TempFolder folder;
    const std::string title = "Kalvora box test " + std::to_string(getpid()), said = folder / "stderr";
    const pid_t child = support::spawnProgram(KALVORA_MESSAGE_BOX_CHILD, {title}, said);
    ASSERT_GT(child, 0);
    std::ifstream errors(said);
    EXPECT_EQ(support::pressButtonOfBox(title, child), "window message button waited answered")
        << "the box's error stream: " << std::string(std::istreambuf_iterator<char>(errors), {});
}
