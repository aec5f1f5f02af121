// Fonts made from the installed fonts (Liberation, which setup installs):
// heights follow the Windows rule, width tables are sane, bad keys still give
// usable fonts.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "gui/gl/Font.h"
#include "gui/gl/GlyphAtlas.h"
#include "tests/support/LogCapture.h"
#include "platform/FontBackend.h"

using pellium::Font;
using pellium::FontKey;

namespace {

TEST(RealFontTest, HeightEqualsTheRequestedSize) {
    LogCapture log;
    for (int face : {123, 124, 125})
        for (int style = 0; style < 8; ++style)
            for (int size = 7; size <= 28; ++size) {
                Font font(FontKey(face, size, style));
                SCOPED_TRACE("face " + std::to_string(face) + " style " + std::to_string(style) + " size " +
                             std::to_string(size));
                ASSERT_NE(font.platformFont(), nullptr);
                EXPECT_EQ(font.height(), size);
                EXPECT_EQ(font.ascent() + font.descent(), size);
                EXPECT_GT(font.ascent(), font.descent());
                EXPECT_GE(font.descent(), 1);
                EXPECT_GE(font.externalLeading(), 0);
                EXPECT_GT(font.averageWidth(), 0);
                EXPECT_LT(font.averageWidth(), size);
                for (int c = 'A'; c <= 'z'; ++c) {
                    EXPECT_GT(font.charWidth(c), 0) << c;
                    EXPECT_LE(font.charWidth(c), size + 2) << c;
                }
            }
    EXPECT_EQ(log.text(), "");
}

TEST(RealFontTest, WidthsAreTheMetricCompatibleFontsAdvances) {
    // Advances in font units of 2048 per em, as Arial's and Times New Roman's;
    // hinting moves them by at most a pixel.
    struct Advance {
        int face;
        char c;
        int units;
    };
    const Advance advances[] = {{125, ' ', 569}, {125, 'W', 1933}, {125, '0', 1139}, {125, 'i', 455},
                                {124, ' ', 512}, {124, 'M', 1821}, {124, '0', 1024}, {124, 'i', 569}};
    for (int size : {12, 20, 40})
        for (const Advance& a : advances) {
            Font font(FontKey(a.face, size, 0));
            EXPECT_NEAR(font.charWidth(a.c), a.units * size / 2048.0, 1.0) << a.face << " " << a.c << " " << size;
        }
}

TEST(RealFontTest, SizeZeroGivesTheDefaultFonts) {
    // The system's fixed font: 13 pixels high.
    EXPECT_EQ(Font(FontKey(123, 0, 0)).height(), 13);
    for (int face : {126, 127}) {
        Font system(FontKey(face, 0, 0));
        EXPECT_EQ(system.height(), 11) << face;
        EXPECT_GT(system.charWidth('W'), system.charWidth('i')) << face;
    }
    // A ten-pixel cell, of which the internal leading is not text height.
    for (int face : {124, 125}) {
        Font font(FontKey(face, 0, 0));
        EXPECT_LE(font.height(), 10) << face;
        EXPECT_GE(font.height(), 8) << face;
        EXPECT_EQ(font.ascent() + font.descent(), font.height()) << face;
    }
}

TEST(RealFontTest, HugeSizesStopAtTheLargestSize) {
    LogCapture log;
    Font huge(FontKey(125, 1000000, 0));
    EXPECT_EQ(log.text(), "Font: size 1000000 is too large, using 127\n");
    EXPECT_EQ(huge.height(), 127);
    for (int c = 32; c < 256; ++c) {
        EXPECT_GT(huge.charWidth(c), 0) << c;
        EXPECT_LE(huge.charWidth(c), 127) << c;
    }
    EXPECT_NEAR(huge.charWidth('W'), 120, 4);  // 1933 / 2048 x 127
    // The few characters wider than the em keep the widest width a table
    // entry can hold rather than wrapping to a negative one.
    EXPECT_EQ(huge.charWidth('@'), 127);      // 2079 / 2048 x 127
    EXPECT_EQ(huge.charWidth(char(0x85)), 127);  // the ellipsis, one em
}

TEST(RealFontTest, BadKeysStillGiveUsableFonts) {
    LogCapture log;
    Font unknown(FontKey(999, 14, 0));
    EXPECT_EQ(unknown.height(), 14);
    EXPECT_GT(unknown.charWidth('a'), 0);
    Font negative(FontKey(125, -14, 0));
    EXPECT_GE(negative.height(), 8);
    Font tiny(FontKey(125, 1, 0));
    EXPECT_EQ(tiny.height(), 1);
    EXPECT_EQ(log.text(),
              "Font: face 999 is unknown, choosing any family\n"
              "Font: size -14 is below 0, using the default size\n");
}

TEST(RealFontTest, RandomKeysAlwaysGiveUsableFontsAndAtlases) {
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> any;
    LogCapture log;
    for (int i = 0; i < 300; ++i) {
        const int face = i % 3 == 0 ? any(random) : 123 + int(random() % 5);
        const int size = i % 4 == 0 ? any(random) - (1 << 30) : int(random() % 140) - 6;
        const int style = i % 5 == 0 ? any(random) : int(random() % 8);
        Font font(FontKey(face, size, style));
        SCOPED_TRACE(std::to_string(face) + " " + std::to_string(size) + " " + std::to_string(style));
        ASSERT_NE(font.platformFont(), nullptr);
        EXPECT_GE(font.height(), 1);
        EXPECT_LE(font.height(), Font::maxSize);
        EXPECT_EQ(font.ascent() + font.descent(), font.height());
        EXPECT_EQ(font.charWidth('a'), font.charWidth('a' + 256));
        EXPECT_EQ(font.charWidth(-1), font.charWidth(255));
        if (i % 10 == 0) {
            // Any range that overlaps the bytes builds; one that does not is refused.
            const int first = int(random() % 300) - 20;
            const int last = int(random() % 300);
            pellium::GlyphAtlas atlas;
            EXPECT_EQ(atlas.build(font, first, last, i % 20 == 0), std::max(first, 0) <= std::min(last, 255));
            EXPECT_EQ(atlas.empty(), std::max(first, 0) > std::min(last, 255));
        }
    }
    EXPECT_EQ(log.text().find("Font create failed!"), std::string::npos);
}

}  // namespace
