// Hostile GIF files: every cut of real files and many thousand mutated ones.
// Each must give either an image or one of the two error lines, and nothing
// the sanitizers object to.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "gui/gl/GifReader.h"
#include "tests/support/LogCapture.h"
#include "tests/gui/ToolImages.h"

using pellium::Image;

namespace {

std::vector<Bytes> makeSeeds(ToolImages& tool) {
    std::vector<Bytes> seeds;
    for (auto [arguments, name] : {std::pair{"rose: -colors 64 +dither", "rose.gif"},
                                   {"rose: -colors 16 -interlace GIF", "interlaced.gif"},
                                   {"-size 40x30 xc:red -fill blue -draw 'rectangle 5,5 20,20' -transparent red", "t.gif"},
                                   {"-seed 5 -size 48x40 xc: +noise Random -colors 256 +dither", "noise.gif"},
                                   {"-delay 10 -size 8x8 xc:red xc:lime", "anim.gif"}}) {
        std::string path = tool.make(arguments, name);
        if (!path.empty())
            seeds.push_back(ToolImages::read(path));
    }
    // A full table with no clear, and wide literal codes.
    std::vector<unsigned> indices;
    for (unsigned i = 0; i < 3000; ++i)
        indices.push_back((i * i + i / 7) & 63);
    Palette palette(64);
    for (unsigned i = 0; i < 64; ++i)
        palette[i] = i * 0x030405;
    seeds.push_back(GifBuilder().screen(palette).control(1, 3).descriptor(60, 50).data(6, lzwEncode(indices, 6, false), 40).trailer());
    seeds.push_back(GifBuilder().screen({}).descriptor(4, 2).data(10, lzwEncode({1, 1000, 1, 1, 1000, 1000, 7, 1}, 10)).trailer());
    return seeds;
}

struct Outcome {
    Image image;
    std::string log;
};

Outcome decode(LogCapture& log, const Bytes& file) {
    Outcome out;
    out.image = Image(2, 2);
    bool made = pellium::loadGIF(out.image, file.data(), file.size());
    out.log = log.take();
    EXPECT_EQ(made, !out.image.empty());
    return out;
}

bool samePixels(const Image& a, const Image& b) {
    return a.width() == b.width() && a.height() == b.height() && a.mode() == b.mode() &&
           std::equal(a.constPixels(), a.constPixels() + size_t(a.width()) * a.height(), b.constPixels());
}

class GifFuzz : public ::testing::Test {
protected:
    void SetUp() override {
        seeds = makeSeeds(tool);
        ASSERT_EQ(seeds.size(), 7u);
    }
    ToolImages tool;
    LogCapture log;
    std::vector<Bytes> seeds;
};

TEST_F(GifFuzz, EveryCutOfARealFileIsAnUnexpectedEndOrTheWholeImage) {
    size_t cases = 0;
    for (const Bytes& seed : seeds) {
        Outcome whole = decode(log, seed);
        ASSERT_FALSE(whole.image.empty()) << whole.log;
        ASSERT_EQ(whole.log, "");
        // Past some length every cut has all the decoder reads.
        bool complete = false;
        for (size_t cut = 0; cut < seed.size(); ++cut, ++cases) {
            Bytes part(seed.begin(), seed.begin() + long(cut));
            part.shrink_to_fit();  // so that the sanitizer sees any read past the cut
            Outcome o = decode(log, part);
            if (o.image.empty()) {
                ASSERT_FALSE(complete) << "cut at " << cut;
                ASSERT_EQ(o.log, gifEndOfFile) << "cut at " << cut;
            } else {
                complete = true;
                ASSERT_TRUE(samePixels(o.image, whole.image)) << "cut at " << cut;
                ASSERT_EQ(o.log, "");
            }
        }
    }
    EXPECT_GT(cases, 5000u);
}

TEST_F(GifFuzz, MutatedFilesGiveAnImageOrAnErrorLine) {
    std::mt19937 random(20240607);
    const uint8_t special[] = {0x00, 0xFF, 0x21, 0x2C, 0x3B, 0xF9, 0x80, 0x0B, 0x01};
    int made = 0, broken = 0, quiet = 0;
    for (int n = 0; n < 12000; ++n) {
        Bytes file = seeds[random() % seeds.size()];
        const int mutations = 1 + int(random() % 4);
        for (int m = 0; m < mutations; ++m) {
            const size_t at = random() % file.size();
            switch (random() % 6) {
            case 0:
            case 1:
            case 2:
                file[at] ^= uint8_t(1u << (random() % 8));
                break;
            case 3:
                file[at] = special[random() % sizeof special];
                break;
            case 4:
                file[at] = uint8_t(random());
                break;
            default:
                file.resize(at + 1);
                break;
            }
        }
        file.shrink_to_fit();
        Outcome o = decode(log, file);
        if (!o.image.empty()) {
            ++made;
            ASSERT_LE(uint64_t(o.image.width()) * uint64_t(o.image.height()), pellium::maxFileImagePixels);
            ASSERT_TRUE(o.image.mode() == 3 || o.image.mode() == 4);
            ASSERT_EQ(o.log, "");
        } else if (o.log.empty()) {
            ++quiet;  // a broken signature, or a trailer before the image
        } else {
            ++broken;
            ASSERT_TRUE(o.log == gifCorrupted || o.log == gifEndOfFile) << o.log;
        }
    }
    // The mix must reach all three outcomes, or the mutations are too tame.
    EXPECT_GT(made, 1000);
    EXPECT_GT(broken, 1000);
    EXPECT_GT(quiet, 10);
}

TEST(GifCodeFuzz, RandomCodeStreamsAfterAValidHeader) {
    LogCapture log;
    std::mt19937 random(7);
    Palette palette(256, 0x808080);
    int made = 0;
    for (int n = 0; n < 4000; ++n) {
        Bytes codes(1 + random() % 600);
        for (uint8_t& b : codes)
            b = uint8_t(random());
        const unsigned minSize = 1 + random() % 11;
        const unsigned w = 1 + random() % 40, h = 1 + random() % 40;
        Bytes file = GifBuilder().screen(palette).descriptor(w, h).data(minSize, codes, 1 + random() % 255).trailer();
        Outcome o = decode(log, file);
        if (!o.image.empty())
            ++made;
        else
            ASSERT_TRUE(o.log == gifCorrupted || o.log == gifEndOfFile) << o.log;
    }
    EXPECT_GT(made, 0);
}

}  // namespace
