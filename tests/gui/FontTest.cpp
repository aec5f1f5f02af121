// Font keys, the making of fonts from keys, metrics and width tables, with
// the test backend's exact numbers; and the process-wide font cache.
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "gui/gl/Font.h"
#include "gui/gl/FontCache.h"
#include "tests/support/LogCapture.h"
#include "TestFonts.h"

using pellium::Font;
using pellium::FontCache;
using pellium::FontKey;
using platform::FontRequest;
using platform::TestFontBackend;

namespace {

TestFontBackend::Metrics layoutMetrics() {
    TestFontBackend::Metrics m;
    m.width = 7;
    m.ascent = 11;
    m.descent = 3;
    m.internalLeading = 2;
    m.externalLeading = 1;
    m.averageWidth = 5;
    return m;
}

// Height, ascent, descent, external leading and average width.
std::vector<int> metricsOf(const Font& font) {
    return {font.height(), font.ascent(), font.descent(), font.externalLeading(), font.averageWidth()};
}

TEST(FontKeyTest, OrdersByFaceThenStyleThenSize) {
    EXPECT_LT(FontKey(123, 99, 7), FontKey(124, 0, 0));
    EXPECT_LT(FontKey(123, 99, 0), FontKey(123, 5, 1));
    EXPECT_LT(FontKey(123, 5, 1), FontKey(123, 6, 1));
    EXPECT_FALSE(FontKey(123, 6, 1) < FontKey(123, 6, 1));
    EXPECT_EQ(FontKey(125, 14, 2), FontKey(125, 14, 2));
    EXPECT_NE(FontKey(125, 14, 2), FontKey(125, 14, 3));

    std::set<FontKey> keys{{125, 10, 0}, {124, 28, 1}, {124, 9, 1}, {124, 50, 0}};
    std::vector<FontKey> order(keys.begin(), keys.end());
    EXPECT_EQ(order, (std::vector<FontKey>{{124, 50, 0}, {124, 9, 1}, {124, 28, 1}, {125, 10, 0}}));
}

TEST(FontTest, MetricsComeFromTheBackendWithoutInternalLeading) {
    TestFonts fonts(layoutMetrics());
    Font font(FontKey(125, 14, 0));
    EXPECT_EQ(font.key(), FontKey(125, 14, 0));
    EXPECT_EQ(metricsOf(font), (std::vector<int>{14, 11, 3, 1, 5}));
    EXPECT_NE(font.platformFont(), nullptr);
}

TEST(FontTest, WidthsComeFromTheBackendClampedToASignedByteAndIndexedUnsigned) {
    TestFonts fonts(layoutMetrics());
    const std::pair<int, int> widths[] = {{'Q', TestFontBackend::noWidth}, {'\t', 30}, {'W', 300}, {'V', -300},
                                          {'X', 127}, {'Y', -128}, {200, 9}, {0xE9, 3}, {0x80, 11}};
    for (auto [c, w] : widths)
        fonts.backend.setWidth(c, w);
    Font font(FontKey(125, 14, 0));
    // Control characters and unknown widths take the average width.
    for (int c = 0; c < 32; ++c)
        EXPECT_EQ(font.charWidth(c), 5) << c;
    const std::pair<int, int> expected[] = {{'Q', 5},   {'A', 7},   {' ', 7},    {255, 7},
                                            {'W', 127}, {'V', -128}, {'X', 127}, {'Y', -128},
                                            {200, 9},   {char(200), 9}, {char(0x80), 11}};
    for (auto [c, w] : expected)
        EXPECT_EQ(font.charWidth(c), w) << c;
    EXPECT_EQ(font.stringWidth("caf\xE9"), 7 * 3 + 3);
    EXPECT_EQ(font.stringWidth(orvel_string("\xC8\x80")), 20);
}

TEST(FontTest, StringWidthIsTheSumOfTheCharacterWidths) {
    TestFonts fonts(layoutMetrics());
    fonts.backend.setWidth('W', 12);
    fonts.backend.setWidth('-', -2);
    Font font(FontKey(125, 14, 0));
    EXPECT_EQ(font.stringWidth("OK"), 14);
    EXPECT_EQ(font.stringWidth("WOW"), 31);
    EXPECT_EQ(font.stringWidth(""), 0);
    EXPECT_EQ(font.stringWidth(static_cast<const char*>(nullptr)), 0);
    EXPECT_EQ(font.stringWidth(orvel_string()), 0);
    EXPECT_EQ(font.stringWidth(orvel_string("WOW")), 31);
    // A negative width lowers the sum.
    EXPECT_EQ(font.stringWidth("a-b"), 12);
    // A counted string goes past embedded zero bytes: 7 + 5 + 7.
    EXPECT_EQ(font.stringWidth(orvel_string("a\0b", 3)), 19);
}

TEST(FontTest, NamedFacesAskForTheirFamilyAtTheCharacterHeightAndSizeZeroForATenPixelCell) {
    struct Case {
        FontKey key;
        const char* face;
        int height, weight;
        bool italic, underline;
    } cases[] = {
        {FontKey(123, 12, 0), "Courier", -12, 400, false, false},
        {FontKey(124, 20, FontKey::bold), "Times", -20, 700, false, false},
        {FontKey(125, 9, FontKey::italic | FontKey::underline), "Arial", -9, 400, true, true},
        {FontKey(124, 0, FontKey::bold), "Times", 10, 700, false, false},
        {FontKey(125, 0, 0), "Arial", 10, 400, false, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(::testing::Message() << k.key.face << " " << k.key.size << " " << k.key.style);
        TestFonts fonts;
        Font font(k.key);
        ASSERT_EQ(fonts.backend.requests().size(), 1u);
        const FontRequest& r = fonts.backend.requests()[0];
        EXPECT_EQ(r.stock, FontRequest::Stock::None);
        EXPECT_EQ(r.faceName, k.face);
        EXPECT_EQ(r.height, k.height);
        EXPECT_EQ(r.weight, k.weight);
        EXPECT_EQ(r.italic, k.italic);
        EXPECT_EQ(r.underline, k.underline);
    }
}

TEST(FontTest, SystemFacesUseTheStockFonts) {
    TestFonts fonts;
    Font fixed(FontKey(123, 0, FontKey::bold));
    Font menu(FontKey(126, 14, 0));
    Font gui(FontKey(127, 0, 0));
    const auto& r = fonts.backend.requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].stock, FontRequest::Stock::AnsiFixed);
    EXPECT_EQ(r[1].stock, FontRequest::Stock::Menu);
    EXPECT_EQ(r[2].stock, FontRequest::Stock::DefaultGui);
}

TEST(FontTest, TheMenuFaceFallsBackToTheGuiFont) {
    TestFonts fonts(layoutMetrics());
    fonts.backend.setRefuse([](const FontRequest& r) { return r.stock == FontRequest::Stock::Menu; });
    LogCapture log;
    Font menu(FontKey(126, 0, 0));
    const auto& r = fonts.backend.requests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].stock, FontRequest::Stock::DefaultGui);
    EXPECT_EQ(menu.height(), 14);
    EXPECT_EQ(log.text(), "");
}

TEST(FontTest, AMissingFamilyIsAskedForByPitchAndFamily) {
    TestFonts fonts;
    fonts.backend.setFamilies({});
    Font courier(FontKey(123, 12, 0));
    Font times(FontKey(124, 12, 0));
    Font arial(FontKey(125, 12, 0));
    const auto& r = fonts.backend.requests();
    ASSERT_EQ(r.size(), 3u);
    for (const FontRequest& each : r) {
        EXPECT_EQ(each.faceName, "");
        EXPECT_EQ(each.height, -12);
    }
    EXPECT_EQ(r[0].pitch, FontRequest::Pitch::Fixed);
    EXPECT_EQ(r[0].family, FontRequest::Family::Modern);
    EXPECT_EQ(r[1].pitch, FontRequest::Pitch::Variable);
    EXPECT_EQ(r[1].family, FontRequest::Family::Roman);
    EXPECT_EQ(r[2].pitch, FontRequest::Pitch::Variable);
    EXPECT_EQ(r[2].family, FontRequest::Family::Swiss);
}

TEST(FontTest, AnUnknownFaceIsLoggedAndGetsAnyFamily) {
    TestFonts fonts(layoutMetrics());
    LogCapture log;
    Font font(FontKey(5, 16, 0));
    EXPECT_EQ(log.text(), "Font: face 5 is unknown, choosing any family\n");
    const auto& r = fonts.backend.requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].faceName, "");
    EXPECT_EQ(r[0].pitch, FontRequest::Pitch::Default);
    EXPECT_EQ(r[0].family, FontRequest::Family::DontCare);
    EXPECT_EQ(r[0].height, -16);
    EXPECT_EQ(font.height(), 14);
}

TEST(FontTest, SizesOutsideTheRangeAreLoggedAndCorrected) {
    TestFonts fonts;
    LogCapture log;
    Font huge(FontKey(125, 100000, 0));
    EXPECT_EQ(log.take(), "Font: size 100000 is too large, using 127\n");
    Font largest(FontKey(125, Font::maxSize, 0));
    EXPECT_EQ(log.take(), "");
    Font negative(FontKey(124, -3, 0));
    EXPECT_EQ(log.take(), "Font: size -3 is below 0, using the default size\n");
    Font negativeFixed(FontKey(123, -2000000000, 0));
    EXPECT_EQ(log.take(), "Font: size -2000000000 is below 0, using the default size\n");
    const auto& r = fonts.backend.requests();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].height, -127);
    EXPECT_EQ(r[1].height, -127);
    EXPECT_EQ(r[2].height, 10);
    EXPECT_EQ(r[3].stock, FontRequest::Stock::AnsiFixed);
    // The key stays what was asked for.
    EXPECT_EQ(huge.key().size, 100000);
}

TEST(FontTest, AFontThatCannotBeMadeGetsTheFixedFallbackMetrics) {
    TestFonts fonts(layoutMetrics());
    fonts.backend.setRefuse([](const FontRequest&) { return true; });
    LogCapture log;
    for (FontKey key : {FontKey(125, 14, 0), FontKey(126, 0, 0), FontKey(127, 0, 0), FontKey(123, 0, 0)}) {
        Font font(key);
        EXPECT_EQ(log.take(), "Font create failed!\n");
        EXPECT_EQ(metricsOf(font), (std::vector<int>{6, 5, 1, 0, 4}));
        EXPECT_EQ(font.platformFont(), nullptr);
        for (int c = 0; c < 256; ++c)
            EXPECT_EQ(font.charWidth(c), 4) << c;
        EXPECT_EQ(font.stringWidth("Hello"), 20);
    }
}

TEST(FontCacheTest, SharesOneFontPerKey) {
    TestFonts fonts;
    FontCache::clear();
    auto a = FontCache::get(FontKey(125, 14, 0));
    auto b = FontCache::get(FontKey(125, 14, 0));
    auto c = FontCache::get(FontKey(125, 14, FontKey::bold));
    ASSERT_TRUE(a && c);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(a.useCount(), 3u);  // the cache, a and b
    EXPECT_EQ(FontCache::size(), 2u);
    EXPECT_EQ(fonts.backend.requests().size(), 2u);
}

TEST(FontCacheTest, DropsItsFontsWhenTheBackendChanges) {
    orvel::counted_ptr<Font> before;
    {
        TestFontBackend::Metrics wide;
        wide.width = 20;
        TestFonts fonts(wide);
        before = FontCache::get(FontKey(124, 12, 0));
        EXPECT_EQ(before->charWidth('a'), 20);
    }
    TestFonts fonts;
    auto after = FontCache::get(FontKey(124, 12, 0));
    EXPECT_NE(before, after);
    EXPECT_EQ(after->charWidth('a'), 6);
    // A holder keeps its font, and the font its numbers.
    EXPECT_EQ(before->charWidth('a'), 20);
    EXPECT_EQ(before.useCount(), 1u);
    EXPECT_EQ(FontCache::size(), 1u);

    FontCache::clear();
    EXPECT_EQ(FontCache::size(), 0u);
    EXPECT_EQ(after.useCount(), 1u);
    EXPECT_NE(FontCache::get(FontKey(124, 12, 0)), after);
}

}  // namespace
