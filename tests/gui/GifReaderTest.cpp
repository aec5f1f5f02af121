// The GIF reader on hand-made files: the exact small vectors, every block
// kind, and broken code streams.
#include <gtest/gtest.h>

#include <vector>

#include "gui/gl/GifReader.h"
#include "tests/gui/GifWriter.h"
#include "tests/support/LogCapture.h"

using pellium::Image;

namespace {

struct Decoded {
    Image image;
    bool made;
    std::string log;
};

Decoded decode(const Bytes& file) {
    LogCapture log;
    Image image(3, 3);  // must be emptied by every decode
    bool made = pellium::loadGIF(image, file.data(), file.size());
    EXPECT_EQ(made, !image.empty());
    return {image, made, log.text()};
}

std::vector<uint32_t> pixelsOf(const Image& image) {
    const uint32_t* p = image.constPixels();
    return std::vector<uint32_t>(p, p + size_t(image.width()) * image.height());
}

Bytes fromHex(const char* hex) {
    Bytes out;
    for (; hex[0] && hex[1]; hex += 2)
        out.push_back(uint8_t(std::stoi(std::string(hex, 2), nullptr, 16)));
    return out;
}

// The classic 43-byte 1 x 1 transparent GIF.
const char* const pixel43 =
    "47494638396101000100800000ffffff00000021f90401000000002c00000000010001000002024401003b";

Bytes codeStream(const std::vector<std::pair<unsigned, unsigned>>& list) {
    CodePacker codes;
    for (auto [code, width] : list)
        codes.put(code, width);
    return codes.finish();
}

Palette eightGreys() {
    Palette palette;
    for (unsigned i = 0; i < 8; ++i)
        palette.push_back(0x102030 * i);
    return palette;
}

TEST(GifReader, SmallFilesOfEveryBlockKind) {
    ASSERT_EQ(fromHex(pixel43).size(), 43u);
    Bytes opaque43 = fromHex(pixel43);
    opaque43[22] = 0x00;  // the control block's packed byte
    Palette wide(256);
    wide[255] = 0xABCDEF;
    struct Case {
        const char* what;
        Bytes file;
        int width, height, mode;
        std::vector<uint32_t> pixels;
    } cases[] = {
        {"the classic 43-byte transparent pixel", fromHex(pixel43), 1, 1, 4, {0x00FFFFFF}},
        {"without the transparency flag", opaque43, 1, 1, 3, {0xFFFFFFFF}},
        // The top row (5 1 5) arrives first and is the last stored row; index
        // 5 (0x50A0F0) keeps its colour with alpha 0.
        {"transparent index 5 of a global table",
         GifBuilder().screen(eightGreys()).control(1, 5).descriptor(3, 2).data(3, lzwEncode({5, 1, 5, 7, 0, 5}, 3)).trailer(),
         3, 2, 4, {0xFF70E150, 0xFF000000, 0x0050A0F0, 0x0050A0F0, 0xFF102030, 0x0050A0F0}},
        {"a local table replaces the global one",
         GifBuilder()
             .screen({0x111111, 0x222222})
             .comment("made by hand")
             .control(1, 2)
             .descriptor(4, 1, {0xAA0000, 0x00BB00, 0x0000CC, 0xDDDDDD})
             .data(2, lzwEncode({0, 1, 2, 3}, 2))
             .trailer(),
         4, 1, 4, {0xFFAA0000, 0xFF00BB00, 0x000000CC, 0xFFDDDDDD}},
        {"only the first image is decoded",
         GifBuilder()
             .screen({0xFF0000, 0x0000FF})
             .descriptor(2, 1)
             .data(2, lzwEncode({0, 0}, 2))
             .control(1, 0)
             .descriptor(2, 1)
             .data(2, lzwEncode({1, 1}, 2))
             .trailer(),
         2, 1, 3, {0xFFFF0000, 0xFFFF0000}},
        {"stray bytes between blocks are skipped",
         GifBuilder().screen({0x000000, 0xFFFFFF}).raw({0x99, 0x01, 0xFF}).descriptor(1, 1).data(2, lzwEncode({1}, 2)).trailer(),
         1, 1, 3, {0xFFFFFFFF}},
        {"indices beyond a 4-entry table at code size 4",
         GifBuilder().screen({0x010101, 0x020202, 0x030303, 0x040404}).descriptor(3, 1).data(4, lzwEncode({3, 4, 15}, 4)).trailer(),
         3, 1, 3, {0xFF040404, 0xFF000000, 0xFF000000}},
        {"no colour table at all",
         GifBuilder().screen({}).descriptor(2, 1).data(8, lzwEncode({7, 200}, 8)).trailer(), 2, 1, 3,
         {0xFF000000, 0xFF000000}},
        // Index 9 is used, but only entries of the file's table become see-through.
        {"a transparent index outside the table",
         GifBuilder().screen({0x123456, 0x654321}).control(1, 9).descriptor(3, 1).data(4, lzwEncode({0, 1, 9}, 4)).trailer(),
         3, 1, 4, {0xFF123456, 0xFF654321, 0xFF000000}},
        {"wide literal codes",
         GifBuilder().screen(wide).descriptor(3, 1).data(9, lzwEncode({255, 256, 511}, 9)).trailer(), 3, 1, 3,
         {0xFFABCDEF, 0xFF000000, 0xFF000000}},
        {"eleven-bit literal codes",
         GifBuilder().screen({}).descriptor(1, 1).data(11, lzwEncode({2047}, 11)).trailer(), 1, 1, 3, {0xFF000000}},
        {"clear then end leaves the image untouched",
         GifBuilder().screen({0xFFFFFF, 0xFFFFFF}).descriptor(2, 2).data(2, codeStream({{4, 3}, {5, 3}})).trailer(), 2,
         2, 3, std::vector<uint32_t>(4, 0u)},
        // A literal with no clear before it, two clears, then the entry being made (2 2).
        {"repeated clears and a missing first clear",
         GifBuilder()
             .screen({0x000000, 0x111111, 0x222222, 0x333333})
             .descriptor(4, 1)
             .data(2, codeStream({{1, 3}, {4, 3}, {4, 3}, {2, 3}, {6, 3}, {5, 3}}))
             .trailer(),
         4, 1, 3, {0xFF111111, 0xFF222222, 0xFF222222, 0xFF222222}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        Decoded d = decode(k.file);
        ASSERT_TRUE(d.made) << d.log;
        EXPECT_EQ(d.log, "");
        EXPECT_EQ(d.image.width(), k.width);
        EXPECT_EQ(d.image.height(), k.height);
        EXPECT_EQ(d.image.mode(), k.mode);
        EXPECT_EQ(pixelsOf(d.image), k.pixels);
    }
}

TEST(GifReader, AnotherSignatureGivesNoImageAndNoLogLine) {
    for (const char* signature : {"GIF88a", "GIF89b", "gif89a", "PNG\r\n\x1a"}) {
        Bytes file = fromHex(pixel43);
        std::copy(signature, signature + 6, file.begin());
        Decoded d = decode(file);
        EXPECT_FALSE(d.made) << signature;
        EXPECT_EQ(d.log, "") << signature;
    }
    Bytes old = fromHex(pixel43);
    old[4] = '7';  // GIF87a is read the same way
    EXPECT_TRUE(decode(old).made);
}

TEST(GifReader, TrailerOrZeroBeforeAnyImageGivesNoImageQuietly) {
    for (uint8_t stop : {0x3B, 0x00}) {
        Bytes file = GifBuilder().screen({0, 0}).raw({stop}).descriptor(1, 1).data(2, lzwEncode({1}, 2)).trailer();
        Decoded d = decode(file);
        EXPECT_FALSE(d.made);
        EXPECT_EQ(d.log, "");
    }
}

TEST(GifReader, CodeSizesOutsideOneToElevenAreCorrupt) {
    for (unsigned size : {0u, 12u, 200u}) {
        Bytes file = GifBuilder().screen({}).descriptor(1, 1).data(size, {0xFF, 0xFF, 0xFF}).trailer();
        Decoded d = decode(file);
        EXPECT_FALSE(d.made);
        EXPECT_EQ(d.log, gifCorrupted) << size;
    }
}

TEST(GifReader, ALongPictureFillsTheDictionaryWithAndWithoutClears) {
    // Enough varied pixels to fill the 4096-entry table several times.
    const unsigned w = 300, h = 200;
    std::vector<unsigned> indices;
    uint32_t seed = 1;
    for (unsigned i = 0; i < w * h; ++i) {
        seed = seed * 1103515245 + 12345;
        indices.push_back((seed >> 16) % 7 == 0 ? (seed >> 8) & 255 : (i / 3) & 255);
    }
    Palette palette;
    for (unsigned i = 0; i < 256; ++i)
        palette.push_back(i * 0x010203);
    for (bool clears : {true, false}) {
        Bytes file = GifBuilder().screen(palette).descriptor(w, h).data(8, lzwEncode(indices, 8, clears)).trailer();
        Decoded d = decode(file);
        ASSERT_TRUE(d.made) << d.log;
        std::vector<uint32_t> pixels = pixelsOf(d.image);
        for (unsigned i = 0; i < w * h; ++i) {
            unsigned stored = (h - 1 - i / w) * w + i % w;
            ASSERT_EQ(pixels[stored], 0xFF000000u | (indices[i] * 0x010203)) << i << (clears ? " with" : " without");
        }
    }
}

Decoded decodeCodes(const std::vector<std::pair<unsigned, unsigned>>& list, unsigned w = 4, unsigned h = 1) {
    return decode(GifBuilder().screen({0, 0, 0, 0}).descriptor(w, h).data(2, codeStream(list)).trailer());
}

TEST(GifReader, BrokenCodeStreamsAreCorrupt) {
    // A code above the next free one.
    EXPECT_EQ(decodeCodes({{4, 3}, {1, 3}, {7, 3}}).log, gifCorrupted);
    // After a clear only a literal may come.
    EXPECT_EQ(decodeCodes({{4, 3}, {6, 3}}).log, gifCorrupted);
    EXPECT_EQ(decodeCodes({{6, 3}}).log, gifCorrupted);
    // A pixel past the last row.
    EXPECT_EQ(decodeCodes({{4, 3}, {1, 3}, {1, 3}, {1, 3}}, 1, 2).log, gifCorrupted);
    EXPECT_EQ(decodeCodes({{4, 3}, {1, 3}, {6, 3}}, 2, 1).log, gifCorrupted);
    Decoded d = decodeCodes({{4, 3}, {1, 3}, {6, 3}, {5, 3}}, 3, 1);  // exactly fits
    EXPECT_TRUE(d.made) << d.log;
}

// Every cut of a whole file is checked by the fuzz tests; here the code stream itself ends early.
TEST(GifReader, RunningOutOfCodesIsAnUnexpectedEnd) {
    // No end code before the zero-length block.
    Decoded d = decodeCodes({{4, 3}, {1, 3}});
    EXPECT_FALSE(d.made);
    EXPECT_EQ(d.log, gifEndOfFile);
}

TEST(GifReader, SubBlockBoundariesCanFallAnywhere) {
    std::vector<unsigned> indices;
    for (unsigned i = 0; i < 500; ++i)
        indices.push_back((i * 7 + i / 13) % 16);
    Palette palette;
    for (unsigned i = 0; i < 16; ++i)
        palette.push_back(i * 0x100000);
    const Bytes codes = lzwEncode(indices, 4);
    std::vector<uint32_t> reference;
    for (size_t block : {size_t(1), size_t(2), size_t(7), size_t(255)}) {
        Decoded d = decode(GifBuilder().screen(palette).descriptor(25, 20).data(4, codes, block).trailer());
        ASSERT_TRUE(d.made) << block;
        if (reference.empty())
            reference = pixelsOf(d.image);
        EXPECT_EQ(pixelsOf(d.image), reference) << block;
    }
    EXPECT_EQ(reference[19 * 25 + 1], 0xFF700000u);
}

// Only the pixel count is bounded (2^26), not a side: a long, thin frame is
// decoded whole.
TEST(GifReader, OversizedImagesAreRefusedBeforeAllocating) {
    for (auto [w, h] : {std::pair{16384u, 4097u}, {65535u, 1025u}, {65535u, 65535u}}) {
        Decoded d = decode(GifBuilder().screen({}).descriptor(w, h).data(2, lzwEncode({0}, 2)).trailer());
        EXPECT_FALSE(d.made);
        EXPECT_EQ(d.log, gifCorrupted);
    }
    const Palette four = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    for (auto [w, h] : {std::pair{20000u, 2u}, {2u, 40000u}}) {
        std::vector<unsigned> indices(size_t(w) * h);
        std::vector<uint32_t> expected(indices.size());
        for (size_t i = 0; i < indices.size(); ++i) {
            indices[i] = (i / 7 + i % 3) % 4;
            expected[(h - 1 - i / w) * w + i % w] = 0xFF000000u | four[indices[i]];  // rows arrive from the top
        }
        Decoded d = decode(GifBuilder().screen(four).descriptor(w, h).data(2, lzwEncode(indices, 2)).trailer());
        EXPECT_TRUE(d.made && d.image.width() == int(w) && pixelsOf(d.image) == expected) << w << " x " << h << d.log;
    }
}

TEST(GifReader, AZeroSizedImageGivesNoImage) {
    Decoded d = decode(GifBuilder().screen({}).descriptor(0, 5).data(2, lzwEncode({}, 2)).trailer());
    EXPECT_FALSE(d.made);
    EXPECT_EQ(d.log, "");
    d = decode(GifBuilder().screen({}).descriptor(0, 5).data(2, lzwEncode({1}, 2)).trailer());
    EXPECT_EQ(d.log, gifCorrupted);
}

}  // namespace
