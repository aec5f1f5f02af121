#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "gui/gl/BitmapHeader.h"
#include "gui/gl/ImageReader.h"

using pellium::Image;

namespace {

class OneFileReader : public pellium::ImageReader {
public:
    Image read(const orvel_string&) override { return Image(1, 1); }
};

TEST(ImageReader, ExistsAsksTheFileSystemAndResolveGivesTheNameBack) {
    char folder[] = "/tmp/kalvora-reader-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string file = std::string(folder) + "/Stone.gif";
    FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    OneFileReader reader;
    EXPECT_TRUE(reader.exists(file.c_str()));
    EXPECT_FALSE(reader.exists((std::string(folder) + "/missing.gif").c_str()));
    std::remove(file.c_str());
    EXPECT_FALSE(reader.exists(file.c_str()));
    rmdir(folder);
    EXPECT_EQ(reader.resolve("Textures\\Sky/Cloud.GIF"), "Textures\\Sky/Cloud.GIF");
    EXPECT_EQ(reader.resolve(""), "");
}

TEST(DummyImageReader, EveryNameGivesTheSameSharedNoisePicture) {
    pellium::DummyImageReader reader;
    Image a = reader.read("a.gif");
    Image b = reader.read("something else entirely");
    ASSERT_EQ(a.width(), 32);
    ASSERT_EQ(a.height(), 32);
    EXPECT_EQ(a.data(), b.data());
    const uint32_t first[] = {0xFFECD1FB, 0xFF93EF80, 0xFF9BE9AC, 0xFFD2ACBC};
    EXPECT_EQ(std::memcmp(a.constPixels(), first, sizeof first), 0);
}

TEST(BitmapHeader, A32BitBottomUpVersion4Header) {
    pellium::BitmapV4Header header;
    std::memset(&header, 0xAB, sizeof header);
    pellium::makeBitmapHeader(header, 640, 480);
    uint8_t expected[108] = {108, 0, 0, 0, 0x80, 2, 0, 0, 0xE0, 1, 0, 0, 1, 0, 32, 0};
    const size_t ppm = 24, masks = 40;
    expected[ppm] = expected[ppm + 4] = 0xE8;  // 1000
    expected[ppm + 1] = expected[ppm + 5] = 0x03;
    expected[masks] = 0xFF;
    expected[masks + 5] = 0xFF;
    expected[masks + 10] = 0xFF;
    expected[masks + 15] = 0xFF;
    EXPECT_EQ(std::memcmp(&header, expected, 108), 0);
}

}  // namespace
