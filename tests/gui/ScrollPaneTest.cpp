// Scroll panes and scroll bars: which bars show and where everything goes
// (arrows 16 pixels, borders 2), the thumb's size and place, the wheel and
// the keys; and in an open window, driven by injected input on the test
// clock: arrows, dragging the thumb and paging while the button is held.
#include <gtest/gtest.h>

#include <vector>

#include "gui/GuiRenderer.h"
#include "gui/MessageDest.h"
#include "gui/ScrollBar.h"
#include "gui/ScrollBarBar.h"
#include "gui/ScrollBarButton.h"
#include "gui/ScrollPane.h"
#include "gui/ScrollPaneInternals.h"
#include "gui/Spacer.h"
#include "gui/ViewPane.h"
#include "gui/Window.h"
#include "gui/html/HTMLPane.h"
#include "platform/MessageBox.h"
#include "tests/gui/TestFonts.h"
#include "tests/support/GuiTestSupport.h"

using pellium::Rect;
using pellium::ScrollBar;
using pellium::ScrollPane;

namespace {

struct Placed {
    Rect view, viewPane, vertical, horizontal;
    bool verticalShown, horizontalShown;
    int verticalTotal, horizontalTotal;
};

Placed laidOut(ScrollPane& pane, Rect bounds) {
    pane.setBounds(bounds);
    pane.layout();
    ScrollBar* v = pane.verticalBar();
    ScrollBar* h = pane.horizontalBar();
    return {pane.getView()->getBounds(), pane.viewPane()->getBounds(), v->getBounds(), h->getBounds(),
            v->isVisible(),             h->isVisible(),                v->getTotal(),  h->getTotal()};
}

TEST(ScrollPaneLayoutTest, BarsViewportAndView) {
    struct Case {
        int viewWidth, viewHeight, horizontalPolicy, verticalPolicy;
        Rect view, viewPane;
        bool verticalShown, horizontalShown;
    };
    // A 200 x 100 pane with its border: 196 x 96 inside from (2, 2).
    const Case cases[] = {
        // Too tall: the vertical bar takes 16, and then the width no longer fits either.
        {190, 120, 1, 1, {2, -22, 190, 120}, {2, 18, 180, 80}, true, true},
        {300, 50, 1, 1, {2, 48, 300, 50}, {2, 18, 196, 80}, false, true},
        {100, 50, 1, 1, {2, 48, 100, 50}, {2, 2, 196, 96}, false, false},
        {100, 50, 2, 2, {2, 48, 100, 50}, {2, 18, 180, 80}, true, true},
        // Only the horizontal bar: always shown, and the view as high as the viewport.
        {100, 500, 1, 0, {2, 18, 100, 80}, {2, 18, 196, 80}, false, true},
        // No horizontal bar: a plain view is as wide as the viewport.
        {300, 500, 0, 1, {2, -402, 180, 500}, {2, 2, 180, 96}, true, false},
        {300, 50, 0, 0, {2, 48, 196, 50}, {2, 2, 196, 96}, false, false},
    };
    for (const Case& c : cases) {
        ScrollPane pane(new pellium::Spacer(c.viewWidth, c.viewHeight));
        pane.setHorizontalScrollPolicy(c.horizontalPolicy);
        pane.setVerticalScrollPolicy(c.verticalPolicy);
        Placed p = laidOut(pane, {0, 0, 200, 100});
        EXPECT_EQ(p.view, c.view) << c.viewWidth << "x" << c.viewHeight;
        EXPECT_EQ(p.viewPane, c.viewPane) << c.viewWidth << "x" << c.viewHeight;
        EXPECT_EQ(p.verticalShown, c.verticalShown) << c.viewWidth << "x" << c.viewHeight;
        EXPECT_EQ(p.horizontalShown, c.horizontalShown) << c.viewWidth << "x" << c.viewHeight;
    }

    ScrollPane pane(new pellium::Spacer(190, 120));
    Placed p = laidOut(pane, {0, 0, 200, 100});
    EXPECT_EQ(p.vertical, (Rect{182, 18, 16, 80}));
    EXPECT_EQ(p.horizontal, (Rect{2, 2, 180, 16}));
    EXPECT_EQ(p.verticalTotal, 120);
    EXPECT_EQ(p.horizontalTotal, 190);
    // The bar's own parts: arrows at its ends, the track between.
    EXPECT_EQ(pane.verticalBar()->lessButton()->getBounds(), (Rect{182, 82, 16, 16}));
    EXPECT_EQ(pane.verticalBar()->moreButton()->getBounds(), (Rect{182, 18, 16, 16}));
    EXPECT_EQ(pane.verticalBar()->track()->getBounds(), (Rect{182, 34, 16, 48}));
    int w, h;
    pane.getPreferredSize(w, h);
    EXPECT_EQ(w, 190);
    EXPECT_EQ(h, 120);

    // Without a border, rows of 7 and columns of 10: the viewport shrinks to whole units.
    pane.setBorder(false);
    pane.setRowUnit(7);
    pane.setColumnUnit(10);
    p = laidOut(pane, {0, 0, 200, 100});
    EXPECT_EQ(p.viewPane, (Rect{0, 16, 180, 84}));
    pane.viewPane()->getPreferredSize(w, h);
    EXPECT_EQ(w, 180);
    EXPECT_EQ(h, 84);

    // A header above the viewport moves sideways with the content.
    ScrollPane headed(new pellium::Spacer(400, 50));
    pellium::Spacer* header = new pellium::Spacer(50, 12);
    headed.setColumnHeader(header);
    headed.horizontalBar()->setValue(30);
    p = laidOut(headed, {0, 0, 200, 100});
    EXPECT_EQ(header->getBounds(), (Rect{-28, 86, 196, 12}));
    EXPECT_EQ(p.viewPane, (Rect{2, 18, 196, 68}));
    EXPECT_EQ(p.view, (Rect{-28, 36, 400, 50}));
}

TEST(ScrollPaneLayoutTest, PagesAreWrappedToTheViewport) {
    TestFonts fonts;
    std::string words;
    for (int i = 0; i < 60; ++i)
        words += "word ";
    pellium::HTMLPane* html = new pellium::HTMLPane;
    html->setText(words.c_str());
    ScrollPane pane(html);
    pane.setHorizontalScrollPolicy(ScrollPane::never);
    Placed p = laidOut(pane, {0, 0, 200, 100});
    // Too tall at 196: laid out again 16 narrower, beside the vertical bar.
    EXPECT_EQ(html->width(), 180);
    EXPECT_TRUE(p.verticalShown);
    EXPECT_EQ(p.view.width, 180);
    EXPECT_EQ(p.verticalTotal, html->height());
    // 180 - 10 across: 28 characters, so 5 words a line, 12 lines.
    EXPECT_EQ(html->height(), 12 * 17 + 10);

    html->setText("short");
    p = laidOut(pane, {0, 0, 200, 100});
    EXPECT_EQ(html->width(), 196);
    EXPECT_FALSE(p.verticalShown);
}

TEST(ScrollPaneScrollTest, WheelAndKeysStayInRange) {
    ScrollPane pane(new pellium::Spacer(390, 120));
    laidOut(pane, {0, 0, 200, 100});
    ScrollBar* v = pane.verticalBar();
    ScrollBar* h = pane.horizontalBar();
    auto send = [&](int type, int code, int wheel) {
        pellium::Event e;
        e.type = type;
        e.code = code;
        e.wheel = wheel;
        return pane.wantsEvent(e);
    };
    std::vector<int> values;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(send(pellium::EventType::Wheel, 0, -120));
        values.push_back(v->getValue());
    }
    EXPECT_EQ(values, (std::vector<int>{20, 40, 40})) << "at most 120 - 80";
    send(pellium::EventType::Wheel, 0, 120);
    EXPECT_EQ(v->getValue(), 20);
    send(pellium::EventType::Key, pellium::Key::Up, 0);
    send(pellium::EventType::Key, pellium::Key::Up, 0);
    EXPECT_EQ(v->getValue(), 0);
    send(pellium::EventType::Key, pellium::Key::Down, 0);
    EXPECT_EQ(v->getValue(), 20);
    for (int i = 0; i < 12; ++i)
        send(pellium::EventType::Key, pellium::Key::Right, 0);
    EXPECT_EQ(h->getValue(), 210) << "at most 390 - 180";
    send(pellium::EventType::Key, pellium::Key::Left, 0);
    EXPECT_EQ(h->getValue(), 190);

    // Content that fits: no bar, and the wheel does nothing.
    ScrollPane small(new pellium::Spacer(50, 50));
    laidOut(small, {0, 0, 200, 100});
    pellium::Event wheel;
    wheel.type = pellium::EventType::Wheel;
    wheel.wheel = -120;
    small.handleEvent(wheel);
    EXPECT_EQ(small.verticalBar()->getValue(), 0);
    int kind, state;
    small.verticalBar()->moreButton()->getRenderInfo(kind, state);
    EXPECT_EQ(kind, pellium::WidgetKind::scrollArrow);
    EXPECT_EQ(state, pellium::WidgetState::down | pellium::WidgetState::disabled) << "drawn disabled";
}

TEST(ScrollPaneScrollTest, ThumbSizeAndPlace) {
    // 200 x 300 around 190 x 600: the vertical bar is 280 long, its track 248
    // from y 34. The thumb is 280 * 248 / 600 = 115 long and moves 133 pixels
    // over the 320 values.
    ScrollPane pane(new pellium::Spacer(190, 600));
    laidOut(pane, {0, 0, 200, 300});
    pellium::ScrollBarBar* track = pane.verticalBar()->track();
    ASSERT_EQ(track->getBounds(), (Rect{182, 34, 16, 248}));
    struct Case {
        int value;
        Rect thumb;
    };
    const Case cases[] = {
        {0, {182, 167, 16, 115}}, {100, {182, 125, 16, 115}}, {320, {182, 34, 16, 115}}, {999, {182, 34, 16, 115}},
        {-5, {182, 167, 16, 115}},
    };
    for (const Case& c : cases) {
        pane.verticalBar()->setValue(c.value);
        ASSERT_TRUE(track->placeThumb());
        EXPECT_EQ(track->thumb(), c.thumb) << c.value;
    }
    EXPECT_DOUBLE_EQ(track->pixelsPerUnit(), 133.0 / 320.0);
    EXPECT_EQ(pane.verticalBar()->getValue(), 0) << "brought into range";

    // Horizontal: 500 wide in 180, track 148 from x 18; the thumb is at least 48.
    ScrollPane wide(new pellium::Spacer(500, 80));
    laidOut(wide, {0, 0, 200, 300});
    pellium::ScrollBarBar* across = wide.horizontalBar()->track();
    wide.horizontalBar()->setValue(160);
    ASSERT_TRUE(across->placeThumb());
    EXPECT_EQ(across->thumb(), (Rect{71, 2, 64, 16})) << "196 * 164 / 500 long, 53 of 100 along";

    // A track shorter than the smallest thumb (18 against 48): the thumb
    // fills the track and does not move.
    ScrollPane low(new pellium::Spacer(190, 120));
    laidOut(low, {0, 0, 200, 70});
    pellium::ScrollBarBar* shortTrack = low.verticalBar()->track();
    ASSERT_EQ(shortTrack->getBounds(), (Rect{182, 34, 16, 18}));
    for (int value : {0, 35, 70}) {
        low.verticalBar()->setValue(value);
        ASSERT_TRUE(shortTrack->placeThumb());
        EXPECT_EQ(shortTrack->thumb(), shortTrack->getBounds()) << value;
        EXPECT_EQ(shortTrack->pixelsPerUnit(), 0.0);
    }
}

struct Details : pellium::MessageDest {
    void message(pellium::Component*, int, int detail) override { got.push_back(detail); }
    std::vector<int> got;
};

// A 200 x H window that the scroll pane fills, around a view of the given size.
class ScrollDriveTest : public ::testing::Test {
protected:
    void open(int height, int viewWidth, int viewHeight) {
        pane = new ScrollPane(new pellium::Spacer(viewWidth, viewHeight));
        window.add(pane);
        window.setResizable(false);  // else it would be at least as large as the pane's view
        guitest::openAt(window, 100, 100, 200, height);
        window.repaint();
        pointer.move(10, 10);
    }
    int value() const { return pane->verticalBar()->getValue(); }

    guitest::FakeClock clock;
    pellium::Window window;
    ScrollPane* pane = nullptr;
    guitest::Pointer pointer{window};
};

TEST_F(ScrollDriveTest, ArrowsMoveByTheStepAndRepeatWhileHeld) {
    open(300, 190, 600);
    pointer.move(190, 25);  // the down arrow, at the bottom of the bar (182, 18)
    pointer.down(190, 25);
    pointer.up(190, 25);
    EXPECT_EQ(value(), 20);
    pointer.down(190, 25);
    clock.advance(0.5);
    guitest::dispatchAll();
    EXPECT_EQ(value(), 40) << "repeated after half a second";
    clock.advance(0.05);
    guitest::dispatchAll();
    EXPECT_EQ(value(), 60);
    pointer.up(190, 25);
    EXPECT_EQ(value(), 80) << "and once more on release";
    pointer.move(190, 290);  // the up arrow
    pointer.down(190, 290);
    pointer.up(190, 290);
    EXPECT_EQ(value(), 60);
}

TEST_F(ScrollDriveTest, DraggingTheThumbAndLettingItGoFarAside) {
    open(300, 190, 600);
    Details details;
    pane->verticalBar()->setMessageDest(&details, 1);
    pointer.move(190, 200);  // on the thumb (182, 167, 16, 115)
    pointer.down(190, 200);
    EXPECT_TRUE(pane->verticalBar()->track()->isDragging());
    pointer.move(190, 159);  // 41 pixels down: 41 / (133 / 320) = 98.6 values
    EXPECT_EQ(value(), 98);
    pointer.move(240, 159);  // still within 50 pixels of the bar
    EXPECT_EQ(value(), 98);
    pointer.move(10, 159);   // far aside: back where the drag began
    EXPECT_EQ(value(), 0);
    pointer.move(190, 100);
    EXPECT_EQ(value(), 240);
    pointer.up(190, 100);
    EXPECT_FALSE(pane->verticalBar()->track()->isDragging());
    EXPECT_EQ(details.got.front(), 0);
    EXPECT_EQ(details.got.back(), 2);
    EXPECT_EQ(pane->getView()->getBounds().y, 18 + 280 + 240 - 600) << "the view followed";
}

TEST_F(ScrollDriveTest, PagingHoldsTowardThePointerAtTheRepeatTimes) {
    // 3000 high in 280: the thumb is 48 long and moves 200 pixels over 2720
    // values, about 20.6 pixels per page of 280. Held at y 40, paging stops
    // when the thumb's bottom reaches 40: after ten pages.
    open(300, 190, 3000);
    pointer.move(190, 40);
    pointer.down(190, 40);
    EXPECT_TRUE(pane->verticalBar()->track()->isPaging());
    std::vector<int> values{value()};
    const double waits[] = {0.4, 0.1, 0.05, 0.05, 0.05, 0.05, 0.05, 0.05, 0.05, 0.05, 0.05, 0.3};
    for (double wait : waits) {
        clock.advance(wait);
        guitest::dispatchAll();
        values.push_back(value());
    }
    EXPECT_EQ(values, (std::vector<int>{280, 280, 560, 840, 1120, 1400, 1680, 1960, 2240, 2520, 2720, 2720, 2720}));
    pointer.up(190, 40);
    EXPECT_FALSE(pane->verticalBar()->track()->isPaging());

    // Upward, and only while the pointer stays on the track.
    pointer.move(190, 270);
    pointer.down(190, 270);
    EXPECT_EQ(value(), 2440);
    pointer.move(100, 270);
    clock.advance(0.6);
    guitest::dispatchAll();
    EXPECT_EQ(value(), 2440);
    pointer.move(190, 270);
    EXPECT_EQ(value(), 2160) << "the repeat that fell due outside comes on return";
    clock.advance(0.05);
    guitest::dispatchAll();
    EXPECT_EQ(value(), 1880);
    pointer.up(190, 270);
    clock.advance(0.6);
    guitest::dispatchAll();
    EXPECT_EQ(value(), 1880);
}

}  // namespace
