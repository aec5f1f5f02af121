// Glyph atlases: packing, growth, records and pixels with the test font's
// block glyphs; the DXT1 form; atlases of real fonts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <utility>

#include "gui/gl/Font.h"
#include "gui/gl/GlyphAtlas.h"
#include "TestFonts.h"

using pellium::Font;
using pellium::FontKey;
using pellium::GlyphAtlas;
using pellium::GlyphRecord;
using pellium::Image;
using platform::TestFontBackend;

namespace {

constexpr uint32_t white = 0xFFFFFFFFu;
constexpr uint32_t outline = 0x80000000u;

uint32_t pixel(const GlyphAtlas& atlas, int x, int y) {
    return atlas.image().constPixels()[size_t(y) * size_t(atlas.width()) + size_t(x)];
}

// White pixels in a rectangle of the atlas (the part inside it).
int whiteIn(const GlyphAtlas& atlas, int x0, int y0, int width, int height) {
    int n = 0;
    for (int y = std::max(y0, 0); y < std::min(y0 + height, atlas.height()); ++y)
        for (int x = std::max(x0, 0); x < std::min(x0 + width, atlas.width()); ++x)
            n += pixel(atlas, x, y) == white;
    return n;
}
int whiteIn(const GlyphAtlas& atlas, const GlyphRecord& g) { return whiteIn(atlas, g.x, g.y, g.width, g.height); }
int whiteIn(const GlyphAtlas& atlas) { return whiteIn(atlas, 0, 0, atlas.width(), atlas.height()); }

// A record's quad and advance: x, y, width, height, advance.
using Box = std::array<int, 5>;
Box box(const GlyphRecord& g) { return {g.x, g.y, g.width, g.height, g.advance}; }

void build(GlyphAtlas& atlas, int first, int last, bool outline = false, FontKey key = FontKey(125, 13, 0)) {
    Font font(key);
    ASSERT_TRUE(atlas.build(font, first, last, outline));
}

// Test font: 6 wide, ascent 10, descent 3, so text height 13 and glyph
// rows of 13 + 3 = 16.
class GlyphAtlasTest : public ::testing::Test {
protected:
    TestFonts fonts;
    GlyphAtlas atlas;
};

TEST_F(GlyphAtlasTest, PlacesDrawsAndRecordsASmallRange) {
    build(atlas, 'A', 'C');
    EXPECT_EQ(atlas.width(), 64);
    EXPECT_EQ(atlas.height(), 64);
    EXPECT_EQ(atlas.image().mode(), 2);
    EXPECT_EQ(atlas.first(), 'A');
    EXPECT_EQ(atlas.last(), 'C');

    // The first row's cells span rows 3..18 from the top (descent 3, 16
    // high); stored bottom-up the cell's bottom row is 64 - 16 - 3.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(box(atlas.glyph('A' + i)), (Box{6 * i, 45, 6, 16, 6}));
    const GlyphRecord& b = atlas.glyph('B');
    const float expected[8] = {6.45f / 64, 45.45f / 64, 12.45f / 64, 45.45f / 64,
                               12.45f / 64, 61.45f / 64, 6.45f / 64, 61.45f / 64};
    for (int i = 0; i < 8; ++i)
        EXPECT_FLOAT_EQ(b.texCoords[i], expected[i]) << i;

    // Each block is 5 columns by the 10 rows of the ascent, drawn from the
    // cell top at row 3 (top-down), i.e. rows 51..60 bottom-up.
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool block = x < 18 && x % 6 < 5 && y >= 51 && y <= 60;
            ASSERT_EQ(pixel(atlas, x, y), block ? white : 0u) << x << "," << y;
        }
}

TEST_F(GlyphAtlasTest, TheDefaultRangeGrowsUntilEveryGlyphFits) {
    build(atlas, 32, 126, false, FontKey(123, 13, 0));
    // 64 x 64 holds 3 rows of 10 glyphs and 128 x 64 3 rows of 21: too few.
    EXPECT_EQ(atlas.width(), 128);
    EXPECT_EQ(atlas.height(), 128);
    for (int c = 33; c <= 126; ++c)
        EXPECT_EQ(whiteIn(atlas, atlas.glyph(c)), 5 * 10) << c;
    EXPECT_EQ(whiteIn(atlas, atlas.glyph(' ')), 0);
    EXPECT_EQ(whiteIn(atlas), 94 * 5 * 10) << "no block overlaps another or was cut";
}

TEST(GlyphAtlasLayout, GrowsWidthFirstThenHeightInTurn) {
    std::set<std::pair<int, int>> seen;
    for (int last : {79, 126, 255})
        for (int w = 1; w <= 127; w += 3) {
            TestFontBackend::Metrics m;
            m.width = w;
            TestFonts fonts(m);
            GlyphAtlas atlas;
            SCOPED_TRACE(w);
            build(atlas, 32, last);
            const int aw = atlas.width();
            const int ah = atlas.height();
            EXPECT_TRUE(aw == ah || aw == 2 * ah) << aw << "x" << ah;
            EXPECT_EQ(ah & (ah - 1), 0) << ah;
            EXPECT_GE(ah, 64);
            seen.insert({aw, ah});
        }
    for (int side = 64; side <= 512; side *= 2) {
        EXPECT_TRUE(seen.count({side, side})) << side;
        EXPECT_TRUE(seen.count({2 * side, side})) << side;
    }
}

TEST_F(GlyphAtlasTest, OutlineAddsAPadAndAHalfTransparentRing) {
    build(atlas, 'A', 'H', true);
    const GlyphRecord& a = atlas.glyph('A');
    EXPECT_EQ(box(a), (Box{1, 64 - 16 - 4, 8, 18, 6})) << "quads 2 pixels wider and higher than the glyphs";
    EXPECT_FLOAT_EQ(a.texCoords[0], 0.45f / 64);
    EXPECT_FLOAT_EQ(a.texCoords[1], 43.45f / 64);
    EXPECT_FLOAT_EQ(a.texCoords[2], 8.45f / 64);
    EXPECT_FLOAT_EQ(a.texCoords[5], 61.45f / 64);
    EXPECT_EQ(atlas.glyph('B').x, 9);
    // Seven glyphs fill the first row; a new row starts at x = 0, 18 lower.
    EXPECT_EQ(atlas.glyph('G').x, 49);
    EXPECT_EQ(atlas.glyph('H').x, 0);
    EXPECT_EQ(atlas.glyph('H').y, a.y - 18);

    // A's block: columns 1..5, rows 50..59 bottom-up; its ring one pixel out;
    // B's ring at column 8.
    const struct {
        int x, y;
        uint32_t value;
    } probes[] = {{1, 50, white},   {5, 59, white},   {0, 55, outline}, {6, 55, outline}, {0, 49, outline},
                  {6, 60, outline}, {3, 61, 0},       {3, 48, 0},       {7, 55, 0},       {8, 55, outline},
                  {9, 55, white}};
    for (const auto& p : probes)
        EXPECT_EQ(pixel(atlas, p.x, p.y), p.value) << p.x << "," << p.y;
}

TEST(GlyphAtlasLayout, TextureCornersFrameTheWholeCellAndNothingAbove) {
    // Descent 1: the underline drawn one row below the baseline is the
    // cell's last row (11 + 1 rows high), right above the next atlas row.
    TestFontBackend::Metrics m;
    m.descent = 1;
    TestFonts fonts(m);
    GlyphAtlas atlas;
    build(atlas, 'A', 'Z', false, FontKey(125, 11, FontKey::underline));
    ASSERT_LT(atlas.glyph('Z').y, atlas.glyph('A').y) << "the range takes more than one atlas row";
    // The texels its corners frame, one per pixel of the quad.
    for (int c = 'A'; c <= 'Z'; ++c) {
        const GlyphRecord& g = atlas.glyph(c);
        const int x0 = int(std::floor(g.texCoords[0] * float(atlas.width())));
        const int y0 = int(std::floor(g.texCoords[1] * float(atlas.height())));
        EXPECT_EQ(whiteIn(atlas, x0, y0, g.width, g.height), 5 * 10 + 6) << char(c);
    }
    EXPECT_EQ(whiteIn(atlas), 26 * (5 * 10 + 6)) << "no glyph shows a neighbour's pixels";
}

TEST_F(GlyphAtlasTest, LeavesTwoSpareColumnsAfterTheI) {
    build(atlas, 'h', 'k');
    const int x[] = {0, 6, 14, 20};
    for (int c = 'h'; c <= 'k'; ++c)
        EXPECT_EQ(atlas.glyph(c).x, x[c - 'h']) << char(c);
}

TEST_F(GlyphAtlasTest, CharactersOutsideTheRangeUseTheFirstGlyph) {
    build(atlas, 32, 126);
    const GlyphRecord* space = &atlas.glyph(' ');
    for (int c : {200, 31, 127, 0})
        EXPECT_EQ(&atlas.glyph(c), space) << c;
    EXPECT_EQ(&atlas.glyph(char(200)), space);
    EXPECT_NE(&atlas.glyph('A'), space);

    // Bytes above 127 are characters of their own, not negative ones.
    GlyphAtlas latin;
    build(latin, 32, 255);
    EXPECT_NE(&latin.glyph(char(200)), &latin.glyph(' '));
    EXPECT_EQ(&latin.glyph(char(200)), &latin.glyph(200));
    EXPECT_EQ(whiteIn(latin, latin.glyph(char(200))), 50);
}

TEST_F(GlyphAtlasTest, BadRangesAndFontsWithoutGlyphs) {
    Font font(FontKey(125, 13, 0));
    EXPECT_FALSE(atlas.build(font, 'z', 'a', false));
    EXPECT_TRUE(atlas.empty());
    EXPECT_EQ(atlas.glyph('a').width, 0);

    ASSERT_TRUE(atlas.build(font, -5, 300, false));
    EXPECT_EQ(atlas.first(), 0);
    EXPECT_EQ(atlas.last(), 255);

    fonts.backend.setRefuse([](const platform::FontRequest&) { return true; });
    Font failed(FontKey(125, 14, 0));
    EXPECT_FALSE(atlas.build(failed, 32, 126, false));
    EXPECT_TRUE(atlas.empty());
    EXPECT_EQ(atlas.width(), 0);
}

TEST_F(GlyphAtlasTest, NegativeWidthsTakeNoRoom) {
    fonts.backend.setWidth('B', -4);
    build(atlas, 'A', 'C');
    EXPECT_EQ(atlas.glyph('B').advance, -4);
    EXPECT_EQ(atlas.glyph('B').width, 0);
    EXPECT_EQ(atlas.glyph('B').x, 6);
    EXPECT_EQ(atlas.glyph('C').x, 6);
    EXPECT_EQ(whiteIn(atlas, atlas.glyph('C')), 50);
}

TEST(GlyphDxt1Test, EncodesBlocksOfWhiteBlackAndTransparent) {
    Image opaque(4, 4);
    opaque.fill(white);
    EXPECT_EQ(pellium::encodeGlyphDxt1(opaque),
              (std::vector<uint8_t>{0x00, 0x00, 0xFF, 0xFF, 0x55, 0x55, 0x55, 0x55}));

    Image clear(4, 4);
    EXPECT_EQ(pellium::encodeGlyphDxt1(clear),
              (std::vector<uint8_t>{0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));

    // Two bits per pixel from the lowest up; the bottom row first. An
    // outline pixel is black, not white.
    Image mixed(4, 4);
    *mixed.pixelAt(1, 0) = white;
    *mixed.pixelAt(3, 2) = outline;
    *mixed.pixelAt(0, 3) = white;
    EXPECT_EQ(pellium::encodeGlyphDxt1(mixed),
              (std::vector<uint8_t>{0x00, 0x00, 0xFF, 0xFF, 0xF7, 0xFF, 0x3F, 0xFD}));

    EXPECT_TRUE(pellium::encodeGlyphDxt1(Image()).empty());
}

TEST(GlyphDxt1Test, BlocksRunLeftToRightThenUpwards) {
    Image picture(8, 8);
    *picture.pixelAt(4, 0) = white;  // second block
    *picture.pixelAt(0, 4) = white;  // third block
    const std::vector<uint8_t> blocks = pellium::encodeGlyphDxt1(picture);
    ASSERT_EQ(blocks.size(), 4u * 8u);
    EXPECT_EQ(blocks[4], 0xFF);
    EXPECT_EQ(blocks[8 + 4], 0xFD);
    EXPECT_EQ(blocks[16 + 4], 0xFD);
    EXPECT_EQ(blocks[24 + 4], 0xFF);

    // Sides that are not multiples of 4 are padded with transparent pixels.
    Image odd(5, 1);
    odd.fill(white);
    const std::vector<uint8_t> padded = pellium::encodeGlyphDxt1(odd);
    ASSERT_EQ(padded.size(), 16u);
    EXPECT_EQ(padded[4], 0x55);
    EXPECT_EQ(padded[5], 0xFF);
    EXPECT_EQ(padded[12], 0xFD);
    EXPECT_EQ(padded[13], 0xFF);
}

TEST(RealFontAtlas, GlyphsLieInTheirQuads) {
    // The default GL font's key: the system's fixed font.
    Font font(FontKey(123, 0, 0));
    GlyphAtlas atlas;
    ASSERT_TRUE(atlas.build(font, 32, 126, false));
    EXPECT_EQ(atlas.width() & (atlas.width() - 1), 0);
    EXPECT_EQ(atlas.height() & (atlas.height() - 1), 0);
    EXPECT_EQ(whiteIn(atlas, atlas.glyph(' ')), 0);
    std::vector<bool> inQuad(size_t(atlas.width()) * size_t(atlas.height()), false);
    for (int c = 33; c <= 126; ++c) {
        const GlyphRecord& g = atlas.glyph(c);
        EXPECT_EQ(g.advance, 8) << c;
        EXPECT_GT(whiteIn(atlas, g), 0) << c;
        for (int y = g.y; y < g.y + g.height; ++y)
            for (int x = g.x; x < g.x + g.width; ++x)
                inQuad[size_t(y) * size_t(atlas.width()) + size_t(x)] = true;
    }
    int stray = 0;
    for (size_t i = 0; i < inQuad.size(); ++i)
        stray += atlas.image().constPixels()[i] == white && !inQuad[i];
    EXPECT_EQ(stray, 0);
}

TEST(RealFontAtlas, OutlineRingsTheGlyphs) {
    Font font(FontKey(125, 20, FontKey::bold));
    GlyphAtlas atlas;
    ASSERT_TRUE(atlas.build(font, 32, 126, true));
    int rings = 0;
    for (int y = 0; y < atlas.height(); ++y)
        for (int x = 0; x < atlas.width(); ++x) {
            if (pixel(atlas, x, y) != outline)
                continue;
            ++rings;
            bool touches = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    int nx = x + dx, ny = y + dy;
                    touches |= nx >= 0 && ny >= 0 && nx < atlas.width() && ny < atlas.height() &&
                               pixel(atlas, nx, ny) == white;
                }
            EXPECT_TRUE(touches) << x << "," << y;
        }
    EXPECT_GT(rings, 1000);
}

}  // namespace
