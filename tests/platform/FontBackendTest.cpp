// The FreeType backend against the installed Liberation fonts, the test
// backend's exact numbers and glyphs.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/FreeTypeFonts.h"
#include "platform/TestFontBackend.h"

using platform::FontRequest;
using platform::FreeTypeFontBackend;
using platform::PlatformFont;
using platform::TestFontBackend;
using platform::TextMetrics;

namespace {

FontRequest named(const std::string& name, int height, int weight = 400, bool italic = false) {
    FontRequest r;
    r.faceName = name;
    r.height = height;
    r.weight = weight;
    r.italic = italic;
    return r;
}

FontRequest stock(FontRequest::Stock s) {
    FontRequest r;
    r.stock = s;
    return r;
}

int width(PlatformFont& font, unsigned char c) {
    int w = -999;
    EXPECT_TRUE(font.charWidth(c, w)) << int(c);
    return w;
}

int characterHeight(const TextMetrics& m) {
    return m.ascent + m.descent - m.internalLeading;
}

// An 8-bit canvas and what was drawn into it.
struct Canvas {
    Canvas(int w, int h) : pixels(size_t(w) * size_t(h), 0), canvas{pixels.data(), w, h, w} {}
    Canvas(const Canvas& o)
        : pixels(o.pixels), canvas{pixels.data(), o.canvas.width, o.canvas.height, o.canvas.width} {}

    uint8_t at(int x, int y) const { return pixels[size_t(y) * size_t(canvas.width) + size_t(x)]; }
    int count() const { return int(std::count(pixels.begin(), pixels.end(), uint8_t(255))); }
    bool onlyZeroOr255() const {
        return std::all_of(pixels.begin(), pixels.end(), [](uint8_t p) { return p == 0 || p == 255; });
    }
    // The rows and columns that hold drawn pixels; top > bottom when empty.
    struct Box {
        int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
    };
    Box bounds() const {
        Box b;
        for (int y = 0; y < canvas.height; ++y)
            for (int x = 0; x < canvas.width; ++x)
                if (at(x, y)) {
                    b.left = std::min(b.left, x);
                    b.right = std::max(b.right, x);
                    b.top = std::min(b.top, y);
                    b.bottom = std::max(b.bottom, y);
                }
        return b;
    }

    std::vector<uint8_t> pixels;
    platform::GlyphCanvas canvas;
};

// The characters drawn with their baseline at (5, 30) of a 40 x 40 canvas.
Canvas drawn(PlatformFont& font, std::initializer_list<unsigned char> characters) {
    Canvas c(40, 40);
    for (unsigned char ch : characters)
        font.drawChar(ch, c.canvas, 5, 30);
    return c;
}

class FreeTypeFontsTest : public ::testing::Test {
protected:
    std::unique_ptr<PlatformFont> open(const FontRequest& r) {
        auto font = backend.open(r);
        EXPECT_TRUE(font) << r.faceName << " " << r.height;
        return font;
    }

    FreeTypeFontBackend backend;
};

TEST_F(FreeTypeFontsTest, FindsTheClassicFamiliesThroughTheirMetricTwins) {
    for (auto [family, twin] : {std::pair{"Courier", "Liberation Mono"}, {"Times", "Liberation Serif"},
                                {"Arial", "Liberation Sans"}, {"Liberation Sans", "Liberation Sans"}}) {
        EXPECT_TRUE(backend.hasFamily(family)) << family;
        EXPECT_EQ(open(named(family, -14))->familyName(), twin);
    }
    // A generic name is no installed family.
    for (const char* family : {"No Such Family Xyz", "", "sans-serif"})
        EXPECT_FALSE(backend.hasFamily(family)) << family;
}

TEST_F(FreeTypeFontsTest, PositiveHeightIsTheCellHeightAndZeroTheDefault) {
    for (const char* name : {"Courier", "Times", "Arial"})
        for (int cell : {8, 10, 13, 20, 40}) {
            auto font = open(named(name, cell));
            ASSERT_TRUE(font);
            const TextMetrics& m = font->metrics();
            EXPECT_EQ(m.ascent + m.descent, cell) << name;
            // The em is smaller than the cell by the internal leading.
            EXPECT_LT(characterHeight(m), cell) << name;
        }
    // Zero takes the default character height.
    EXPECT_EQ(characterHeight(open(named("Arial", 0))->metrics()), 12);
}

TEST_F(FreeTypeFontsTest, WidthsAreWholePixelAdvancesThatFollowTheFont) {
    auto mono = open(named("Courier", -14));
    auto sans = open(named("Arial", -14));
    auto sansBold = open(named("Arial", -14, 700));
    auto sansLarge = open(named("Arial", -28));
    ASSERT_TRUE(mono && sans && sansBold && sansLarge);

    const int fixed = width(*mono, 'M');
    for (int c = 32; c < 127; ++c)
        EXPECT_EQ(width(*mono, (unsigned char)c), fixed) << c;
    EXPECT_EQ(fixed, 8);  // 0.6 em

    EXPECT_LT(width(*sans, 'i'), width(*sans, 'm'));
    EXPECT_LT(width(*sans, 'm'), width(*sans, 'W'));
    int regular = 0, bold = 0, large = 0;
    for (char c = 'a'; c <= 'z'; ++c) {
        regular += width(*sans, c);
        bold += width(*sansBold, c);
        large += width(*sansLarge, c);
    }
    EXPECT_GT(bold, regular);
    EXPECT_NEAR(large, 2 * regular, regular / 10);
}

TEST_F(FreeTypeFontsTest, HighBytesAreWindows1252Characters) {
    auto sans = open(named("Arial", -20));
    ASSERT_TRUE(sans);
    // e acute and E acute advance as their plain letters do.
    EXPECT_EQ(width(*sans, 0xE9), width(*sans, 'e'));
    EXPECT_EQ(width(*sans, 0xC9), width(*sans, 'E'));

    // The accent puts e acute's top above the plain e's.
    const Canvas::Box plain = drawn(*sans, {'e'}).bounds(), accented = drawn(*sans, {0xE9}).bounds();
    EXPECT_LT(accented.top, plain.top - 2);
    EXPECT_EQ(accented.bottom, plain.bottom);
    // 0x80 is the euro sign, a real glyph.
    EXPECT_GT(drawn(*sans, {0x80}).count(), 20);
}

TEST_F(FreeTypeFontsTest, DrawsBiLevelGlyphsOnTheBaseline) {
    auto sans = open(named("Arial", -20));
    ASSERT_TRUE(sans);
    Canvas h = drawn(*sans, {'H'});
    EXPECT_TRUE(h.onlyZeroOr255());
    Canvas::Box box = h.bounds();
    EXPECT_EQ(box.bottom, 29);         // sits on the baseline
    EXPECT_NEAR(30 - box.top, 14, 1);  // cap height, 0.716 em
    EXPECT_GE(box.left, 5);
    EXPECT_LT(box.right, 5 + width(*sans, 'H'));

    const int descender = drawn(*sans, {'g'}).bounds().bottom;
    EXPECT_GT(descender, 30);
    EXPECT_LT(descender, 30 + sans->metrics().descent);
    EXPECT_EQ(drawn(*sans, {' ', '\t', 0}).count(), 0);
}

TEST_F(FreeTypeFontsTest, DrawingIsClippedToTheCanvas) {
    auto large = open(named("Arial", -60));
    ASSERT_TRUE(large);
    Canvas small(10, 6);
    for (int x : {-40, -5, 3, 8, 40})
        for (int baseline : {-30, 0, 3, 40, 90})
            large->drawChar('W', small.canvas, x, baseline);
    EXPECT_GT(small.count(), 0);
    EXPECT_TRUE(small.onlyZeroOr255());
}

TEST_F(FreeTypeFontsTest, UnderlineRunsAlongTheAdvanceBelowTheBaseline) {
    FontRequest r = named("Arial", -20);
    r.underline = true;
    auto underlined = open(r);
    ASSERT_TRUE(underlined);
    Canvas space = drawn(*underlined, {' '});
    Canvas::Box box = space.bounds();
    EXPECT_EQ(box.left, 5);
    EXPECT_EQ(box.right, 5 + width(*underlined, ' ') - 1);
    EXPECT_GT(box.top, 29);
    EXPECT_LT(box.bottom, 30 + underlined->metrics().descent);
    EXPECT_EQ(space.count(), (box.right - box.left + 1) * (box.bottom - box.top + 1));
}

TEST_F(FreeTypeFontsTest, AnUnknownFamilyFallsBackByPitchAndFamily) {
    FontRequest fixed = named("No Such Family Xyz", -14);
    fixed.pitch = FontRequest::Pitch::Fixed;
    auto mono = open(fixed);
    ASSERT_TRUE(mono);
    for (int c = 33; c < 127; ++c)
        EXPECT_EQ(width(*mono, (unsigned char)c), width(*mono, ' ')) << c;

    FontRequest roman = named("", -14);
    roman.family = FontRequest::Family::Roman;
    auto serif = open(roman);
    ASSERT_TRUE(serif);
    EXPECT_NE(serif->familyName().find("Serif"), std::string::npos) << serif->familyName();

    FontRequest swiss = named("", -14);
    swiss.family = FontRequest::Family::Swiss;
    auto sans = open(swiss);
    ASSERT_TRUE(sans);
    EXPECT_NE(width(*sans, 'i'), width(*sans, 'W'));
    EXPECT_EQ(characterHeight(sans->metrics()), 14);
}

TEST_F(FreeTypeFontsTest, RefusesHeightsBeyondTheLimit) {
    EXPECT_FALSE(backend.open(named("Arial", -(FreeTypeFontBackend::maxPixelHeight + 1))));
    EXPECT_FALSE(backend.open(named("Arial", FreeTypeFontBackend::maxPixelHeight + 1)));
    EXPECT_FALSE(backend.open(named("Arial", -2000000000)));
    EXPECT_TRUE(backend.open(named("Arial", -FreeTypeFontBackend::maxPixelHeight)));
}

TEST_F(FreeTypeFontsTest, StockFontsAreDefined) {
    auto fixed = open(stock(FontRequest::Stock::AnsiFixed));
    ASSERT_TRUE(fixed);
    EXPECT_EQ(characterHeight(fixed->metrics()), 13);
    for (int c = 32; c < 127; ++c)
        EXPECT_EQ(width(*fixed, (unsigned char)c), 8) << c;

    for (auto s : {FontRequest::Stock::DefaultGui, FontRequest::Stock::Menu}) {
        auto font = open(stock(s));
        ASSERT_TRUE(font);
        EXPECT_EQ(characterHeight(font->metrics()), 11);
        EXPECT_EQ(font->familyName(), "Liberation Sans");
    }
}

TEST(TestFontBackendTest, GlyphsAreBlocksFromTheBaselineUpToTheAscent) {
    TestFontBackend::Metrics m;
    m.internalLeading = 2;  // not part of the block
    TestFontBackend backend(m);
    backend.setWidth('-', -3);
    auto font = backend.open(named("Arial", -10));
    Canvas canvas(20, 20);
    font->drawChar('A', canvas.canvas, 2, 14);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(canvas.at(x, y), (x >= 2 && x <= 6 && y >= 4 && y <= 13) ? 255 : 0) << x << "," << y;

    Canvas none(20, 20);
    font->drawChar(' ', none.canvas, 2, 14);
    font->drawChar('\n', none.canvas, 2, 14);
    font->drawChar('-', none.canvas, 2, 14);
    EXPECT_EQ(none.count(), 0);

    Canvas clipped(4, 4);
    font->drawChar('A', clipped.canvas, -3, 2);
    EXPECT_EQ(clipped.count(), 2 * 2);
}

TEST(TestFontBackendTest, UnderlineTakesTheSecondRowBelowTheGlyphs) {
    TestFontBackend backend;
    FontRequest r = named("Arial", -10);
    r.underline = true;
    auto font = backend.open(r);
    Canvas canvas(20, 20);
    font->drawChar(' ', canvas.canvas, 3, 12);
    for (int x = 0; x < 20; ++x)
        EXPECT_EQ(canvas.at(x, 13), (x >= 3 && x < 9) ? 255 : 0) << x;
    EXPECT_EQ(canvas.count(), 6);
}

}  // namespace
