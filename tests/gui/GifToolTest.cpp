// The GIF reader against files ImageMagick writes, compared pixel by pixel
// with the tool's own decoding of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/gl/GifReader.h"
#include "tests/support/LogCapture.h"
#include "tests/gui/ToolImages.h"

using pellium::Image;

namespace {

Image decode(const Bytes& file) {
    LogCapture log;
    Image image;
    pellium::loadGIF(image, file.data(), file.size());
    EXPECT_EQ(log.text(), "");
    return image;
}

struct Case {
    const char* name;
    const char* arguments;
    const char* version;
    int mode;
};

class GifFromTool : public ::testing::TestWithParam<Case> {};

TEST_P(GifFromTool, DecodesToThePixelsTheToolReports) {
    const Case& c = GetParam();
    ToolImages tool;
    std::string path = tool.make(c.arguments, std::string(c.name) + ".gif", c.version[4] == '7' ? "GIF87:" : "");
    ASSERT_FALSE(path.empty());
    Bytes file = ToolImages::read(path);
    ASSERT_GE(file.size(), 6u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 6), c.version);
    Image image = decode(file);
    EXPECT_EQ(image.mode(), c.mode);
    ToolImages::expectSame(image, ToolImages::frame(path));
}

const Case cases[] = {
    {"rose64", "rose: -colors 64 +dither", "GIF89a", 3},
    {"rose16", "rose: -colors 16", "GIF87a", 3},
    {"noise256", "-seed 7 -size 200x160 xc: +noise Random -colors 256 +dither", "GIF89a", 3},
    {"mono", "-size 13x7 xc:black -fill white -draw 'point 3,2' -colors 2", "GIF89a", 3},
    {"transparent", "-size 40x30 xc:red -fill blue -draw 'rectangle 5,5 20,20' -transparent red", "GIF89a", 4},
    {"transparentRose", "rose: -colors 32 -fuzz 20% -transparent '#C04040'", "GIF89a", 4},
    {"offset", "-size 10x8 xc:red -repage 40x30+5+7", "GIF89a", 3},
    {"animated", "-delay 10 -size 16x16 xc:red xc:lime xc:blue", "GIF89a", 3},
    {"one", "-size 1x1 xc:green", "GIF89a", 3},
    {"oneWide", "-size 1x37 gradient:yellow-navy -colors 8", "GIF89a", 3},
    {"oneHigh", "-size 37x1 gradient:yellow-navy -colors 8", "GIF89a", 3},
    {"strip87", "-size 255x3 plasma:fractal -seed 3 -colors 100", "GIF87a", 3},
    {"large", "-seed 11 -size 640x480 plasma:fractal -colors 256", "GIF89a", 3},
    {"grey4", "-size 64x64 gradient: -colors 4", "GIF89a", 3},
};

INSTANTIATE_TEST_SUITE_P(ImageMagick, GifFromTool, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(GifFromToolInterlaced, RowsStayInArrivalOrder) {
    ToolImages tool;
    std::string path = tool.make("rose: -colors 32 -interlace GIF", "interlaced.gif");
    Bytes file = ToolImages::read(path);
    ToolImages::Frame frame = ToolImages::frame(path);
    // Arrival order of an interlaced picture: every 8th row from 0, every
    // 8th from 4, every 4th from 2, then the odd rows.
    std::vector<int> arrival;
    for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int r = start; r < frame.height; r += step)
            arrival.push_back(r);
    ASSERT_EQ(arrival.size(), size_t(frame.height));
    ToolImages::expectSame(decode(file), frame, arrival);
}

}  // namespace
