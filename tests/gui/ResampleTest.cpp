#include <gtest/gtest.h>

#include <vector>

#include "gui/gl/Image.h"

using pellium::Image;

namespace {

uint32_t grey(uint32_t v) { return v * 0x01010101u; }

// A one-row (across) or one-column image of grey levels.
Image strip(const std::vector<uint32_t>& levels, bool across = true) {
    Image image(across ? int(levels.size()) : 1, across ? 1 : int(levels.size()));
    for (size_t i = 0; i < levels.size(); ++i)
        *image.pixel(int(i)) = grey(levels[i]);
    return image;
}

// The blue channel of every pixel, in storage order; the test fails when
// the four channels of a pixel differ.
std::vector<uint32_t> levels(const Image& image) {
    std::vector<uint32_t> out;
    for (int i = 0; i < image.width() * image.height(); ++i) {
        uint32_t p = image.constPixels()[i];
        EXPECT_EQ(p, grey(p & 0xFF)) << "pixel " << i;
        out.push_back(p & 0xFF);
    }
    return out;
}

using Levels = std::vector<uint32_t>;

// A strip resized along its length.
Levels resized(const Levels& in, int to, bool across) {
    Image image = strip(in, across);
    image.resize(across ? to : 1, across ? 1 : to);
    EXPECT_EQ(image.width(), across ? to : 1);
    EXPECT_EQ(image.height(), across ? 1 : to);
    return levels(image);
}
Levels resizedRow(const Levels& in, int to) { return resized(in, to, true); }
Levels resizedColumn(const Levels& in, int to) { return resized(in, to, false); }

Levels ramp(int n, uint32_t step) {
    Levels out;
    for (int i = 0; i < n; ++i)
        out.push_back(uint32_t(i) * step);
    return out;
}

TEST(Resample, LinearAcrossFromPositionZeroUpFromHalfAStepAndHalvingWhenTwiceTheTargetFits) {
    struct Case {
        const char* what;
        Levels in;
        int to;
        bool across;
        Levels out;
    } cases[] = {
        {"narrower", {0, 100, 200, 255}, 3, true, {0, 133, 236}},
        {"narrower", {0, 10, 20, 30, 40, 50, 60, 70}, 3, true, {6, 32, 59}},
        {"lower", {0, 100, 200, 255}, 3, false, {66, 199, 255}},
        {"lower", {0, 10, 20, 30, 40, 50, 60, 70}, 3, false, {12, 39, 64}},
        {"wider, filled from the far end", {0, 200}, 4, true, {50, 150, 200, 200}},
        {"higher, filled from the far end", {0, 200}, 4, false, {50, 150, 200, 200}},
        {"wider, filled from the far end", {0, 90, 180}, 5, true, {27, 81, 135, 180, 180}},
        // 4 -> 2 halves (floor averages); the height goes linear because 2 * 2 < 4 fails.
        {"halved", {0, 100, 200, 255}, 2, true, {50, 227}},
        {"linear", {0, 100, 200, 255}, 2, false, {100, 255}},
        // 5 -> 4 linear, then halved.
        {"linear then halved", {0, 50, 100, 150, 200}, 2, true, {31, 156}},
        {"linear", {0, 50, 100, 150, 200}, 2, false, {62, 178}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(::testing::Message() << k.what << ", " << k.in.size() << " -> " << k.to);
        EXPECT_EQ(resized(k.in, k.to, k.across), k.out);
    }
}

TEST(Resample, SixtyFourToThirtyTwo) {
    Levels halved, linear;
    for (uint32_t k = 0; k < 32; ++k) {
        halved.push_back(8 * k + 2);
        linear.push_back(8 * k + 4);
    }
    EXPECT_EQ(resizedRow(ramp(64, 4), 32), halved);
    EXPECT_EQ(resizedColumn(ramp(64, 4), 32), linear);
}

TEST(Resample, HundredToTwentyFiveTakesDifferentPathsAcrossAndUp) {
    // Pixel (x, y) = x on the red channel, y on the blue.
    Image image(100, 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            *image.pixelAt(x, y) = uint32_t(x) << 16 | uint32_t(y);
    image.resize(25, 25);
    ASSERT_EQ(image.width(), 25);
    ASSERT_EQ(image.height(), 25);
    for (int y = 0; y < 25; ++y) {
        for (int x = 0; x < 25; ++x) {
            uint32_t p = image.constPixels()[y * 25 + x];
            // Two halvings give 4x + 1; a linear pass would give 4x.
            EXPECT_EQ(p >> 16, uint32_t(4 * x + 1));
            // Linear to 50 (rows 2y + 1) then one halving gives 4y + 2.
            EXPECT_EQ(p & 0xFF, uint32_t(4 * y + 2));
        }
    }
}

TEST(Resample, HalvingIsAnExactFloorAverage) {
    Image image(2, 1);
    *image.pixel(0) = 0x01010101;
    *image.pixel(1) = 0x01010101;
    image.resize(1, 1);
    EXPECT_EQ(*image.constPixels(), 0x01010101u);
    *image.pixel(0) = 0xFF;
    image.resize(2, 1);
    ASSERT_EQ(image.width(), 2);
    *image.pixel(0) = 0xFF;
    *image.pixel(1) = 0xFE;
    image.resize(1, 1);
    EXPECT_EQ(*image.constPixels(), 0xFEu);
    Image tall(1, 2);
    *tall.pixel(0) = 0xFFFFFFFF;
    *tall.pixel(1) = 0x01FF0300;
    // 2 -> 1 is linear (2 * 1 < 2 fails): half a step lands on the second row.
    tall.resize(1, 1);
    EXPECT_EQ(*tall.constPixels(), 0x01FF0300u);
}

TEST(Resample, AWidthChangeAloneLeavesTheRowsAsTheyWere) {
    // One-pixel black and white rows, 300 wide: only the width goes to a
    // power of two, as a texture's would, and every row stays crisp.
    Image stripes(300, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 300; ++x)
            *stripes.pixelAt(x, y) = y % 2 ? 0xFFFFFFFFu : 0xFF000000u;
    stripes.resize(256, 256);
    ASSERT_EQ(stripes.width(), 256);
    ASSERT_EQ(stripes.height(), 256);
    int greyRows = 0;
    for (int y = 0; y < 256; ++y) {
        bool crisp = true;
        for (int x = 0; x < 256; ++x)
            crisp = crisp && stripes.constPixels()[y * 256 + x] == (y % 2 ? 0xFFFFFFFFu : 0xFF000000u);
        greyRows += !crisp;
    }
    EXPECT_EQ(greyRows, 0);
    // A column keeps its levels when only the width grows.
    Image image = strip({0, 100, 200}, false);
    image.resize(2, 3);
    EXPECT_EQ(levels(image), (Levels{0, 0, 100, 100, 200, 200}));
}

TEST(Resample, SameSizeChangesNothingAndEmptyImagesGetNewData) {
    Image image = strip({1, 2, 3});
    image.clearModified();
    image.resize(3, 1);
    EXPECT_FALSE(image.isModified());
    EXPECT_EQ(levels(image), (Levels{1, 2, 3}));
    Image empty;
    empty.resize(4, 2);
    EXPECT_EQ(empty.width(), 4);
    EXPECT_EQ(empty.height(), 2);
    EXPECT_EQ(levels(empty), Levels(8, 0));
}

TEST(Resample, ASideBelowOneEmptiesTheImageInsteadOfLoopingForEver) {
    for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-1, 3}, {0, 0}}) {
        Image image = strip({1, 2, 3, 4, 5});
        image.resize(w, h);
        EXPECT_TRUE(image.empty());
    }
}

TEST(Resample, UpscalingNeverWritesBeforeTheRowStart) {
    // These sizes run the far-end fill one step too far when its loop is
    // bounded by position only.
    for (auto [from, to] : {std::pair{1, 190}, {1, 300}, {7, 640}, {3, 1000}}) {
        Levels in = ramp(from, 30);
        Levels across = resizedRow(in, to);
        Levels up = resizedColumn(in, to);
        ASSERT_EQ(across.size(), size_t(to));
        EXPECT_EQ(across, up);
        EXPECT_EQ(across.back(), in.back());
    }
    EXPECT_EQ(resizedRow({77}, 190), Levels(190, 77));
}

TEST(Resample, EverySmallSizePairKeepsARampInOrder) {
    for (int from = 1; from < 20; ++from) {
        Levels in = ramp(from, 13);
        for (int to = 1; to < 400; to += (to < 64 ? 1 : 7)) {
            Levels across = resizedRow(in, to);
            Levels up = resizedColumn(in, to);
            ASSERT_EQ(across.size(), size_t(to));
            ASSERT_EQ(up.size(), size_t(to));
            for (int k = 1; k < to; ++k) {
                ASSERT_LE(across[k - 1], across[k]) << from << " -> " << to;
                ASSERT_LE(up[k - 1], up[k]) << from << " -> " << to;
            }
            ASSERT_LE(across.back(), in.back());
        }
    }
}

TEST(Resample, LongSidesUseWidePositions) {
    // 40000 * 65536 does not fit in 32 bits.
    const int n = 40000;
    Image wide(n, 1), tall(1, n);
    for (int i = 0; i < n; ++i)
        *wide.pixel(i) = *tall.pixel(i) = grey(uint32_t(i) * 255 / (n - 1));
    wide.resize(30000, 1);
    tall.resize(1, 30000);
    EXPECT_GE(levels(wide).back(), 254u);
    EXPECT_GE(levels(tall).back(), 254u);
    EXPECT_EQ(levels(wide)[15000], 127u);
    Image one = strip({9});
    one.resize(70000, 1);  // more than 65536 outputs per pixel
    EXPECT_EQ(levels(one), Levels(70000, 9));
}

}  // namespace
