// Scroll panes and scroll bars: which bars show and where everything goes
// (arrows 16 pixels, borders 2), the thumb's size and place, the wheel and
// the keys; and in an open window, driven by injected input on the test
// clock: arrows, dragging the thumb and paging while the button is held.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "gui/GuiRenderer.h"
#include "gui/MessageDest.h"
#include "gui/ScrollBar.h"
#include "gui/ScrollBarBar.h"
#include "gui/ScrollBarButton.h"
#include "gui/ScrollPane.h"
#include "gui/Spacer.h"
#include "gui/ViewPane.h"
#include "gui/Window.h"
#include "gui/html/HTMLPane.h"
#include "tests/gui/TestFonts.h"
#include "tests/support/GuiTestSupport.h"

using pellium::Rect;
using pellium::ScrollBar;
using pellium::ScrollPane;

namespace {

std::string text(const Rect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," + std::to_string(r.height);
}

// The view and the viewport, and "v" and "h" for the bars shown.
std::string laidOut(ScrollPane& pane, Rect bounds) {
    pane.setBounds(bounds);
    pane.layout();
    return text(pane.getView()->getBounds()) + " in " + text(pane.viewPane()->getBounds()) + " " +
           (pane.verticalBar()->isVisible() ? "v" : "") + (pane.horizontalBar()->isVisible() ? "h" : "");
}

TEST(ScrollPaneLayoutTest, BarsViewportAndView) {
    struct Case {
        int viewWidth, viewHeight, horizontalPolicy, verticalPolicy;
        const char* placed;
    };
    // A 200 x 100 pane with its border: 196 x 96 inside from (2, 2).
    const Case cases[] = {
        // Too tall: the vertical bar takes 16, and then the width no longer fits either.
        {190, 120, 1, 1, "2,-22,190,120 in 2,18,180,80 vh"},
        {300, 50, 1, 1, "2,48,300,50 in 2,18,196,80 h"},
        {100, 50, 1, 1, "2,48,100,50 in 2,2,196,96 "},
        {100, 50, 2, 2, "2,48,100,50 in 2,18,180,80 vh"},
        // Only the horizontal bar: always shown, and the view as high as the viewport.
        {100, 500, 1, 0, "2,18,100,80 in 2,18,196,80 h"},
        // No horizontal bar: a plain view is as wide as the viewport.
        {300, 500, 0, 1, "2,-402,180,500 in 2,2,180,96 v"},
        {300, 50, 0, 0, "2,48,196,50 in 2,2,196,96 "},
    };
    for (const Case& c : cases) {
        ScrollPane pane(new pellium::Spacer(c.viewWidth, c.viewHeight));
        pane.setHorizontalScrollPolicy(c.horizontalPolicy);
        pane.setVerticalScrollPolicy(c.verticalPolicy);
        EXPECT_EQ(laidOut(pane, {0, 0, 200, 100}), c.placed) << c.viewWidth << "x" << c.viewHeight;
    }

    ScrollPane pane(new pellium::Spacer(190, 120));
    laidOut(pane, {0, 0, 200, 100});
    ScrollBar* v = pane.verticalBar();
    EXPECT_EQ(text(v->getBounds()) + " " + text(pane.horizontalBar()->getBounds()), "182,18,16,80 2,2,180,16");
    EXPECT_EQ(v->getTotal() * 1000 + pane.horizontalBar()->getTotal(), 120190);
    // Arrows at the bar's ends, the track between.
    EXPECT_EQ(text(v->lessButton()->getBounds()) + " " + text(v->track()->getBounds()) + " " +
                  text(v->moreButton()->getBounds()),
              "182,82,16,16 182,34,16,48 182,18,16,16");
    int w, h;
    pane.getPreferredSize(w, h);
    EXPECT_EQ(w * 1000 + h, 190120);

    // Without a border, rows of 7 and columns of 10: the viewport shrinks to whole units.
    pane.setBorder(false);
    pane.setRowUnit(7);
    pane.setColumnUnit(10);
    EXPECT_EQ(laidOut(pane, {0, 0, 200, 100}), "0,-20,190,120 in 0,16,180,84 vh");
    pane.viewPane()->getPreferredSize(w, h);
    EXPECT_EQ(w * 1000 + h, 180084);

    // A header above the viewport moves sideways with the content.
    ScrollPane headed(new pellium::Spacer(400, 50));
    pellium::Spacer* header = new pellium::Spacer(50, 12);
    headed.setColumnHeader(header);
    headed.horizontalBar()->setValue(30);
    EXPECT_EQ(laidOut(headed, {0, 0, 200, 100}), "-28,36,400,50 in 2,18,196,68 h");
    EXPECT_EQ(text(header->getBounds()), "-28,86,196,12");
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
    // Too tall at 196: laid out again 16 narrower, beside the vertical bar:
    // 170 across, 5 words a line, 12 lines.
    EXPECT_EQ(laidOut(pane, {0, 0, 200, 100}), "2,-116,180,214 in 2,2,180,96 v");
    EXPECT_EQ(html->width(), 180);
    html->setText("short");
    EXPECT_EQ(laidOut(pane, {0, 0, 200, 100}), "2,71,196,27 in 2,2,196,96 ");
}

TEST(ScrollPaneScrollTest, WheelAndKeysStayInRange) {
    ScrollPane pane(new pellium::Spacer(390, 120));  // at most 40 down and 210 across
    ScrollPane small(new pellium::Spacer(50, 50));   // no bars: nothing moves
    laidOut(pane, {0, 0, 200, 100});
    laidOut(small, {0, 0, 200, 100});
    namespace E = pellium::EventType;
    namespace K = pellium::Key;
    // Wheel notches down and up, then keys: up, up, down, right, left, left.
    const int steps[][3] = {{E::Wheel, 0, -120}, {E::Wheel, 0, -120}, {E::Wheel, 0, -120}, {E::Wheel, 0, 120},
                            {E::Key, K::Up, 0},   {E::Key, K::Up, 0},   {E::Key, K::Down, 0},  {E::Key, K::Right, 0},
                            {E::Key, K::Left, 0}, {E::Key, K::Left, 0}};
    auto key = [](int code) {
        pellium::Event e;
        e.type = E::Key;
        e.code = code;
        return e;
    };
    std::string values;
    for (const auto& s : steps) {
        pellium::Event e;
        e.type = s[0];
        e.code = s[1];
        e.wheel = s[2];
        EXPECT_TRUE(pane.wantsEvent(e));
        small.wantsEvent(e);
        values += std::to_string(pane.verticalBar()->getValue()) + "," + std::to_string(pane.horizontalBar()->getValue()) + " ";
        EXPECT_EQ(small.verticalBar()->getValue() + small.horizontalBar()->getValue(), 0);
    }
    EXPECT_EQ(values, "20,0 40,0 40,0 20,0 0,0 0,0 20,0 20,20 20,0 20,0 ");
    pane.horizontalBar()->setValue(500);
    pane.viewPane()->layout();
    EXPECT_EQ(pane.horizontalBar()->getValue(), 210) << "a value from elsewhere is brought into range";
    // From the ends of the int range, keys and arrows land in range too.
    ScrollBar* v = pane.verticalBar();
    const std::pair<int, std::function<void()>> extremes[] = {
        {INT_MAX, [&] { pane.handleKey(key(K::Down)); }}, {INT_MIN, [&] { pane.handleKey(key(K::Up)); }},
        {INT_MAX, [&] { v->moreButton()->sendMessage(0); }}, {INT_MIN, [&] { v->lessButton()->sendMessage(0); }}};
    for (const auto& [from, press] : extremes) {
        v->setValue(from);
        press();
        EXPECT_EQ(v->getValue(), from > 0 ? 40 : 0) << from;
    }
    int kind, state;
    small.verticalBar()->moreButton()->getRenderInfo(kind, state);
    EXPECT_EQ(state, pellium::WidgetState::down | pellium::WidgetState::disabled) << "arrows drawn disabled";
}

TEST(ScrollPaneScrollTest, ThumbSizeAndPlace) {
    struct Case {
        int paneHeight, viewWidth, viewHeight;
        bool vertical;
        int value;
        const char* thumb;
    };
    const Case cases[] = {
        // 200 x 300 around 190 x 600: the bar is 280 long, its track 248 from
        // y 34; the thumb is 280 * 248 / 600 = 115 long and moves 133 pixels
        // over the 320 values.
        {300, 190, 600, true, 0, "182,167,16,115"},
        {300, 190, 600, true, 100, "182,125,16,115"},
        {300, 190, 600, true, 320, "182,34,16,115"},
        {300, 190, 600, true, 999, "182,34,16,115"},
        {300, 190, 600, true, -5, "182,167,16,115"},
        // 500 wide in 196: the track is 164 from x 18, the thumb 64 long.
        {300, 500, 80, false, 160, "71,2,64,16"},
        // A track shorter than the smallest thumb (18 against 48): the thumb
        // fills the track, wherever the value is.
        {70, 190, 120, true, 0, "182,34,16,18"},
        {70, 190, 120, true, 70, "182,34,16,18"},
    };
    for (const Case& c : cases) {
        ScrollPane pane(new pellium::Spacer(c.viewWidth, c.viewHeight));
        laidOut(pane, {0, 0, 200, c.paneHeight});
        ScrollBar* bar = c.vertical ? pane.verticalBar() : pane.horizontalBar();
        bar->setValue(c.value);
        ASSERT_TRUE(bar->track()->placeThumb());
        EXPECT_EQ(text(bar->track()->thumb()), c.thumb) << c.value;
        EXPECT_GE(bar->getValue(), 0);
        EXPECT_LE(bar->getValue(), bar->maxValue());
    }
}

// A direction code moves its bar by the pane's step, unclamped (drawing
// brings it back into range); other ids move nothing.
TEST(ScrollPaneScrollTest, ViewPaneMessagesOfADirectionMoveTheirBar) {
    ScrollPane pane(new pellium::Spacer(390, 120));
    pane.setSteps(20, 7);
    laidOut(pane, {0, 0, 200, 100});
    namespace S = pellium::WidgetState;
    const struct {
        const char* what;
        int id;
        int vertical, horizontal;  // from
        int movedVertical, movedHorizontal;
    } rows[] = {
        {"up", S::up, 30, 30, 10, 30},
        {"down", S::down, 30, 30, 50, 30},
        {"left", S::left, 30, 30, 30, 23},
        {"right", S::right, 30, 30, 30, 37},
        {"up past the top", S::up, 0, 0, -20, 0},
        {"down past the bottom", S::down, 40, 0, 60, 0},
        {"right past the end", S::right, 0, 210, 0, 217},
        {"up from the least int", S::up, INT_MIN, 0, INT_MIN, 0},
        {"down from the greatest int", S::down, INT_MAX, 0, INT_MAX, 0},
        {"left without its second bit", 0x40000, 30, 30, 30, 30},
        {"a scroll bar's id", 1, 30, 30, 30, 30},
        {"two codes at once", S::up | S::down, 30, 30, 30, 30},
    };
    for (const auto& row : rows) {
        pane.verticalBar()->setValue(row.vertical);
        pane.horizontalBar()->setValue(row.horizontal);
        pane.viewPane()->message(nullptr, row.id, 0);
        EXPECT_EQ(pane.verticalBar()->getValue(), row.movedVertical) << row.what;
        EXPECT_EQ(pane.horizontalBar()->getValue(), row.movedHorizontal) << row.what;
    }
}

struct Details : pellium::MessageDest {
    void message(pellium::Component*, int, int detail) override { got.push_back(detail); }
    std::vector<int> got;
};

// A window 200 wide, 300 high unless asked, that the scroll pane fills,
// around a 190 wide view.
class ScrollDriveTest : public ::testing::Test {
protected:
    void open(int viewHeight, int windowHeight = 300, int viewWidth = 190) {
        pane = new ScrollPane(new pellium::Spacer(viewWidth, viewHeight));
        window.add(pane);
        window.setResizable(false);  // else it would be at least as large as the pane's view
        guitest::openAt(window, 100, 100, 200, windowHeight);
        window.repaint();
        pointer.move(10, 10);
    }
    int value() const { return pane->verticalBar()->getValue(); }
    void wait(double seconds) {
        clock.advance(seconds);
        guitest::dispatchAll();
    }

    guitest::FakeClock clock;
    pellium::Window window;
    ScrollPane* pane = nullptr;
    guitest::Pointer pointer{window};
};

TEST_F(ScrollDriveTest, ArrowsRepeatWhileHeldAndTheThumbDrags) {
    open(600);
    pointer.move(190, 25);  // the down arrow, at the bottom of the bar (182, 18)
    pointer.down(190, 25);
    pointer.up(190, 25);
    EXPECT_EQ(value(), 20);
    pointer.down(190, 25);
    wait(0.5);
    EXPECT_EQ(value(), 40) << "repeated after half a second";
    wait(0.05);
    pointer.up(190, 25);
    EXPECT_EQ(value(), 80) << "again 50 ms later, and on release";
    pointer.move(190, 290);  // the up arrow
    pointer.down(190, 290);
    pointer.up(190, 290);
    EXPECT_EQ(value(), 60);

    Details details;
    pane->verticalBar()->setValue(0);
    pane->verticalBar()->setMessageDest(&details, 1);
    pointer.move(190, 200);  // on the thumb (182, 167, 16, 115)
    pointer.down(190, 200);
    std::vector<int> values;
    // 41 pixels down: 41 / (133 / 320) = 98.6 values; 50 pixels aside still
    // drags, further aside the thumb goes back to where the drag began.
    for (int x : {190, 240, 10, 190}) {
        pointer.move(x, 159);
        values.push_back(value());
    }
    pointer.move(190, 100);
    values.push_back(value());
    pointer.up(190, 100);
    EXPECT_EQ(values, (std::vector<int>{98, 98, 0, 98, 240}));
    EXPECT_EQ(details.got.front(), 0);
    EXPECT_EQ(details.got.back(), 2);
    EXPECT_EQ(pane->getView()->getBounds().y, 18 + 280 + 240 - 600) << "the view followed";
}

// Counts the times the pane draws it.
struct DrawnView : pellium::Spacer {
    DrawnView() : Spacer(190, 600) {}
    void draw(pellium::Graphics&) override { ++draws; }
    int draws = 0;
};

TEST_F(ScrollDriveTest, AnyMessageToTheViewPaneRedrawsThePane) {
    auto* view = new DrawnView;
    pane = new ScrollPane(view);
    window.add(pane);
    window.setResizable(false);
    guitest::openAt(window, 100, 100, 200, 300);
    window.repaint();
    for (int id : {int(pellium::WidgetState::down), 0, 12345}) {
        const int before = view->draws;
        pane->viewPane()->message(nullptr, id, 0);
        EXPECT_EQ(view->draws, before + 1) << id;
    }
    EXPECT_EQ(view->getBounds().y, 18 + 280 + 20 - 600) << "drawn where the down step put it";
}

// A track shorter than the smallest thumb (18 high from y 34, against 48):
// the thumb fills it and a drag leaves the value where it was.
TEST_F(ScrollDriveTest, AThumbFillingAShortTrackStaysPut) {
    open(120, 70);
    pane->verticalBar()->setValue(35);
    pointer.move(190, 40);
    pointer.down(190, 40);
    for (int y : {30, 0, 60, 45}) {
        pointer.move(190, y);
        EXPECT_EQ(value(), 35) << y;
    }
    pointer.up(190, 45);
}

// On a page as tall as a page gets, a pixel of the thumb is over a million
// values: a drag far below the window ends at the bottom, not past it.
TEST_F(ScrollDriveTest, ADragFarBelowAHugePageEndsAtItsBottom) {
    open(1 << 28);
    pointer.move(190, 270);  // the thumb, 48 long at the top of the track
    pointer.down(190, 270);
    pointer.move(190, -3000);
    EXPECT_EQ(value(), pane->verticalBar()->maxValue());
    pointer.up(190, -3000);
}

// A view of the largest int under a header, scrolled to its far ends: the
// sums that place the view, the header and the thumbs stay in the int range.
TEST_F(ScrollDriveTest, AViewOfTheLargestIntScrollsToItsEnds) {
    open(INT_MAX, 300, INT_MAX);
    pane->setColumnHeader(new pellium::Spacer(10, 20));
    int w, h;
    pane->getPreferredSize(w, h);
    EXPECT_EQ(std::min(w, h), INT_MAX);
    pane->verticalBar()->setValue(INT_MAX);
    pane->horizontalBar()->setValue(INT_MAX);
    window.repaint();
    EXPECT_EQ(text(pane->getView()->getBounds()), "-2147483465,18,2147483647,2147483647") << "its corner at the viewport's";
    EXPECT_EQ(pane->verticalBar()->track()->thumb().y, 34);

    ScrollPane tiny(new pellium::Spacer(INT_MAX, INT_MAX));
    laidOut(tiny, {0, 0, 10, 10});  // narrower than its bars: they are less than nothing long
    for (ScrollBar* bar : {tiny.verticalBar(), tiny.horizontalBar()}) {
        bar->moreButton()->sendMessage(0);
        EXPECT_TRUE(bar->maxValue() == INT_MAX && bar->getValue() == 20 && bar->track()->placeThumb());
    }
}

TEST_F(ScrollDriveTest, PagingHoldsTowardThePointerAtTheRepeatTimes) {
    // 3000 high in 280: the thumb is 48 long and moves 200 pixels over 2720
    // values, about 20.6 pixels per page of 280. Held at y 40, paging stops
    // when the thumb's bottom reaches 40: after ten pages.
    open(3000);
    pointer.move(190, 40);
    pointer.down(190, 40);
    std::vector<int> values{value()};
    for (double seconds : {0.4, 0.1, 0.05, 0.05, 0.05, 0.05, 0.05, 0.05, 0.05, 0.05, 0.05, 0.3}) {
        wait(seconds);
        values.push_back(value());
    }
    EXPECT_EQ(values, (std::vector<int>{280, 280, 560, 840, 1120, 1400, 1680, 1960, 2240, 2520, 2720, 2720, 2720}));
    pointer.up(190, 40);

    // Upward, and only while the pointer is on the track; the repeat that
    // fell due meanwhile comes on its return.
    pointer.move(190, 270);
    pointer.down(190, 270);
    values = {value()};
    pointer.move(100, 270);
    wait(0.6);
    values.push_back(value());
    pointer.move(190, 270);
    values.push_back(value());
    wait(0.05);
    values.push_back(value());
    pointer.up(190, 270);
    wait(0.6);
    values.push_back(value());
    EXPECT_EQ(values, (std::vector<int>{2440, 2440, 2160, 1880, 1880}));
}

}  // namespace
