// Packed bitmaps as resources hold them: files ImageMagick writes (with the
// file header taken off), broken ones, and the built-in toolbar strip.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "gui/gl/ResourceModule.h"
#include "tests/gui/ToolImages.h"

using pellium::Image;

namespace {

uint32_t read32(const Bytes& b, size_t at) {
    return b[at] | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

void put32(Bytes& b, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(value >> (8 * i));
}

// A bitmap file without its 14-byte file header, checked to be packed.
Bytes packedFrom(const Bytes& file) {
    EXPECT_GT(file.size(), 54u);
    const uint32_t headerSize = read32(file, 14), bits = file[28], colours = read32(file, 46);
    const uint32_t tableSize = bits <= 8 ? (colours ? colours : 1u << bits) * 4 : 0;
    EXPECT_EQ(read32(file, 10), 14 + headerSize + tableSize) << "rows must follow the colour table";
    return Bytes(file.begin() + 14, file.end());
}

struct Case {
    const char* name;
    const char* arguments;
    const char* format;
    unsigned bits;
};

class DibFromTool : public ::testing::TestWithParam<Case> {};

TEST_P(DibFromTool, DecodesToThePixelsTheToolReports) {
    const Case& c = GetParam();
    ToolImages tool;
    std::string path = tool.make(c.arguments, std::string(c.name) + ".bmp", c.format);
    ASSERT_FALSE(path.empty());
    Bytes dib = packedFrom(ToolImages::read(path));
    ASSERT_EQ(dib[14], c.bits);
    Image image = pellium::decodeDib(dib.data(), dib.size());
    ToolImages::expectSame(image, ToolImages::frame(path));
    EXPECT_EQ(image.mode(), 4);
}

const Case cases[] = {
    {"bits1", "rose: -colors 2 -type Palette", "BMP3:", 1},
    {"bits4", "rose: -colors 16 -type Palette", "BMP3:", 4},
    {"bits8", "rose: -colors 200 -type Palette -compress none", "BMP3:", 8},
    {"bits24", "rose: -type TrueColor", "BMP3:", 24},
    {"bits4v5", "rose: -colors 16 -type Palette", "BMP:", 4},
    {"bits24v5odd", "-size 13x5 gradient:red-blue -type TrueColor", "BMP:", 24},
};

INSTANTIATE_TEST_SUITE_P(ImageMagick, DibFromTool, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The tool's 24-bit rows rewritten as 32-bit ones, top row first.
TEST(Dib, ThirtyTwoBitTopDownRows) {
    ToolImages tool;
    std::string path = tool.make("rose: -type TrueColor", "rose24.bmp", "BMP3:");
    Bytes dib = packedFrom(ToolImages::read(path));
    const int w = int(read32(dib, 4)), h = int(read32(dib, 8));
    const size_t stride24 = (size_t(w) * 3 + 3) / 4 * 4;
    Bytes out(dib.begin(), dib.begin() + 40);
    out[14] = 32;
    put32(out, 8, uint32_t(-h));
    for (int r = h - 1; r >= 0; --r) {
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &dib[40 + size_t(r) * stride24 + size_t(x) * 3];
            out.insert(out.end(), {p[0], p[1], p[2], 0x00});  // alpha becomes 255 on loading
        }
    }
    ToolImages::expectSame(pellium::decodeDib(out.data(), out.size()), ToolImages::frame(path));
}

TEST(Dib, BrokenBitmapsGiveEmptyImages) {
    ToolImages tool;
    Bytes dib = packedFrom(ToolImages::read(tool.make("rose: -colors 16 -type Palette", "r.bmp", "BMP3:")));
    ASSERT_FALSE(pellium::decodeDib(dib.data(), dib.size()).empty());
    for (size_t cut = 0; cut < dib.size(); ++cut) {
        Bytes part(dib.begin(), dib.begin() + long(cut));
        part.shrink_to_fit();
        ASSERT_TRUE(pellium::decodeDib(part.data(), part.size()).empty()) << cut;
    }
    auto withField = [&](size_t at, uint32_t value) {
        Bytes b = dib;
        put32(b, at, value);
        return pellium::decodeDib(b.data(), b.size());
    };
    EXPECT_TRUE(withField(16, 2).empty());           // run-length compressed
    EXPECT_TRUE(withField(0, 12).empty());           // an old core header
    EXPECT_TRUE(withField(0, 0x7FFFFFFF).empty());   // header past the end
    EXPECT_TRUE(withField(4, 0).empty());            // no width
    EXPECT_TRUE(withField(4, 0x80000000u).empty());  // negative width
    EXPECT_TRUE(withField(8, 0).empty());            // no height
    EXPECT_TRUE(withField(8, 40000).empty());        // rows past the end
    EXPECT_TRUE(withField(12, 0x00100001).empty());  // 16 bits a pixel
    EXPECT_EQ(withField(32, 9999).width(), 70);      // a colour count over the maximum means the maximum
    EXPECT_TRUE(pellium::decodeDib(nullptr, 100).empty());
}

TEST(Dib, IndicesPastAShortColourTableAreOpaqueBlack) {
    // 8 bits a pixel, two colours in the table, one row: indices 1 and 200.
    Bytes dib(40, 0);
    const std::pair<size_t, uint32_t> fields[] = {{0, 40}, {4, 2}, {8, 1}, {12, 0x00080001}, {32, 2}};
    for (auto [at, value] : fields)
        put32(dib, at, value);
    dib.insert(dib.end(), {0, 0, 0, 0, 0x30, 0x20, 0x10, 0});
    dib.insert(dib.end(), {1, 200, 0, 0});
    Image image = pellium::decodeDib(dib.data(), dib.size());
    ASSERT_EQ(image.width(), 2);
    ASSERT_EQ(image.height(), 1);
    EXPECT_EQ(image.constPixels()[0], 0xFF102030u);
    EXPECT_EQ(image.constPixels()[1], 0xFF000000u);
}

TEST(ResourceModule, TheCommonControlsAreFoundByLibraryName) {
    const pellium::ResourceModule* module = pellium::ResourceModule::find("comctl32.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(pellium::ResourceModule::find("C:\\WINDOWS\\system32\\COMCTL32.DLL"), module);
    EXPECT_EQ(pellium::ResourceModule::find("ComCtl32"), module);
    EXPECT_EQ(module->name(), "comctl32.dll");
    EXPECT_EQ(pellium::ResourceModule::find("shell32.dll"), nullptr);
    EXPECT_EQ(pellium::ResourceModule::find(nullptr), nullptr);
}

TEST(ResourceModule, TheStandardToolbarStrip) {
    Image strip;
    strip.loadBitmapResource(pellium::ResourceModule::find("comctl32.dll"), pellium::standardSmallColourBitmap);
    ASSERT_EQ(strip.height(), 16);
    ASSERT_EQ(strip.width(), 9 * 16);
    const uint32_t* p = strip.constPixels();
    EXPECT_TRUE(std::all_of(p, p + 16 * 144, [](uint32_t c) { return c >> 24 == 0xFF; }));
    for (int cell = 0; cell < 9; ++cell) {
        // The top-left pixel of every cell is the silver background that
        // callers key out, and every cell draws something on it.
        EXPECT_EQ(p[15 * 144 + cell * 16], 0xFFC0C0C0u) << cell;
        int drawn = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                drawn += p[y * 144 + cell * 16 + x] != 0xFFC0C0C0u;
        EXPECT_GT(drawn, 20) << cell;
    }
    // Delete is a red cross: its centre is red.
    EXPECT_EQ(p[8 * 144 + 5 * 16 + 7], 0xFFFF0000u);
}

TEST(ResourceModule, UnknownIdsAndModulesGiveEmptyImages) {
    Image image(4, 4);
    image.loadBitmapResource(pellium::ResourceModule::find("comctl32.dll"), 121);
    EXPECT_TRUE(image.empty());
    image = Image(4, 4);
    image.loadBitmapResource(nullptr, 120);
    EXPECT_TRUE(image.empty());
    pellium::ResourceModule own("kalvora.exe");
    own.addBitmap(7, {1, 2, 3});
    image.loadBitmapResource(&own, 7);
    EXPECT_TRUE(image.empty());
}

}  // namespace
