// Cursors made from masks, checked on what the X server shows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/Windows.h"
#include "tests/support/ScreenCursor.h"

namespace {

long ignoreMessages(const platform::Message&) { return 0; }

class PlatformCursorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::videoAvailable());
        platform::setWindowProcedure(ignoreMessages);
        platform::WindowParams p;
        p.x = 200;
        p.y = 150;
        p.width = 120;
        p.height = 100;
        p.title = "cursor test";
        window = platform::createWindow(p);
        ASSERT_NE(window, 0u);
        platform::showWindow(window, true);
        platform::moveCursor(260, 200);
        platform::pumpMessages();
    }
    void TearDown() override {
        platform::showCursor(platform::systemCursor(platform::SystemCursor::Arrow));
        platform::destroyWindow(window);
        platform::setWindowProcedure(nullptr);
    }

    // Reads the screen's cursor until it has the hot spot asked for (the
    // server takes the change in its own time); false after a second.
    bool readWithHotSpot(ScreenCursor& shown, int hotX, int hotY) {
        for (int i = 0; i < 100; ++i) {
            platform::pumpMessages();
            if (shown.read() && shown.hotX == hotX && shown.hotY == hotY)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    platform::WindowId window = 0;
};

}  // namespace

TEST_F(PlatformCursorTest, MasksShowBlackWhiteAndSeeThroughWhereWindowsWould) {
    // Every pixel takes one of the three drawn kinds, varying along both axes.
    uint8_t andMask[128], xorMask[128];
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const int kind = (x + 2 * y) % 3;  // 0 see-through, 1 black, 2 white
            const int byte = 4 * y + x / 8;
            const uint8_t bit = uint8_t(0x80 >> (x % 8));
            if (x % 8 == 0)
                andMask[byte] = xorMask[byte] = 0;
            if (kind == 0)
                andMask[byte] |= bit;
            if (kind == 2)
                xorMask[byte] |= bit;
        }
    platform::Cursor* cursor = platform::createCursor(andMask, xorMask, 3, 7);
    ASSERT_NE(cursor, nullptr);
    platform::showCursor(cursor);

    ScreenCursor shown;
    ASSERT_TRUE(readWithHotSpot(shown, 3, 7)) << "the cursor never reached the screen";
    ASSERT_EQ(shown.width, 32);
    ASSERT_EQ(shown.height, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(shown.at(x, y), maskColour(andMask, xorMask, x, y)) << "at " << x << ", " << y;

    // Freeing the cursor on screen leaves the pointer with another one.
    platform::destroyCursor(cursor);
    ScreenCursor after;
    ASSERT_TRUE(after.read());
    EXPECT_NE(after.argb, shown.argb);
}

TEST_F(PlatformCursorTest, HotSpotStaysInsideThePicture) {
    uint8_t andMask[128] = {}, xorMask[128] = {};
    platform::Cursor* cursor = platform::createCursor(andMask, xorMask, 40, -3);
    ASSERT_NE(cursor, nullptr);
    platform::showCursor(cursor);
    ScreenCursor shown;
    EXPECT_TRUE(readWithHotSpot(shown, 31, 0));
    platform::destroyCursor(cursor);
}

TEST_F(PlatformCursorTest, NoMasksNoCursor) {
    uint8_t mask[128] = {};
    EXPECT_EQ(platform::createCursor(nullptr, mask, 0, 0), nullptr);
    EXPECT_EQ(platform::createCursor(mask, nullptr, 0, 0), nullptr);
    platform::destroyCursor(nullptr);
}
