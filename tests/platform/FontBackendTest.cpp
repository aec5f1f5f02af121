// The FreeType backend against the Liberation fonts the set-up installs (the
// test programs see no others), and the test backend's exact glyphs.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/FreeTypeFonts.h"
#include "platform/TestFontBackend.h"

using platform::FontRequest;

namespace {

FontRequest named(const std::string& name, int height, int weight = 400) {
    FontRequest r;
    r.faceName = name;
    r.height = height;
    r.weight = weight;
    return r;
}

int width(platform::PlatformFont& font, unsigned char c) {
    int w = -999;
    EXPECT_TRUE(font.charWidth(c, w)) << int(c);
    return w;
}

int characterHeight(const platform::TextMetrics& m) { return m.ascent + m.descent - m.internalLeading; }

// An 8-bit canvas, what was drawn into it, and the rows and columns that
// hold drawn pixels (top > bottom when none).
struct Canvas {
    Canvas(int w, int h) : pixels(size_t(w) * size_t(h)), canvas{pixels.data(), w, h, w} {}
    uint8_t at(int x, int y) const { return pixels[size_t(y * canvas.width + x)]; }
    int count() const { return int(std::count(pixels.begin(), pixels.end(), 255)); }
    bool biLevel() const { return std::all_of(pixels.begin(), pixels.end(), [](uint8_t p) { return p == 0 || p == 255; }); }
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
    Canvas& bounds() {
        for (int y = 0; y < canvas.height; ++y)
            for (int x = 0; x < canvas.width; ++x)
                if (at(x, y))
                    left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
        return *this;
    }

    std::vector<uint8_t> pixels;
    platform::GlyphCanvas canvas;
};

// The characters drawn with their baseline at (5, 30) of a 40 x 40 canvas.
Canvas drawn(platform::PlatformFont& font, std::initializer_list<unsigned char> characters) {
    Canvas c(40, 40);
    for (unsigned char ch : characters)
        font.drawChar(ch, c.canvas, 5, 30);
    return c.bounds();
}

class FreeTypeFontsTest : public ::testing::Test {
protected:
    std::unique_ptr<platform::PlatformFont> open(const FontRequest& r) {
        auto font = backend.open(r);
        EXPECT_TRUE(font) << r.faceName << " " << r.height;
        return font;
    }

    platform::FreeTypeFontBackend backend;
};

}  // namespace

// The classic families through their metric twins; a positive height is the
// cell's, a negative one the character's, 0 the default; sizes past the
// limit are refused; the stock fonts.
TEST_F(FreeTypeFontsTest, FamiliesAndSizes) {
    for (auto [family, twin] : {std::pair{"Courier", "Liberation Mono"}, {"Times", "Liberation Serif"},
                                {"Arial", "Liberation Sans"}, {"Liberation Sans", "Liberation Sans"}}) {
        EXPECT_TRUE(backend.hasFamily(family)) << family;
        EXPECT_EQ(open(named(family, -14))->familyName(), twin);
        for (int cell : {8, 13, 40}) {
            const platform::TextMetrics m = open(named(family, cell))->metrics();
            EXPECT_EQ(m.ascent + m.descent, cell) << family;
            EXPECT_LT(characterHeight(m), cell) << family;  // the em is smaller by the internal leading
        }
    }
    for (const char* family : {"No Such Family Xyz", "", "sans-serif"})
        EXPECT_FALSE(backend.hasFamily(family)) << family;
    EXPECT_EQ(characterHeight(open(named("Arial", 0))->metrics()), 12);
    const int limit = platform::FreeTypeFontBackend::maxPixelHeight;
    for (int height : {-(limit + 1), limit + 1, -2000000000})
        EXPECT_FALSE(backend.open(named("Arial", height))) << height;
    EXPECT_TRUE(backend.open(named("Arial", -limit)));
    for (auto [stock, height, family] : {std::tuple{FontRequest::Stock::AnsiFixed, 13, "Liberation Mono"},
                                         {FontRequest::Stock::DefaultGui, 11, "Liberation Sans"},
                                         {FontRequest::Stock::Menu, 11, "Liberation Sans"}}) {
        FontRequest r;
        r.stock = stock;
        auto font = open(r);
        EXPECT_EQ(characterHeight(font->metrics()), height);
        EXPECT_EQ(font->familyName(), family);
    }
}

// Widths are whole-pixel advances that follow the font; an unknown family
// falls back by pitch and family.
TEST_F(FreeTypeFontsTest, WidthsFollowTheFontAndItsFallback) {
    auto mono = open(named("Courier", -14)), sans = open(named("Arial", -14));
    auto bold = open(named("Arial", -14, 700)), large = open(named("Arial", -28));
    FontRequest fixed = named("No Such Family Xyz", -14), roman = named("", -14), swiss = named("", -14);
    fixed.pitch = FontRequest::Pitch::Fixed;
    roman.family = FontRequest::Family::Roman;
    swiss.family = FontRequest::Family::Swiss;
    auto fixedFallback = open(fixed), serif = open(roman), swissFallback = open(swiss);
    for (int c = 32; c < 127; ++c) {
        EXPECT_EQ(width(*mono, (unsigned char)c), 8) << c;  // 0.6 em
        EXPECT_EQ(width(*fixedFallback, (unsigned char)c), width(*fixedFallback, ' ')) << c;
    }
    EXPECT_LT(width(*sans, 'i'), width(*sans, 'm'));
    EXPECT_LT(width(*sans, 'm'), width(*sans, 'W'));
    int regular = 0, wider = 0, twice = 0;
    for (char c = 'a'; c <= 'z'; ++c)
        regular += width(*sans, c), wider += width(*bold, c), twice += width(*large, c);
    EXPECT_GT(wider, regular);
    EXPECT_NEAR(twice, 2 * regular, regular / 10);
    EXPECT_NE(serif->familyName().find("Serif"), std::string::npos) << serif->familyName();
    EXPECT_NE(width(*swissFallback, 'i'), width(*swissFallback, 'W'));
    EXPECT_EQ(characterHeight(swissFallback->metrics()), 14);
}

// Whatever else the machine has, the test programs see the Liberation fonts
// alone, so the answers below hold everywhere.
TEST(TestFontSet, OnlyTheFontsTheSetUpInstalls) {
    FcPattern* any = FcPatternCreate();
    FcObjectSet* family = FcObjectSetBuild(FC_FAMILY, FC_STYLE, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, any, family);
    ASSERT_NE(fonts, nullptr);
    EXPECT_GE(fonts->nfont, 12);  // four styles of three families
    for (int i = 0; i < fonts->nfont; ++i) {
        FcChar8* name = nullptr;
        ASSERT_EQ(FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &name), FcResultMatch);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(name)).rfind("Liberation ", 0), 0u) << name;
    }
    FcFontSetDestroy(fonts);
    FcObjectSetDestroy(family);
    FcPatternDestroy(any);
}

// The test programs see only the Liberation fonts: fontconfig's generic
// families name none of them, and each family still gets its metric twin.
TEST_F(FreeTypeFontsTest, OnlyTheLiberationFontsStillGiveEachFamilyItsTwin) {
    FontRequest roman = named("", -14), swiss = named("", -14), fixed = named("No Such Family Xyz", -14);
    roman.family = FontRequest::Family::Roman;
    swiss.family = FontRequest::Family::Swiss;
    fixed.pitch = FontRequest::Pitch::Fixed;
    for (auto [request, twin] : {std::pair{roman, "Liberation Serif"}, {swiss, "Liberation Sans"}, {fixed, "Liberation Mono"}})
        EXPECT_EQ(open(request)->familyName(), twin);
}

// Bi-level glyphs sit on the baseline within their advance, clipped to the
// canvas; high bytes are Windows-1252 characters; an underline runs along
// the advance below the baseline.
TEST_F(FreeTypeFontsTest, GlyphsAreDrawnOnTheBaseline) {
    auto sans = open(named("Arial", -20));
    Canvas h = drawn(*sans, {'H'});
    EXPECT_TRUE(h.biLevel());
    EXPECT_EQ(h.bottom, 29);
    EXPECT_NEAR(30 - h.top, 14, 1);  // cap height, 0.716 em
    EXPECT_GE(h.left, 5);
    EXPECT_LT(h.right, 5 + width(*sans, 'H'));
    const int descender = drawn(*sans, {'g'}).bottom;
    EXPECT_GT(descender, 30);
    EXPECT_LT(descender, 30 + sans->metrics().descent);
    EXPECT_EQ(drawn(*sans, {' ', '\t', 0}).count(), 0);

    EXPECT_EQ(width(*sans, 0xE9), width(*sans, 'e'));
    EXPECT_EQ(width(*sans, 0xC9), width(*sans, 'E'));
    EXPECT_LT(drawn(*sans, {0xE9}).top, drawn(*sans, {'e'}).top - 2);  // the accent
    EXPECT_EQ(drawn(*sans, {0xE9}).bottom, drawn(*sans, {'e'}).bottom);
    EXPECT_GT(drawn(*sans, {0x80}).count(), 20);  // the euro sign

    Canvas small(10, 6);
    auto big = open(named("Arial", -60));
    for (int x : {-40, -5, 3, 8, 40})
        for (int baseline : {-30, 0, 3, 40, 90})
            big->drawChar('W', small.canvas, x, baseline);
    EXPECT_GT(small.count(), 0);
    EXPECT_TRUE(small.biLevel());

    FontRequest r = named("Arial", -20);
    r.underline = true;
    auto underlined = open(r);
    Canvas space = drawn(*underlined, {' '});
    EXPECT_EQ(space.left, 5);
    EXPECT_EQ(space.right, 5 + width(*underlined, ' ') - 1);
    EXPECT_GT(space.top, 29);
    EXPECT_LT(space.bottom, 30 + underlined->metrics().descent);
    EXPECT_EQ(space.count(), (space.right - space.left + 1) * (space.bottom - space.top + 1));
}

// Blocks from the baseline up to the ascent, the internal leading left out;
// nothing for blanks, line ends and negative widths; an underline on the
// second row below the glyphs.
TEST(TestFontBackendTest, GlyphsAreBlocksAndTheUnderlineARow) {
    platform::TestFontBackend::Metrics m;
    m.internalLeading = 2;
    platform::TestFontBackend backend(m);
    backend.setWidth('-', -3);
    auto font = backend.open(named("Arial", -10));
    Canvas block(20, 20), none(20, 20), clipped(4, 4), line(20, 20);
    font->drawChar('A', block.canvas, 2, 14);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(block.at(x, y), (x >= 2 && x <= 6 && y >= 4 && y <= 13) ? 255 : 0) << x << "," << y;
    for (unsigned char c : {' ', '\n', '-'})
        font->drawChar(c, none.canvas, 2, 14);
    EXPECT_EQ(none.count(), 0);
    font->drawChar('A', clipped.canvas, -3, 2);
    EXPECT_EQ(clipped.count(), 2 * 2);

    FontRequest r = named("Arial", -10);
    r.underline = true;
    platform::TestFontBackend plain;
    plain.open(r)->drawChar(' ', line.canvas, 3, 12);
    for (int x = 0; x < 20; ++x)
        EXPECT_EQ(line.at(x, 13), (x >= 3 && x < 9) ? 255 : 0) << x;
    EXPECT_EQ(line.count(), 6);
}
