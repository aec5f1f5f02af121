#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "gui/Graphics.h"
#include "gui/Window.h"
#include "gui/gdiGraphics.h"
#include "platform/MessageBox.h"
#include "platform/SystemColors.h"
#include "platform/Windows.h"
#include "tests/gui/GuiTestSupport.h"

using guitest::openAt;
using pellium::GuiColor;
using pellium::Rect;

namespace {

// A window that draws a script over its background.
class ScriptWindow : public pellium::Window {
public:
    void draw(pellium::Graphics& g) override {
        Window::draw(g);
        if (script)
            script(g);
    }
    std::function<void(pellium::Graphics&)> script;
};

// The window as the display shows it, one pixel at a time in toolkit
// coordinates (bottom-up).
class Screenshot {
public:
    explicit Screenshot(const pellium::Window& w) {
        // The display may lag behind the last drawing a little.
        platform::pumpMessages();
        EXPECT_TRUE(platform::captureWindow(w.getHWND(), pixels, width, height));
    }
    std::uint32_t at(int x, int y) const { return pixels[size_t(height - 1 - y) * size_t(width) + size_t(x)]; }
    int count(std::uint32_t colour) const {
        int n = 0;
        for (std::uint32_t p : pixels)
            n += p == colour;
        return n;
    }
    std::vector<std::uint32_t> pixels;
    int width = 0, height = 0;
};

const std::uint32_t face = 0xFFC0C0C0, red = 0xFFFF0000, black = 0xFF000000;

class GraphicsTest : public ::testing::Test {
protected:
    void TearDown() override { platform::resetSystemColors(); }
    // Opens the window, 120 x 80, drawing the script over its background.
    Screenshot drawn(std::function<void(pellium::Graphics&)> script = nullptr) {
        window.script = std::move(script);
        openAt(window, 100, 100, 120, 80);
        window.repaint();
        return Screenshot(window);
    }
    ScriptWindow window;
};

}  // namespace

TEST(RectTest, IntersectionsAndGrowth) {
    Rect a{0, 0, 10, 10}, b{5, 5, 10, 10}, c{10, 0, 5, 5};
    EXPECT_TRUE(pellium::intersects(a, b));
    EXPECT_FALSE(pellium::intersects(a, c)) << "edges are exclusive";
    EXPECT_EQ(pellium::intersection(a, b), (Rect{5, 5, 5, 5}));
    EXPECT_EQ(pellium::intersection(a, c), (Rect{0, 0, 0, 0}));
    EXPECT_EQ(pellium::intersection(a, a), a);
    EXPECT_EQ(a.grow(2), (Rect{-2, -2, 14, 14}));
    EXPECT_TRUE(a != b);
}

TEST_F(GraphicsTest, WindowIsPaintedInTheFaceColour) {
    Screenshot shot = drawn();
    ASSERT_EQ(shot.width, 120);
    EXPECT_EQ(shot.count(face), 120 * 80);
    // The colour follows the desktop table at the time of drawing.
    platform::setSystemColor(platform::SystemColor::ButtonFace, 0x3366CC);
    window.repaint();
    Screenshot again(window);
    EXPECT_EQ(again.at(0, 0), 0xFFCC6633u);
    EXPECT_EQ(again.count(0xFFCC6633u), 120 * 80);
}

TEST_F(GraphicsTest, FillsAreRightAndTopExclusiveAndCountUpward) {
    Screenshot shot = drawn([](pellium::Graphics& g) {
        g.setColor(GuiColor::red);
        g.fillRect({10, 20, 30, 5});
        g.setRGBColor(0);
        g.plot(0, 0);
    });
    EXPECT_EQ(shot.count(red), 30 * 5);
    EXPECT_EQ(shot.at(10, 20), red);
    EXPECT_EQ(shot.at(39, 24), red);
    for (auto [x, y] : {std::pair{40, 24}, {39, 25}, {9, 20}, {10, 19}})
        EXPECT_EQ(shot.at(x, y), face) << x << "," << y;
    EXPECT_EQ(shot.at(0, 0), black) << "the bottom-left pixel";
    EXPECT_EQ(shot.count(black), 1);
}

TEST_F(GraphicsTest, ClipsNestAndEmptyClipsDrawNothing) {
    Screenshot shot = drawn([](pellium::Graphics& g) {
        g.pushClip({15, 0, 5, 200});
        g.setColor(GuiColor::red);
        g.fillRect({0, 0, 120, 10});
        g.pushClip({100, 100, 5, 5});  // disjoint from the current clip
        EXPECT_TRUE(g.clipIsEmpty());
        EXPECT_EQ(g.currentClip(), (Rect{0, 0, 0, 0}));
        g.setColor(GuiColor::black);
        g.fillRect({0, 0, 120, 80});
        g.popClip();
        EXPECT_FALSE(g.clipIsEmpty());
        g.popClip();
        g.fillRect({0, 70, 2, 2});
    });
    EXPECT_EQ(shot.count(red), 5 * 10);
    EXPECT_EQ(shot.at(15, 0), red);
    EXPECT_EQ(shot.at(20, 0), face);
    EXPECT_EQ(shot.count(black), 4) << "after the pops the whole window is drawable again";
}

TEST_F(GraphicsTest, ClipStackGuardsItsEnds) {
    pellium::gdiGraphics g;
    g.begin(nullptr, {0, 0, 50, 50});
    g.pushClip({0, 0, 50, 50});
    EXPECT_EQ(g.currentClip(), (Rect{0, 0, 50, 50})) << "an equal rectangle pushes a copy";
    g.popClip();
    testing::internal::CaptureStderr();
    g.popClip();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "pellium::Graphics - Clip stack underflow!");
    EXPECT_EQ(g.currentClip(), (Rect{0, 0, 50, 50}));
    for (int i = 1; i < 10000; ++i)
        g.pushClip({0, 0, 50 - (i & 1), 50});
    testing::internal::CaptureStderr();
    g.pushClip({1, 1, 2, 2});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "pellium::Graphics - Clip stack overflow!");
    EXPECT_NE(g.currentClip(), (Rect{1, 1, 2, 2}));
}

TEST_F(GraphicsTest, ZeroWidthAreaDrawsNothing) {
    pellium::gdiGraphics g;
    g.begin(nullptr, {0, 0, 0, 50});
    EXPECT_TRUE(g.clipIsEmpty());
    g.setColor(GuiColor::red);
    g.fillRect({0, 0, 10, 10});
    g.end();
}

TEST_F(GraphicsTest, IllegalColourIsAFatalErrorAndChangesNothing) {
    platform::setMessageBoxRecording(true);
    platform::clearRecordedMessageBoxes();
    pellium::gdiGraphics g;
    g.setColor(GuiColor::red);
    EXPECT_EQ(g.currentColor(), 0x0000FFu);
    g.setColor(GuiColor::gui_color(28));
    g.setColor(GuiColor::gui_color(-1));
    EXPECT_EQ(g.currentColor(), 0x0000FFu);
    ASSERT_EQ(platform::recordedMessageBoxes().size(), 2u);
    EXPECT_EQ(platform::recordedMessageBoxes()[0].title, "Fatal error:");
    EXPECT_EQ(platform::recordedMessageBoxes()[0].text,
              "Illegal color passed to gdiGraphics::setColor(GuiColor::gui_color)");
    g.setRGBColor(0x12345678);
    EXPECT_EQ(g.currentColor(), 0x345678u);
    g.setRGBColor(0xFF000000);
    EXPECT_EQ(g.currentColor(), 0u) << "black through the colour table";
}

TEST_F(GraphicsTest, PaintMessageRepaints) {
    int passes = 0;
    drawn([&](pellium::Graphics&) { ++passes; });
    int before = passes;
    platform::injectMessage(guitest::message(platform::MessageType::Paint, window));
    EXPECT_EQ(passes, before + 1);
    window.invalidate();
    guitest::dispatchAll();
    EXPECT_EQ(passes, before + 2);
    EXPECT_FALSE(window.isDirty());
}
