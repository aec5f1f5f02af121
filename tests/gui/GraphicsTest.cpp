#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gui/Graphics.h"
#include "gui/Window.h"
#include "gui/gdiGraphics.h"
#include "gui/gl/Font.h"
#include "gui/gl/Image.h"
#include "platform/MessageBox.h"
#include "platform/SystemColors.h"
#include "platform/Windows.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/Pictures.h"
#include "tests/gui/TestFonts.h"

using guitest::DistinctColours;
using guitest::openAt;
using guitest::Screenshot;
using guitest::Surface;
using pellium::GuiColor;
using pellium::Rect;
using Rows = std::vector<std::string>;

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

const std::uint32_t face = 0xFFC0C0C0;

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

namespace {

// Every call on the primitives, as text, for the parts of the drawing made
// from them.
class RecordingGraphics : public pellium::Graphics {
public:
    void setColor(GuiColor::gui_color c) override { log.push_back("color " + std::to_string(c)); }
    void setRGBColor(unsigned) override {}
    void plot(int x, int y) override { plots.insert({x, y}); }
    void drawLine(int, int, int, int) override {}
    void fillRect(const Rect&) override {}
    void drawChar(char, const pellium::Font*, int, int) override {}
    void drawImage(const pellium::Image&, int, int) override {}
    void applyClip(const Rect& r) override {
        log.push_back("clip " + std::to_string(r.x) + " " + std::to_string(r.y) + " " + std::to_string(r.width) +
                      " " + std::to_string(r.height));
    }
    std::vector<std::string> log;
    std::set<std::pair<int, int>> plots;
};

// The pixels of the surface lit in a colour, as points in window coordinates.
std::set<std::pair<int, int>> lit(const pellium::gdiGraphics& g, GuiColor::gui_color color) {
    std::set<std::pair<int, int>> points;
    for (int y = 0; y < g.surfaceHeight(); ++y)
        for (int x = 0; x < g.surfaceWidth(); ++x)
            if (g.pixelAt(x, y) == guitest::bufferPixel(color))
                points.insert({x, y});
    return points;
}

}  // namespace

TEST(GdiDrawingTest, FramesSeparatorsAndOutlines) {
    DistinctColours colours;
    using Draw = std::function<void(pellium::Graphics&)>;
    const Rect r{1, 1, 6, 5};
    const struct {
        const char* name;
        Draw draw;
        Rows picture;
    } cases[] = {
        {"sunken", [&](pellium::Graphics& g) { g.drawSunkenEdge(r, false); },
         {"........", ".SSSSSL.", ".S....L.", ".S....L.", ".S....L.", "..LLLLL.", "........"}},
        {"sunken strong", [&](pellium::Graphics& g) { g.drawSunkenEdge(r, true); },
         {"........", ".DDDDDH.", ".D....H.", ".D....H.", ".D....H.", "..HHHHH.", "........"}},
        {"raised edge", [&](pellium::Graphics& g) { g.drawRaisedEdge(r); },
         {"........", ".HHHHHD.", ".H....D.", ".H....D.", ".H....D.", "..DDDDD.", "........"}},
        {"well", [&](pellium::Graphics& g) { g.drawWell(r, GuiColor::face); },
         {"........", ".SSSSSH.", ".SDDDLH.", ".SDFFLH.", ".SLLLLH.", ".HHHHHH.", "........"}},
        {"see-through well", [&](pellium::Graphics& g) { g.drawWell(r, GuiColor::transparent); },
         {"........", ".SSSSSH.", ".SDDDLH.", ".SD..LH.", ".SLLLLH.", ".HHHHHH.", "........"}},
        {"raised button", [&](pellium::Graphics& g) { g.drawRaisedButton(r); },
         {"........", ".HHHHHD.", ".HLLLSD.", ".HL..SD.", ".HLSSSD.", ".HDDDDD.", "........"}},
        {"etched", [&](pellium::Graphics& g) { g.drawEtchedRect(r, false); },
         {"........", ".SSSSSL.", ".SLLLSL.", ".SL..SL.", ".SSSSSL.", ".LLLLLL.", "........"}},
        {"etched strong", [&](pellium::Graphics& g) { g.drawEtchedRect(r, true); },
         {"........", ".DDDDDH.", ".DHHHDH.", ".DH..DH.", ".DDDDDH.", ".HHHHHH.", "........"}},
        {"separators", [&](pellium::Graphics& g) {
             g.drawHorizontalSeparator(1, 1, 3);
             g.drawVerticalSeparator(5, 1, 5);
         },
         {"........", ".....DH.", ".....DH.", ".....DH.", ".DDD.DH.", ".HHH.DH.", "........"}},
        {"outline", [&](pellium::Graphics& g) {
             g.setColor(GuiColor::gray_text);
             g.drawRect(r);
         },
         {"........", ".GGGGGG.", ".G....G.", ".G....G.", ".G....G.", ".GGGGGG.", "........"}},
        {"focus", [&](pellium::Graphics& g) {
             g.setColor(GuiColor::black);
             g.drawFocusRect(r);
         },
         {"........", ".#.#.#..", "......#.", ".#......", "......#.", ".#.#.#..", "........"}},
    };
    for (const auto& c : cases) {
        Surface s(8, 7);
        c.draw(s.g);
        EXPECT_EQ(s.rows(), c.picture) << c.name;
    }
    // The dotted outline made from single plots lights the same pixels.
    RecordingGraphics plotted;
    plotted.begin(nullptr, {0, 0, 8, 7});
    plotted.drawFocusRect(r);
    Surface s(8, 7);
    s.g.setColor(GuiColor::black);
    s.g.drawFocusRect(r);
    EXPECT_EQ(plotted.plots, lit(s.g, GuiColor::black));
}

TEST(GdiDrawingTest, LinesInEveryOctantLeaveOutTheirLastPixel) {
    // The reference: at each step along the longer axis, the pixel of the
    // other axis nearest the true line (a tie goes toward the far end).
    auto expected = [](int x1, int y1, int x2, int y2) {
        std::set<std::pair<int, int>> points;
        int dx = x2 - x1, dy = y2 - y1, n = std::max(std::abs(dx), std::abs(dy));
        for (int i = 0; i < n; ++i) {
            double t = double(i) / n, fx = x1 + t * dx, fy = y1 + t * dy;
            auto nearest = [](double v) {
                int best = int(std::floor(v));
                return v - best >= 0.5 ? best + 1 : best;
            };
            int px = std::abs(dx) == n ? x1 + i * (dx > 0 ? 1 : -1) : (dx > 0 ? nearest(fx) : -nearest(-fx));
            int py = std::abs(dy) == n ? y1 + i * (dy > 0 ? 1 : -1) : (dy > 0 ? nearest(fy) : -nearest(-fy));
            points.insert({px, py});
        }
        return points;
    };
    const int ends[][2] = {{37, 33}, {33, 37}, {23, 37}, {17, 33}, {17, 27}, {23, 17}, {33, 17}, {37, 27},
                           {45, 30}, {30, 45}, {15, 15}, {36, 29}};
    for (auto [x2, y2] : ends) {
        Surface s(60, 60);
        s.g.setColor(GuiColor::black);
        s.g.drawLine(30, 30, x2, y2);
        std::set<std::pair<int, int>> want = expected(30, 30, x2, y2);
        if (x2 == 30 || y2 == 30)
            want.insert({x2, y2});  // straight lines show both ends
        EXPECT_EQ(lit(s.g, GuiColor::black), want) << "to " << x2 << "," << y2;
    }
    // Straight lines either way round, and a line far off the surface crossing it.
    Surface s(60, 20);
    s.g.setColor(GuiColor::black);
    s.g.drawLine(5, 5, 9, 5);
    s.g.drawLine(5, 9, 5, 6);
    s.g.pushClip({0, 0, 60, 15});
    s.g.drawLine(-100000, 12, 100000, 18);
    s.g.popClip();
    std::set<std::pair<int, int>> want = {{5, 5}, {6, 5}, {7, 5}, {8, 5}, {9, 5}, {5, 6}, {5, 7}, {5, 8}, {5, 9}};
    for (auto p : expected(-100000, 12, 100000, 18))
        if (p.first >= 0 && p.first < 60 && p.second < 15)
            want.insert(p);
    EXPECT_EQ(lit(s.g, GuiColor::black), want);
}

// Shapes anywhere in the int range draw their visible part: the pixels a
// shape at ordinary coordinates draws that agrees with them on and around a
// 100 x 100 surface (dotted outlines start an even distance apart, so their
// dots fall alike), walking no more than the surface's pixels (a fill may
// cover them all) and ten times round it.
TEST(GdiDrawingTest, ExtremeCoordinatesDrawTheVisiblePart) {
    TestFonts fonts;
    DistinctColours colours;
    const pellium::Font font(pellium::FontKey(125, 13, 0));
    const std::uint32_t pixels[] = {0xFF0000FF, 0xFF00FF00, 0xFF0000FF, 0xFF00FF00, 0xFF0000FF, 0xFF00FF00};
    pellium::Image image(3, 2, pixels);
    image.setHotSpot(5, 5);
    constexpr int lo = INT_MIN, hi = INT_MAX, big = 800000000;
    using G = pellium::Graphics;
    using Shape = std::function<void(G&, const Rect&)>;
    const std::pair<const char*, Shape> shapes[] = {
        {"outline", [](G& g, const Rect& r) { g.drawRect(r); }},
        {"sunken", [](G& g, const Rect& r) { g.drawSunkenEdge(r, true); }},
        {"raised edge", [](G& g, const Rect& r) { g.drawRaisedEdge(r); }},
        {"well", [](G& g, const Rect& r) { g.drawWell(r, GuiColor::face); }},
        {"raised button", [](G& g, const Rect& r) { g.drawRaisedButton(r); }},
        {"etched", [](G& g, const Rect& r) { g.drawEtchedRect(r, false); }},
        {"separators", [](G& g, const Rect& r) {
             g.drawHorizontalSeparator(r.x, r.y, r.width);
             g.drawVerticalSeparator(r.x, r.y, r.height);
         }},
        {"focus", [](G& g, const Rect& r) { g.drawFocusRect(r); }},
        {"fill", [](G& g, const Rect& r) { g.fillRect(r); }},
        {"clip", [](G& g, const Rect& r) {
             g.pushClip(r);
             g.fillRect({0, 0, 100, 100});
             g.popClip();
         }},
    };
    const std::pair<Rect, Rect> rects[] = {
        {{lo, lo, hi, hi}, {-1000, -1000, 999, 999}},  {{10, 20, hi, hi}, {10, 20, 1001, 1001}},
        {{-big, -big, big + 50, big + 50}, {-1000, -1000, 1050, 1050}},
        {{-big, 30, 2 * big, 40}, {-1000, 30, 2000, 40}}, {{hi - 5, 30, 10, 40}, {1000, 30, 10, 40}},
        {{30, lo, 40, 60}, {30, -1000, 40, 60}},
    };
    struct Case {
        std::string name;
        std::function<void(G&)> far, near;
    };
    std::vector<Case> cases;
    for (const auto& [name, shape] : shapes)
        for (const auto& [far, near] : rects)
            cases.push_back({std::string(name) + " " + std::to_string(far.x) + "," + std::to_string(far.y),
                             [&, far = far](G& g) { shape(g, far); }, [&, near = near](G& g) { shape(g, near); }});
    auto lines = [](std::vector<std::array<int, 4>> ends) {
        return [ends](G& g) {
            for (const auto& e : ends)
                g.drawLine(e[0], e[1], e[2], e[3]);
        };
    };
    cases.push_back({"lines", lines({{lo, lo, hi, hi}, {lo, 50, hi, 50}, {50, lo, 50, hi}, {lo, lo, hi, lo}, {hi, lo, hi, hi}}),
                     lines({{-1000, -1000, 1000, 1000}, {-1000, 50, 1000, 50}, {50, -1000, 50, 1000}, {0, -1000, 1, -1000}})});
    // Text and pictures at the four ends of the range, or 1000 pixels off the surface.
    auto atEnds = [](int off, std::function<void(G&, int, int)> draw) {
        return [off, draw](G& g) {
            for (auto [x, y] : {std::pair{lo + off, 50}, {hi - off, 50}, {50, lo + off}, {50, hi - off}})
                draw(g, x, y);
        };
    };
    auto text = [&font](G& g, int x, int y) { g.drawString("AB", &font, x, y); };
    auto picture = [&image](G& g, int x, int y) { g.drawImage(image, x, y); };
    cases.push_back({"text", atEnds(0, text), atEnds(hi - 1000, text)});
    cases.push_back({"pictures", atEnds(0, picture), atEnds(hi - 1000, picture)});
    for (const Case& c : cases) {
        Surface far(100, 100), near(100, 100);
        far.g.setColor(GuiColor::black);
        near.g.setColor(GuiColor::black);
        const long long before = far.g.pixelsWalked();
        c.far(far.g);
        EXPECT_LT(far.g.pixelsWalked() - before, 100 * 100 + 10 * 400) << c.name;
        c.near(near.g);
        EXPECT_EQ(far.rows(), near.rows()) << c.name;
    }

    // A line from one end of the range to the other, just off the diagonal,
    // against exact arithmetic: at each column the nearest row, halves upward.
    Surface s(100, 100);
    s.g.setColor(GuiColor::black);
    const long long x1 = -2000000000, y1 = -2000000000, dx = 4000000000, dy = 3999999999;
    s.g.drawLine(int(x1), int(y1), int(x1 + dx), int(y1 + dy));
    std::set<std::pair<int, int>> want;
    for (long long x = 0; x < 100; ++x) {
        const long long i = x - x1, y = y1 + i * dy / dx + (2 * (i * dy % dx) >= dx);
        if (y >= 0 && y < 100)
            want.insert({int(x), int(y)});
    }
    EXPECT_EQ(want.size(), 100u);
    EXPECT_EQ(lit(s.g, GuiColor::black), want);
}

TEST(GdiDrawingTest, ClipsChangeTheDeviceClipOnlyWhenTheyDiffer) {
    RecordingGraphics g;
    g.begin(nullptr, {0, 0, 100, 50});
    g.pushClip({0, 0, 100, 50});
    g.popClip();
    g.pushClip({10, 10, 200, 20});
    g.pushClip({500, 0, 5, 5});
    EXPECT_TRUE(g.clipIsEmpty());
    g.popClip();
    g.popClip();
    EXPECT_EQ(g.log, (std::vector<std::string>{"clip 0 0 100 50", "clip 10 10 90 20", "clip 10 10 90 20",
                                               "clip 0 0 100 50"}));

    // Drawing stays inside the clip and the area of the pass.
    Surface s(30, 20);
    s.g.begin(nullptr, {2, 2, 26, 16});
    s.g.pushClip({0, 0, 10, 100});
    s.g.setColor(GuiColor::black);
    s.g.fillRect({0, 0, 30, 20});
    s.g.drawLine(0, 10, 29, 10);
    s.g.popClip();
    s.g.drawLine(0, 1, 29, 19);
    EXPECT_EQ(lit(s.g, GuiColor::black).size(), 8u * 16u + 17u) << "the block and the diagonal's pixels right of it";
    EXPECT_EQ(s.g.pixelAt(1, 1), guitest::bufferPixel(GuiColor::red));
}

TEST(GdiDrawingTest, TextStandsOnItsBaselineAndUnderlinesWithTheFont) {
    TestFonts fonts;  // 6 wide, ascent 10, descent 3; glyphs fill x .. x+4 above the baseline
    DistinctColours colours;
    pellium::Font plain(pellium::FontKey(125, 13, 0)), underlined(pellium::FontKey(125, 13, 4));
    Surface s(40, 40);
    s.g.setColor(GuiColor::black);
    s.g.drawString("AB", &plain, 3, 20);
    std::set<std::pair<int, int>> want;
    for (int x : {3, 4, 5, 6, 7, 9, 10, 11, 12, 13})
        for (int y = 21; y <= 30; ++y)
            want.insert({x, y});
    EXPECT_EQ(lit(s.g, GuiColor::black), want);
    Surface e(10, 20);
    e.g.setColor(GuiColor::black);
    e.g.drawString("\xC9", &plain, 1, 2);
    EXPECT_EQ(lit(e.g, GuiColor::black).size(), 5u * 10u) << "a byte above 127 is a character like any other";

    Surface u(40, 20);
    u.g.setColor(GuiColor::black);
    u.g.drawString("A A", &underlined, 2, 5);
    EXPECT_EQ(u.rows({0, 3, 22, 4}), (Rows{"..#####.......#####...", "......................",
                                          "..##################..", "......................"}));

    // Centred on the rectangle's middle, the baseline (height - ascent) / 2 up;
    // fitted text keeps only what ends within the width.
    Surface c(60, 40);
    c.g.setColor(GuiColor::black);
    c.g.drawStringCentered("AB", &plain, {0, 0, 60, 25});
    EXPECT_EQ(lit(c.g, GuiColor::black).count({24, 8}), 1u);
    EXPECT_EQ(lit(c.g, GuiColor::black).count({23, 8}), 0u);
    EXPECT_EQ(lit(c.g, GuiColor::black).count({24, 7}), 0u);
    Surface f(60, 40);
    f.g.setColor(GuiColor::black);
    f.g.drawStringFitted("ABCD", &plain, 10, 2, 17, true);
    f.g.drawStringFitted("AB", &plain, 10, 20, 20, true);  // narrower: centred, 8 to spare
    EXPECT_EQ(f.rows({10, 12, 18, 1}), (Rows{"#####.#####......."}));
    EXPECT_EQ(f.rows({10, 21, 18, 1}), (Rows{"....#####.#####..."}));
}

TEST(GdiDrawingTest, ImagesCoverOnlyWhereOpaqueFromTheirBottomRowAndHotSpot) {
    DistinctColours colours;
    const std::uint32_t blue = 0xFF0000FF, green = 0xFF00FF00, clear = 0x00FFFFFF, half = 0x80FF00FF;
    const std::uint32_t pixels[] = {blue, clear, blue, half, green, green, clear, clear};  // bottom row first
    pellium::Image image(4, 2, pixels);
    Surface s(8, 5);
    s.g.drawImage(image, 1, 1);
    image.setHotSpot(-1, 1);
    s.g.drawImage(image, 3, 3);
    std::uint32_t magenta = 0xFFFF00FF;
    EXPECT_EQ(s.g.pixelAt(1, 1), blue);
    EXPECT_EQ(s.g.pixelAt(2, 1), guitest::bufferPixel(GuiColor::red)) << "alpha 0 shows what lies under";
    EXPECT_EQ(s.g.pixelAt(4, 1), magenta) << "alpha 128 covers";
    EXPECT_EQ(s.g.pixelAt(1, 2), green);
    EXPECT_EQ(s.g.pixelAt(3, 2), guitest::bufferPixel(GuiColor::red));
    EXPECT_EQ(s.g.pixelAt(4, 2), blue) << "drawn again one right and one down of (3, 3)";
    EXPECT_EQ(s.g.pixelAt(4, 3), green);

    // An opaque picture is copied whole; alpha plays no part.
    pellium::Image opaque(2, 1, pixels);
    opaque.setMode(3);
    Surface o(4, 2);
    o.g.drawImage(opaque, 0, 0);
    EXPECT_EQ(o.g.pixelAt(1, 0), 0xFFFFFFFFu);

    // The disabled form: dark pixels in shadow, highlight one right of and
    // one below each, the rest see-through; made once and kept.
    const std::uint32_t dark = 0xFF404040, light = 0xFFE0E0E0;
    const std::uint32_t picture[] = {light, light, light, dark, dark, light, dark, light, light};
    pellium::Image icon(3, 3, picture);
    Surface d(5, 5);
    d.g.drawImageDisabled(icon, 1, 1);
    EXPECT_EQ(d.rows(), (Rows{".....", ".S...", ".SS..", "..WW.", "....."}));
    const pellium::ImageData* kept = icon.derivedImage().data();
    d.g.drawImageDisabledCentered(icon, {0, 0, 5, 5});
    EXPECT_EQ(icon.derivedImage().data(), kept);
}

// What the display shows, read by ImageMagick's import from the X server,
// is what the back buffer holds.
TEST_F(GraphicsTest, ScreenshotEqualsTheBackBuffer) {
    TestFonts fonts;
    pellium::Font font(pellium::FontKey(125, 12, 4));
    const std::uint32_t pixels[] = {0xFF123456, 0x00000000, 0xFF00FF00, 0xFFFFFFFF};
    pellium::Image image(2, 2, pixels);
    drawn([&](pellium::Graphics& g) {
        g.drawRaisedButton({5, 5, 60, 30});
        g.setColor(GuiColor::blue);
        g.drawLine(0, 79, 119, 0);
        g.drawString("Hello", &font, 10, 50);
        g.drawImage(image, 100, 60);
        g.drawFocusRect({70, 10, 40, 20});
    });
    const pellium::gdiGraphics& g = window.graphics();
    unsigned long xid = platform::x11WindowOf(window.getHWND());
    ASSERT_NE(xid, 0u);
    std::string command = "import -window " + std::to_string(xid) + " -depth 8 ppm:-";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    int width = 0, height = 0, maxValue = 0;
    ASSERT_EQ(std::fscanf(pipe, "P6 %d %d %d", &width, &height, &maxValue), 3);
    std::fgetc(pipe);
    ASSERT_EQ(maxValue, 255);
    std::vector<unsigned char> rgb(size_t(width) * size_t(height) * 3);
    size_t got = std::fread(rgb.data(), 1, rgb.size(), pipe);
    pclose(pipe);
    ASSERT_EQ(got, rgb.size());
    ASSERT_EQ(width, g.surfaceWidth());
    ASSERT_EQ(height, g.surfaceHeight());
    int differ = 0;
    for (int i = 0; i < width * height; ++i) {
        std::uint32_t shown = 0xFF000000u | std::uint32_t(rgb[3 * i]) << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2];
        if (shown != g.surface()[i] && differ++ < 5)
            ADD_FAILURE() << i % width << "," << i / width << " " << std::hex << shown << " " << g.surface()[i];
    }
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(g.pixelAt(100, 61), 0xFF00FF00u);
}
