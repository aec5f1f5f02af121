// The toolkit's picture cursors on a real window: the hand a component asks
// for is what the X server shows over it.
#include <gtest/gtest.h>

#include "base/Clock.h"
#include "gui/Container.h"
#include "gui/EventQueue.h"
#include "gui/Window.h"
#include "gui/gl/Cursor.h"
#include "platform/Windows.h"
#include "tests/support/ScreenCursor.h"
#include "tests/support/GuiTestSupport.h"

using namespace guitest;

using pellium::Cursor;

namespace {

// Runs the loop until the screen shows a cursor with this hot spot; false
// after twenty seconds.
bool waitForHotSpot(ScreenCursor& shown, int hotX, int hotY) {
    const double end = orvel::getTime() + 20;
    while (orvel::getTime() < end) {
        dispatchAll();
        if (shown.read() && shown.hotX == hotX && shown.hotY == hotY)
            return true;
        orvel::sleepMs(10);
    }
    return false;
}

// Puts the real pointer there. The first move into a window only enters it;
// a second one makes the move that reaches the component under it.
void moveTo(int x, int y) {
    platform::moveCursor(x - 1, y);
    dispatchAll();
    platform::moveCursor(x, y);
}

void expectShows(const ScreenCursor& shown, Cursor& cursor) {
    ASSERT_EQ(shown.width, 32);
    ASSERT_EQ(shown.height, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(shown.at(x, y), maskColour(cursor.andMask(), cursor.xorMask(), x, y))
                << "at " << x << ", " << y;
}

class CursorDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.setTitle("cursors");
        openAt(window, 100, 100, 300, 200);
        int width, height;
        platform::clientRect(window.getHWND(), left, top, width, height);
    }
    pellium::Window window;
    int left = 0, top = 0;  // the client area on the screen
};

}  // namespace

TEST_F(CursorDisplayTest, HandsShowOverTheComponentsThatAskForThem) {
    Cursor& pointing = *pellium::getCursor(Cursor::PointingHand);
    Cursor& grabbing = *pellium::getCursor(Cursor::GrabbingHand);
    const platform::Cursor* native = pointing.handle();
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(pointing.handle(), native) << "the native cursor is made once";

    Recorder* leftHalf = new Recorder("left", {0, 0, 150, 200});
    Recorder* rightHalf = new Recorder("right", {150, 0, 150, 200});
    leftHalf->setCursor(pellium::getCursor(Cursor::PointingHand));
    rightHalf->setCursor(pellium::getCursor(Cursor::GrabbingHand));
    window.add(leftHalf);
    window.add(rightHalf);

    moveTo(left + 40, top + 50);
    ScreenCursor shown;
    ASSERT_TRUE(waitForHotSpot(shown, 6, 1)) << "the pointing hand never showed ";
    expectShows(shown, pointing);

    moveTo(left + 200, top + 50);
    ASSERT_TRUE(waitForHotSpot(shown, 5, 3)) << "the grabbing hand never showed";
    expectShows(shown, grabbing);
}

TEST_F(CursorDisplayTest, ComponentsWithoutACursorShowTheirParentsAndChangesShowAtOnce) {
    pellium::Container* panel = new pellium::Container;
    panel->setBounds({0, 0, 300, 200});
    Recorder* leaf = new Recorder("leaf", {0, 0, 150, 200});
    panel->add(leaf);
    window.add(panel);
    panel->setCursor(pellium::getCursor(Cursor::OpenHand));

    moveTo(left + 40, top + 50);
    ScreenCursor shown;
    ASSERT_TRUE(waitForHotSpot(shown, 7, 6)) << "the leaf shows its panel's open hand";
    ASSERT_EQ(pellium::Window::getPointerComponent(), leaf);
    // The pointer rests; the new cursor must not wait for the next move.
    leaf->setCursor(pellium::getCursor(Cursor::PointingHand));
    ASSERT_TRUE(waitForHotSpot(shown, 6, 1)) << "the leaf's own cursor never showed";
    leaf->setCursor(nullptr);
    ASSERT_TRUE(waitForHotSpot(shown, 7, 6)) << "without its own cursor the leaf shows the panel's again";
}

TEST(CursorIdTest, SystemIdsGiveTheSystemCursors) {
    using platform::SystemCursor;
    EXPECT_EQ(pellium::getCursor(Cursor::TextBeam)->handle(), platform::systemCursor(SystemCursor::IBeam));
    EXPECT_EQ(pellium::getCursor(11)->handle(), platform::systemCursor(SystemCursor::Arrow));
    EXPECT_EQ(pellium::getCursor(Cursor::SizeAll)->handle(), platform::systemCursor(SystemCursor::SizeAll));
    EXPECT_EQ(pellium::getCursor(Cursor::NotAllowed)->handle(), platform::systemCursor(SystemCursor::NotAllowed));
}
