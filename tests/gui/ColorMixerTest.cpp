// The colour mixer: geometry and hit tests worked out from the side, drags
// driven by injected input in an open window, and the picture rendered
// off-screen (under Xvfb with Mesa) only when the colour changed.
#include <gtest/gtest.h>

#include <cmath>

#include "gui/GuiColor.h"
#include "gui/gdiGraphics.h"
#include "gui/gl/ColorMixer.h"
#include "gui/gl/ColorMixerInternals.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Pictures.h"
#include "tests/support/WidgetDriver.h"

using Hit = pellium::ColorMixerInternals::Hit;
using pellium::Color;
using pellium::ColorMixerInternals;

namespace {

// The point at an angle (degrees) and distance from the centre.
std::pair<float, float> polar(const ColorMixerInternals& m, float distance, float angle) {
    const float a = angle * 3.14159265f / 180;
    return {m.centre - distance * std::sin(a), m.centre + distance * std::cos(a)};
}

}  // namespace

TEST(ColorMixerGeometryTest, RingTriangleAndHitsFollowFromTheSide) {
    const struct {
        int side;
        float c, R, r, triangleSide, height, apex, base, left;
    } sizes[] = {{100, 50, 49, 36.75f, 63.653f, 55.125f, 86.75f, 31.625f, 18.173f},
                 {99, 49, 48, 36, 62.354f, 54, 85, 31, 17.823f}};
    for (const auto& k : sizes) {
        ColorMixerInternals m(k.side);
        const float got[] = {m.centre, m.outerRadius, m.innerRadius, m.triangleSide, m.triangleHeight,
                             m.apexY,  m.baseY,       m.baseLeftX,   m.baseRightX - 2 * (m.baseRightX - m.centre)};
        const float want[] = {k.c, k.R, k.r, k.triangleSide, k.height, k.apex, k.base, k.left, k.left};
        for (int i = 0; i < 9; ++i)
            EXPECT_NEAR(got[i], want[i], 1e-3) << "side " << k.side << " value " << i;
    }
    ColorMixerInternals m(100);  // hue 0: the pure hue's corner points up
    const struct {
        float distance, angle;
        Hit hit;
    } presses[] = {{49, 0, Hit::hue}, {49, 200, Hit::hue}, {36.75f, 60, Hit::hue}, {49.01f, 0, Hit::nothing},
                   {36.7f, 60, Hit::nothing}, {36.7f, 0, Hit::triangle}, {0, 0, Hit::triangle},
                   {18, 180, Hit::triangle}, {18.5f, 180, Hit::nothing}};
    for (const auto& k : presses) {
        auto [x, y] = polar(m, k.distance, k.angle);
        EXPECT_EQ(m.hitTest(x, y), k.hit) << "distance " << k.distance << " angle " << k.angle;
    }
    EXPECT_EQ(m.hitTest(50, 99), Hit::hue) << "exactly on the outer radius";
    // Turned a quarter: saturation and value at the corners and the middle, and the marker back there.
    m.hsv.hue = 90;
    const struct {
        float distance, angle, saturation, value;
    } points[] = {{36.7f, 90, 1, 1}, {36.7f, 330, 0, 1}, {0, 0, 0.5f, 2.0f / 3}, {18.375f, 30, 0.5f, 1}};
    for (const auto& k : points) {
        auto [x, y] = polar(m, k.distance, k.angle);
        EXPECT_TRUE(m.mapToTriangle(x, y, m.hsv.saturation, m.hsv.value));
        EXPECT_NEAR(m.hsv.saturation, k.saturation, 2e-3) << k.distance << " at " << k.angle;
        EXPECT_NEAR(m.hsv.value, k.value, 2e-3) << k.distance << " at " << k.angle;
        float mx, my;
        m.markerPoint(mx, my);
        EXPECT_NEAR(std::hypot(mx - x, my - y), 0, 1e-3);
    }
}

// At the black corner every saturation gives black: a press there keeps the
// saturation there was instead of dividing by a value of nothing.
TEST(ColorMixerGeometryTest, TheBlackCornerKeepsTheSaturation) {
    ColorMixerInternals m(98);  // radius 36: the corner of hue 240 lies on (49, 85)
    m.hsv = {240, 0.3f, 0.5f};
    m.draggingTriangle = true;
    m.apply(49, 85);
    EXPECT_EQ(m.hsv.value, 0);
    EXPECT_FLOAT_EQ(m.hsv.saturation, 0.3f);
    EXPECT_EQ(m.colour.toPacked(), 0xFF000000u);
}

namespace {

class ColorMixerDriveTest : public guitest::WidgetDriveTest {
protected:
    void SetUp() override {
        WidgetDriveTest::SetUp();
        mixer = place(new pellium::ColorMixer(100), {20, 30, 100, 100}, 7);
    }
    // Drags from a point of the picture through others, as window positions.
    void drag(std::initializer_list<std::pair<float, float>> polarPoints) {
        int x = 0, y = 0;
        bool first = true;
        for (auto [distance, angle] : polarPoints) {
            auto [px, py] = polar(mixer->internals(), distance, angle);
            x = 20 + int(std::lround(px)), y = 30 + int(std::lround(py));
            move(x, y);
            if (first)
                down(x, y);
            first = false;
        }
        up(x, y);
    }
    const pellium::HSV& hsv() { return mixer->internals().hsv; }
    pellium::ColorMixer* mixer = nullptr;
};

}  // namespace

TEST_F(ColorMixerDriveTest, RingDragsTurnTheHueAndTriangleDragsStayOnTheTriangle) {
    drag({{43, 90}, {43, 180}, {400, 180}});
    EXPECT_NEAR(hsv().hue, 180, 0.5) << "far outside the drag goes on by the angle";
    EXPECT_EQ(messages.got, (guitest::Pairs{{7, 0}, {7, 1}, {7, 1}, {7, 1}, {7, 1}, {7, 2}}));
    EXPECT_EQ(mixer->getColor().toPacked(), Color::fromHSV(hsv().hue, 0.85f, 0.88f).toPacked());
    EXPECT_EQ(pellium::Window::getKeyboardFocus(), mixer);
    for (float angle : {0.0f, 70.0f, 135.0f, 250.0f}) {
        drag({{0, 0}, {300, angle}});
        const pellium::HSV& h = hsv();
        EXPECT_NEAR(h.hue, 180, 0.5) << "a triangle drag leaves the hue";
        EXPECT_TRUE(h.saturation == 0 || h.saturation == 1 || h.value == 0 || h.value == 1)
            << "towards " << angle << ": " << h.saturation << " " << h.value;
    }
    messages.got.clear();
    drag({{36, 150}});  // just inside the ring, beside the triangle
    drag({{70, 45}});
    EXPECT_TRUE(messages.got.empty());
    EXPECT_EQ(pellium::Window::getMouseGrab(), nullptr);
}

TEST_F(ColorMixerDriveTest, ThePictureIsRenderedOnlyWhenTheColourChanged) {
    LogCapture log;
    window.repaint();
    window.repaint();
    mixer->revalidate();
    EXPECT_EQ(log.count("Rendering a bitmap...\n"), 1);
    mixer->setColor(Color{0, 1, 0, 1});  // hue 120
    EXPECT_EQ(log.count("Rendering a bitmap...\n"), 2) << "setting the colour shows it";
    mixer->setColor(Color{0, 1, 0, 0.5f});
    EXPECT_EQ(log.count("Rendering a bitmap...\n"), 2) << "same hue, saturation and value";
    EXPECT_EQ(mixer->getColor().toPacked(), 0x7F00FF00u);
    // The hue's corner, black and white, the ring's hues, the ground around it.
    const pellium::Image& p = mixer->internals().picture;
    const std::uint32_t face = guitest::bufferPixel(pellium::GuiColor::face);
    const struct {
        float distance, angle;
        std::uint32_t colour;
    } probes[] = {{30, 120, 0xFF00FF00u}, {33, 240, 0xFF000000u}, {33, 0, 0xFFFFFFFFu},  {40, 0, 0xFFFF0000u},
                  {40, 240, 0xFF0000FFu}, {45, 300, 0xFFFF00FFu}, {70, 45, face}};
    for (const auto& q : probes) {
        auto [x, y] = polar(mixer->internals(), q.distance, q.angle);
        const std::uint32_t got = p.constPixels()[std::lround(y) * 100 + std::lround(x)];
        for (int shift = 0; shift < 32; shift += 8)
            EXPECT_NEAR(int(got >> shift & 0xFF), int(q.colour >> shift & 0xFF), 24)
                << std::hex << got << " at " << std::dec << q.distance << ", " << q.angle;
    }
    EXPECT_EQ(window.graphics().pixelAt(70, 80), p.constPixels()[50 * 100 + 50]) << "shown in the window";
}
