// The texture decoders against ImageMagick: files the tool writes (and SGI
// layouts it only reads, laid out here) decoded equal to the tool's own
// reading of them. GIF and SGI exactly, 16-bit samples by their top byte;
// JPEG within the rounding by which two libjpeg decodes may part.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/readers/ModraneImageReader.h"
#include "tests/media/PictureFiles.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempFolder.h"

using namespace mediatest;
using pellium::Image;

namespace {

Image decode(const std::string& path) {
    LogCapture log;
    const Bytes file = ToolImages::read(path);
    Image image = modrane::ModraneImageReader::decode(orvel::FilePath(path.c_str()), file.data(), file.size());
    EXPECT_EQ(log.text(), "");
    return image;
}

struct Made {
    const char* name;
    const char* arguments;  // the tool's, before the file's name
    const char* file;
    int mode, tolerance;
    const char* format = "";  // the tool's name of the format, when the extension is not its own
};

class FromTheTool : public ::testing::TestWithParam<Made> {};

TEST_P(FromTheTool, DecodesAsTheToolReadsIt) {
    const Made& m = GetParam();
    ToolImages tool;
    const std::string path = tool.make(m.arguments, m.file, m.format);
    const Image image = decode(path);
    EXPECT_EQ(image.mode(), m.mode);
    EXPECT_LE(largestDifference(image, toolPicture(path)), m.tolerance);
}

// The rose (70 x 46: JPEG blocks cut at the edges), noise with a ramp of
// alpha, and a grey wedge, kept below white in 16 bits: the tool reads a
// 16-bit grey sample of 65535 as 0.
#define NOISE "-seed 3 -size 33x21 xc: +noise Random"
#define ALPHA " -alpha set -channel A -fx 'i/w' +channel"
#define WEDGE "-size 40x30 gradient:gray10-gray90"

const Made made[] = {
    {"gif", "rose: -colors 64", "rose.gif", 3, 0},
    {"sgiRgb", "rose: -compress None", "rose.sgi", 3, 0},
    {"sgiRgbRle", "rose: -compress RLE", "rose.rgb", 3, 0, "SGI:"},
    {"sgiRgba", NOISE ALPHA " -compress None", "noise.sgi", 4, 0},
    {"sgiRgbaRle", NOISE ALPHA " -compress RLE", "noise.rgba", 4, 0, "SGI:"},
    {"sgiGrey", WEDGE " -compress None", "wedge.bw", 3, 0, "SGI:"},
    {"sgiGreyRle", WEDGE " -compress RLE", "wedge.sgi", 3, 0},
    {"sgiRgb16", NOISE " -depth 16", "noise16.sgi", 3, 0},
    {"sgiRgba16", NOISE ALPHA " -depth 16", "alpha16.sgi", 4, 0},
    {"sgiGrey16", WEDGE " -depth 16", "wedge16.sgi", 3, 0},
    {"jpegBaseline", "rose: -quality 85", "rose.jpg", 3, 3},
    {"jpegProgressive", "rose: -quality 90 -interlace Plane", "rose.jpeg", 3, 3},
    {"jpegGrey", "rose: -colorspace Gray -quality 80", "grey.jpg", 3, 3},
    {"jpegUnsampled", NOISE " -sampling-factor 1x1 -quality 95", "noise.jpg", 3, 3},
    {"jpegGreyProgressive", WEDGE " -interlace Plane", "wedge.jpe", 3, 3},
};

INSTANTIATE_TEST_SUITE_P(ImageMagick, FromTheTool, ::testing::ValuesIn(made),
                         [](const ::testing::TestParamInfo<Made>& info) { return std::string(info.param.name); });

// Samples from the tool's reading of the noise (its left third one run of
// equal samples); two channels are grey and alpha, whose alpha the tool
// passes over, so it is compared with the plane written.
struct Laid {
    const char* name;
    unsigned bytes;
    bool rle;
    unsigned channels;
};

class LaidOut : public ::testing::TestWithParam<Laid> {};

TEST_P(LaidOut, DecodesAsTheToolReadsIt) {
    const Laid& l = GetParam();
    ToolImages tool;
    const ToolPicture source = toolPicture(tool.make(NOISE ALPHA " -depth 16", "source.png"));
    const unsigned w = unsigned(source.width), h = unsigned(source.height);
    const unsigned from[4][4] = {{0}, {0, 3}, {0, 1, 2}, {0, 1, 2, 3}};
    std::vector<Plane> planes(l.channels, Plane(size_t(w) * h));
    for (unsigned c = 0; c < l.channels; ++c)
        for (unsigned i = 0; i < w * h; ++i) {
            const unsigned x = i % w < w / 3 ? 0 : i % w;
            uint16_t v = source.rgba[(size_t(h - 1 - i / w) * w + x) * 4 + from[l.channels - 1][c]];
            if (l.channels < 3 && c == 0)
                v = std::min<uint16_t>(v, 65534);
            planes[c][i] = l.bytes == 1 ? v >> 8 : v;
        }
    TempFolder folder;
    writeFile(folder / "laid.sgi", sgiFile(w, h, l.bytes, l.rle, planes));
    const Image image = decode(folder / "laid.sgi");
    ASSERT_EQ(image.mode(), l.channels % 2 ? 3 : 4);
    EXPECT_EQ(largestDifference(image, toolPicture(folder / "laid.sgi"), l.channels != 2), 0);
    for (unsigned i = 0; l.channels == 2 && i < w * h; ++i)
        ASSERT_EQ(image.constPixels()[i] >> 24, planes[1][i] >> (l.bytes == 2 ? 8 : 0)) << "pixel " << i;
}

const Laid laid[] = {
    {"rgb16Rle", 2, true, 3},   {"rgba16Rle", 2, true, 4},     {"grey16Rle", 2, true, 1},
    {"greyAlpha", 1, false, 2}, {"greyAlphaRle", 1, true, 2},  {"greyAlpha16", 2, false, 2},
    {"greyAlpha16Rle", 2, true, 2},
};

INSTANTIATE_TEST_SUITE_P(ByHand, LaidOut, ::testing::ValuesIn(laid),
                         [](const ::testing::TestParamInfo<Laid>& info) { return std::string(info.param.name); });

}  // namespace
