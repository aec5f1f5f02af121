#include <gtest/gtest.h>

#include <vector>

#include "gui/gl/Image.h"
#include "gui/gl/ImageData.h"
#include "tests/support/LogCapture.h"

using pellium::Image;

namespace {

// An image whose pixel i holds value(i).
Image numbered(int w, int h, uint32_t base = 0) {
    Image image(w, h);
    for (int i = 0; i < w * h; ++i)
        *image.pixel(i) = base + uint32_t(i);
    return image;
}

std::vector<uint32_t> pixelsOf(const Image& image) {
    const uint32_t* p = image.constPixels();
    return std::vector<uint32_t>(p, p + size_t(image.width()) * image.height());
}

TEST(Image, SideBelowOneGivesTheEmptyImage) {
    for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-3, 4}, {4, -1}}) {
        Image image(w, h);
        EXPECT_TRUE(image.empty());
        EXPECT_EQ(image.width(), 0);
        EXPECT_EQ(image.height(), 0);
        EXPECT_EQ(image.pixels(), nullptr);
    }
}

TEST(Image, NewDataIsZeroMode4AndCopiesGivenPixels) {
    Image blank(3, 2);
    EXPECT_EQ(blank.mode(), 4);
    EXPECT_EQ(pixelsOf(blank), std::vector<uint32_t>(6, 0u));
    const uint32_t given[] = {1, 2, 3, 4, 5, 6};
    Image copy(3, 2, given);
    EXPECT_EQ(pixelsOf(copy), std::vector<uint32_t>(given, given + 6));
}

TEST(Image, CopiesShareDataAndTheLastHandleFreesIt) {
    Image a = numbered(2, 2);
    ASSERT_EQ(a.data()->refCount(), 1u);
    {
        Image b(a);
        Image c;
        c = b;
        EXPECT_EQ(a.data(), c.data());
        EXPECT_EQ(a.data()->refCount(), 3u);
        *c.pixel(0) = 99;
        EXPECT_EQ(*a.constPixels(), 99u);
    }
    EXPECT_EQ(a.data()->refCount(), 1u);
    Image& self = a;
    a = self;
    EXPECT_EQ(a.data()->refCount(), 1u);
    EXPECT_EQ(*a.constPixels(), 99u);
    Image other = numbered(1, 1);
    other = a;  // drops its own data first
    EXPECT_EQ(a.data()->refCount(), 2u);
    other.release();
    EXPECT_TRUE(other.empty());
    EXPECT_EQ(a.data()->refCount(), 1u);
}

TEST(Image, DeepCopyCopiesPixelsModeAndHotSpot) {
    Image a = numbered(3, 2);
    a.setMode(3);
    a.setHotSpot(7, -2);
    Image b = numbered(5, 5);
    b.deepCopy(a);
    EXPECT_NE(a.data(), b.data());
    EXPECT_EQ(b.width(), 3);
    EXPECT_EQ(b.height(), 2);
    EXPECT_EQ(b.mode(), 3);
    int x, y;
    b.hotSpot(x, y);
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, -2);
    EXPECT_EQ(pixelsOf(b), pixelsOf(a));
    *b.pixel(0) = 1234;
    EXPECT_EQ(*a.constPixels(), 0u);
    // From itself: a private copy of what it showed.
    Image shared(a);
    shared.deepCopy(shared);
    EXPECT_NE(shared.data(), a.data());
    EXPECT_EQ(pixelsOf(shared), pixelsOf(a));
    b.deepCopy(Image());
    EXPECT_TRUE(b.empty());
}

TEST(Image, PixelAccessMarksModifiedAndDropsTheDerivedImage) {
    Image a = numbered(4, 3);
    a.clearModified();
    a.setDerivedImage(numbered(1, 1));
    EXPECT_FALSE(a.derivedImage().empty());
    EXPECT_EQ(a.constPixels()[5], 5u);
    EXPECT_FALSE(a.isModified());
    EXPECT_EQ(*a.pixelAt(2, 1), 6u);  // first + y * width + x
    EXPECT_TRUE(a.isModified());
    EXPECT_TRUE(a.derivedImage().empty());
    a.clearModified();
    a.setMode(3);
    EXPECT_TRUE(a.isModified());
    a.setDerivedImage(a);  // would hold itself
    EXPECT_TRUE(a.derivedImage().empty());
}

TEST(Image, CropIsClippedToTheSource) {
    Image source = numbered(5, 4);  // pixel (x, y) = y * 5 + x
    Image inner(source, 1, 2, 3, 2);
    EXPECT_EQ(inner.width(), 3);
    EXPECT_EQ(inner.height(), 2);
    EXPECT_EQ(pixelsOf(inner), (std::vector<uint32_t>{11, 12, 13, 16, 17, 18}));
    Image negative(source, -2, -1, 4, 3);  // shortened by the negative offsets
    EXPECT_EQ(negative.width(), 2);
    EXPECT_EQ(negative.height(), 2);
    EXPECT_EQ(pixelsOf(negative), (std::vector<uint32_t>{0, 1, 5, 6}));
    Image overhang(source, 3, 3, 10, 10);
    EXPECT_EQ(overhang.width(), 2);
    EXPECT_EQ(overhang.height(), 1);
    EXPECT_EQ(pixelsOf(overhang), (std::vector<uint32_t>{18, 19}));
    EXPECT_TRUE(Image(source, 5, 0, 2, 2).empty());
    EXPECT_TRUE(Image(source, -3, 0, 3, 2).empty());
    EXPECT_TRUE(Image(Image(), 0, 0, 2, 2).empty());
}

TEST(Image, PasteClipsAndNegativeOffsetsCutTheSourcesFirstColumnsAndRows) {
    Image source = numbered(3, 2, 100);  // 100 101 102 / 103 104 105
    Image target(4, 3);
    target.paste(source, 2, 1);
    EXPECT_EQ(pixelsOf(target), (std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 100, 101, 0, 0, 103, 104}));
    Image cut(4, 3);
    cut.paste(source, -1, -1);
    EXPECT_EQ(pixelsOf(cut), (std::vector<uint32_t>{104, 105, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    Image untouched(2, 2);
    untouched.paste(source, 2, 0);
    untouched.paste(source, -3, 0);
    untouched.paste(source, 0, -2);
    untouched.paste(source, 0x7FFFFFFF, 0);
    untouched.paste(Image(), 0, 0);
    EXPECT_EQ(pixelsOf(untouched), std::vector<uint32_t>(4, 0u));
    Image empty;
    empty.paste(source, 0, 0);
    EXPECT_TRUE(empty.empty());
}

TEST(Image, PasteOntoItselfReadsTheOriginalPixels) {
    Image a = numbered(4, 1);
    Image alias(a);
    a.paste(alias, 1, 0);
    EXPECT_EQ(pixelsOf(a), (std::vector<uint32_t>{0, 0, 1, 2}));

    // Rows moved onto the rows above them, and below: each row lands once, unsmeared.
    Image up = numbered(1, 3, 1);  // rows 1, 2, 3 from the bottom
    up.paste(Image(up), 0, 1);
    EXPECT_EQ(pixelsOf(up), (std::vector<uint32_t>{1, 1, 2}));
    Image down = numbered(2, 3, 1);
    down.paste(Image(down), 1, -1);
    EXPECT_EQ(pixelsOf(down), (std::vector<uint32_t>{1, 3, 3, 5, 5, 6}));
}

TEST(Image, FillSetsEveryPixelAndOnAShortPixelVectorLogsAndFillsAnyway) {
    LogCapture log;
    Image a(3, 3);
    a.fill(0xFF123456);
    EXPECT_EQ(pixelsOf(a), std::vector<uint32_t>(9, 0xFF123456u));
    EXPECT_EQ(log.take(), "");
    a.data()->pixels.resize(5);
    a.fill(7);
    EXPECT_EQ(log.text(), "Oooops! in Image::fill()\n");
    EXPECT_EQ(a.data()->pixels, std::vector<uint32_t>(5, 7u));
}

TEST(Image, NoiseFollowsTheTwoMultiplyWithCarrySeries) {
    Image a(2, 2);
    a.addNoise(0x12345678);
    EXPECT_EQ(pixelsOf(a), (std::vector<uint32_t>{0xFFECD1FB, 0xFF93EF80, 0xFF9BE9AC, 0xFFD2ACBC}));
    a.addNoise(12345);
    EXPECT_EQ(pixelsOf(a), (std::vector<uint32_t>{0xFFE191DF, 0xFFFCC8C2, 0xFFDBCD88, 0xFFF2A1A3}));
    Image big(64, 64);
    big.addNoise(99);
    for (uint32_t p : pixelsOf(big))
        EXPECT_EQ(p & 0xFF808080u, 0xFF808080u);
}

TEST(Image, KeyOutCornerColourUsesTheTopLeftPixel) {
    const uint32_t key = 0xFF00FF00, other = 0xFF0000FF;
    // Bottom row first: the top-left pixel is the first of the last row.
    const uint32_t given[] = {key, other, other, key, key, other};
    Image a(3, 2, given);
    a.keyOutCornerColour();
    EXPECT_EQ(pixelsOf(a), (std::vector<uint32_t>{0x0000FF00, other, other, 0x0000FF00, 0x0000FF00, other}));
    const uint32_t bottomKey[] = {key, other, other, other};
    Image b(2, 2, bottomKey);
    b.keyOutCornerColour();  // the top-left is `other`
    EXPECT_EQ(pixelsOf(b), (std::vector<uint32_t>{key, 0x000000FF, 0x000000FF, 0x000000FF}));
}

TEST(Image, TransparencyMaskMarksPixelsBelowHalfAlpha) {
    const uint32_t given[] = {0xFF102030, 0x7F102030, 0x80102030, 0x00FFFFFF};
    Image a(2, 2, given);
    a.makeTransparencyMask();
    EXPECT_EQ(a.transparencyMask(), (std::vector<uint32_t>{0, 0xFFFFFFFF, 0, 0xFFFFFFFF}));
    EXPECT_EQ(pixelsOf(a), (std::vector<uint32_t>{0xFF102030, 0, 0x80102030, 0}));
    EXPECT_FALSE(a.isModified());
    // Unchanged since: nothing is rebuilt.
    a.data()->pixels[0] = 0;
    a.makeTransparencyMask();
    EXPECT_EQ(a.transparencyMask()[0], 0u);
    // All opaque after a change: the mask is emptied.
    a.fill(0xFFFFFFFF);
    a.makeTransparencyMask();
    EXPECT_TRUE(a.transparencyMask().empty());
}

TEST(Image, TransparencyMaskIsOnlyForMode4) {
    const uint32_t given[] = {0x00000001};
    Image a(1, 1, given);
    a.setMode(3);
    a.makeTransparencyMask();
    EXPECT_TRUE(a.transparencyMask().empty());
    EXPECT_EQ(*a.constPixels(), 1u);
}

TEST(Image, EveryOperationOnTheEmptyImageDoesNothing) {
    Image e;
    e.fill(1);
    e.addNoise(1);
    e.keyOutCornerColour();
    e.setMode(3);
    e.setHotSpot(1, 1);
    e.makeTransparencyMask();
    e.setDerivedImage(numbered(1, 1));
    EXPECT_TRUE(e.empty());
    EXPECT_EQ(e.mode(), 0);
    EXPECT_FALSE(e.isModified());
    EXPECT_EQ(e.pixel(3), nullptr);
    EXPECT_EQ(e.pixelAt(1, 1), nullptr);
    EXPECT_TRUE(e.transparencyMask().empty());
    EXPECT_TRUE(e.derivedImage().empty());
}

}  // namespace
