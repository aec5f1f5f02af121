#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

#include "gui/Color.h"
#include "gui/GuiColor.h"
#include "platform/SystemColors.h"

using pellium::Color;
using pellium::GuiColor;
using pellium::HSV;

namespace {

class GuiColorTest : public ::testing::Test {
protected:
    void TearDown() override { platform::resetSystemColors(); }
};

std::uint32_t rgb(int value) { return GuiColor(GuiColor::gui_color(value)).toRGB(); }

}  // namespace

TEST_F(GuiColorTest, SchemeColoursFollowTheDesktopTableWithFullAlpha) {
    using S = platform::SystemColor;
    const S order[] = {S::DarkShadow3D, S::DarkShadow3D, S::ButtonShadow, S::ButtonFace, S::Light3D,
                       S::ButtonHighlight, S::ButtonHighlight, S::ButtonText, S::GrayText, S::MenuBar,
                       S::MenuText, S::Menu, S::MenuHighlight, S::Window, S::WindowText, S::InfoBackground,
                       S::InfoText, S::HighlightText, S::Highlight};
    // A distinct value per entry shows that each role reads its own entry.
    for (int i = 0; i < int(S::Count); ++i)
        platform::setSystemColor(S(i), 0x101010u * unsigned(i + 1) + 0x000201u);
    for (int v = 0; v <= 18; ++v) {
        std::uint32_t expected = platform::systemColor(order[v]) | 0xFF000000u;
        if (v == 1)
            expected += 0x080808u;
        if (v == 5)
            expected -= 0x080808u;
        EXPECT_EQ(rgb(v), expected) << "value " << v;
    }
}

TEST_F(GuiColorTest, FixedColoursAndOpaqueBlackOutsideTheEnumerationAsWordsAndColours) {
    const std::pair<int, std::uint32_t> cases[] = {
        {GuiColor::black, 0xFF000000u},   {GuiColor::white, 0xFFFFFFFFu},  {GuiColor::red, 0xFF0000FFu},
        {GuiColor::green, 0xFF00FF00u},   {GuiColor::blue, 0xFFFF0000u},   {GuiColor::cyan, 0xFFFFFF00u},
        {GuiColor::magenta, 0xFFFF00FFu}, {GuiColor::yellow, 0xFF00FFFFu}, {GuiColor::transparent, 0u},
        {28, 0xFF000000u},                {-1, 0xFF000000u},               {1000000, 0xFF000000u}};
    for (auto [value, expected] : cases) {
        EXPECT_EQ(rgb(value), expected) << "value " << value;
        Color c;
        GuiColor(GuiColor::gui_color(value)).toRGB(c);
        EXPECT_EQ(c.toPacked(), expected) << "value " << value << " into a colour";
    }
}

TEST_F(GuiColorTest, LitAndDimShiftTheWholeWordWithCarries) {
    platform::setSystemColor(platform::SystemColor::DarkShadow3D, 0x404040);
    EXPECT_EQ(rgb(GuiColor::dark_shadow_lit), 0xFF484848u);
    // 0xFC + 8 carries into the next byte instead of clamping.
    platform::setSystemColor(platform::SystemColor::DarkShadow3D, 0x0000FC);
    EXPECT_EQ(rgb(GuiColor::dark_shadow_lit), 0xFF080904u);
    // 0x000000 - 0x080808 borrows from the alpha byte.
    platform::setSystemColor(platform::SystemColor::ButtonHighlight, 0x000000);
    EXPECT_EQ(rgb(GuiColor::highlight_dim), 0xFEF7F7F8u);
}

TEST(ColorTest, PackedRoundTripAndByteOrder) {
    Color c;
    c.fromPacked(0x80FF4000u);
    EXPECT_FLOAT_EQ(c.red, 0);
    EXPECT_FLOAT_EQ(c.green, 64.0f / 255);
    EXPECT_FLOAT_EQ(c.blue, 1);
    EXPECT_FLOAT_EQ(c.alpha, 128.0f / 255);
    for (std::uint32_t w : {0u, 0xFFFFFFFFu, 0x12345678u, 0x80FF4000u, 0x01020304u})
        EXPECT_EQ((c.fromPacked(w), c.toPacked()), w) << std::hex << w;
}

TEST(ColorTest, ToPackedTruncatesAndHoldsBadChannelsInRange) {
    Color c{0.999f, 0, 0, 1};
    EXPECT_EQ(c.toPacked() & 0xFF, 254u);
    Color wild{2.0f, -1.0f, 0.5f, 1.0f};
    EXPECT_EQ(wild.toPacked(), 0xFF7F00FFu);
    Color nan{std::numeric_limits<float>::quiet_NaN(), 0, 0, 1};
    EXPECT_EQ(nan.toPacked() & 0xFF, 0u);
}

TEST(ColorTest, FromHsvSectors) {
    struct Case {
        float h, r, g, b;
    } cases[] = {{0, 1, 0, 0},       {60, 1, 1, 0},     {120, 0, 1, 0},  {180, 0, 1, 1},
                 {240, 0, 0, 1},     {300, 1, 0, 1},    {30, 1, 0.5f, 0}, {90, 0.5f, 1, 0},
                 {150, 0, 1, 0.5f},  {210, 0, 0.5f, 1}, {270, 0.5f, 0, 1}, {330, 1, 0, 0.5f}};
    for (const Case& k : cases) {
        Color c = Color::fromHSV(k.h, 1, 1);
        EXPECT_NEAR(c.red, k.r, 1e-5) << k.h;
        EXPECT_NEAR(c.green, k.g, 1e-5) << k.h;
        EXPECT_NEAR(c.blue, k.b, 1e-5) << k.h;
        EXPECT_FLOAT_EQ(c.alpha, 1);
    }
}

TEST(ColorTest, FromHsvWrapsHueAndClampsSaturationAndValue) {
    Color a = Color::fromHSV(-30, 1, 1), b = Color::fromHSV(330, 1, 1), c = Color::fromHSV(690, 1, 1);
    EXPECT_FLOAT_EQ(a.red, 1);
    EXPECT_FLOAT_EQ(a.green, 0);
    EXPECT_NEAR(a.blue, 0.5f, 1e-5);
    EXPECT_EQ(a.toPacked(), b.toPacked());
    EXPECT_EQ(c.toPacked(), b.toPacked());
    EXPECT_EQ(Color::fromHSV(200, 2, 1).toPacked(), Color::fromHSV(200, 1, 1).toPacked());
    EXPECT_EQ(Color::fromHSV(200, 0.5f, 7).toPacked(), Color::fromHSV(200, 0.5f, 1).toPacked());
    Color grey = Color::fromHSV(123, 0, 0.25f);
    EXPECT_FLOAT_EQ(grey.red, 0.25f);
    EXPECT_FLOAT_EQ(grey.green, 0.25f);
    EXPECT_FLOAT_EQ(grey.blue, 0.25f);
    Color black = Color::fromHSV(10, -3, -3);
    EXPECT_EQ(black.toPacked(), 0xFF000000u);
}

TEST(ColorTest, FromHsvTakesHuesOfAnySizeAndJustBelow360StaysInTheLastSector) {
    // Far out, 360 is below a float's step: wrapping by subtraction would never end.
    EXPECT_EQ(Color::fromHSV(1e12f, 1, 1).toPacked(), Color::fromHSV(std::fmod(1e12f, 360.0f), 1, 1).toPacked());
    EXPECT_EQ(Color::fromHSV(-1e30f, 1, 1).toPacked(), Color::fromHSV(360 - std::fmod(1e30f, 360.0f), 1, 1).toPacked());
    EXPECT_EQ(Color::fromHSV(-1e-9f, 1, 1).toPacked(), 0xFF0000FFu) << "a hue that rounds to 360 is red";
    for (float bad : {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                      std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(Color::fromHSV(bad, 1, 1).toPacked(), 0xFF0000FFu) << "no hue reads as hue 0";
    // The sector factor is a shade above 1/60, so this hue computes as sector 6.
    Color c = Color::fromHSV(359.99997f, 1, 1);
    EXPECT_FLOAT_EQ(c.red, 1);
    EXPECT_FLOAT_EQ(c.green, 0);
    EXPECT_NEAR(c.blue, 0, 1e-4);
}

TEST(ColorTest, ToHsvClampsChannelsAndGreyKeepsAnEarlierHueOnlyWhenInRange) {
    struct Case {
        Color colour;
        float earlierHue, hue, saturation, value;
    } cases[] = {
        {{0, 1, 0, 1}, 0, 120, 1, 1},
        {{1, 0, 0.5f, 1}, 0, 330, 1, 1},
        {{0.2f, 0.2f, 0.8f, 1}, 0, 240, 0.75f, 0.8f},
        {{0, 0, 0, 1}, 0, 0, 0, 0},
        {{3, -1, -1, 1}, 0, 0, 1, 1},  // out-of-range channels are clamped first
        {{0.5f, 0.5f, 0.5f, 1}, 200, 200, 0, 0.5f},
        {{0.5f, 0.5f, 0.5f, 1}, 400, 0, 0, 0.5f},
        {{0.5f, 0.5f, 0.5f, 1}, -5, 0, 0, 0.5f},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(::testing::Message() << k.colour.red << " " << k.colour.green << " " << k.colour.blue << " after "
                                          << k.earlierHue);
        HSV hsv;
        hsv.hue = k.earlierHue;
        k.colour.toHSV(hsv);
        EXPECT_FLOAT_EQ(hsv.hue, k.hue);
        EXPECT_FLOAT_EQ(hsv.saturation, k.saturation);
        EXPECT_FLOAT_EQ(hsv.value, k.value);
    }
}

TEST(ColorTest, HsvRoundTrip) {
    for (float h = 0; h < 360; h += 7.5f)
        for (float s : {0.25f, 0.5f, 1.0f}) {
            HSV hsv;
            Color::fromHSV(h, s, 0.75f).toHSV(hsv);
            EXPECT_NEAR(hsv.hue, h, 1e-3) << h << " " << s;
            EXPECT_NEAR(hsv.saturation, s, 1e-5);
            EXPECT_NEAR(hsv.value, 0.75f, 1e-5);
        }
}
