// Hostile texture files: every cut of real files, a seeded corpus of damaged
// ones and headers that lie. Each gives a picture or an empty image with
// its decoder's error line, and nothing the sanitizers object to.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "media/readers/ModraneImageReader.h"
#include "tests/media/PictureFiles.h"
#include "tests/support/LogCapture.h"

using namespace mediatest;
using pellium::Image;

namespace {

struct Outcome {
    Image image;
    std::string log;
};

// Decodes a copy of exactly the bytes given, so that the sanitizers see any
// read past them.
Outcome decode(LogCapture& log, const std::string& name, const Bytes& bytes) {
    const Bytes file(bytes.begin(), bytes.end());
    Image image = modrane::ModraneImageReader::decode(orvel::FilePath(name.c_str()), file.data(), file.size());
    return {image, log.take()};
}

// A failure logs its decoder's error line, a JPEG perhaps after a warning
// (the GIF reader passes over a file that is no GIF, or holds no picture);
// a picture logs nothing, a JPEG perhaps one warning.
::testing::AssertionResult sound(const std::string& name, const Outcome& o) {
    const std::string kind = name.substr(name.rfind('.') + 1);
    const std::string error = kind == "gif" ? "GIF decode failed: " : kind == "sgi" ? "SGI decode failed: " : "JPEG decode failed: ";
    std::string rest = o.log;
    if (kind == "jpg" && rest.compare(0, 21, "JPEG decode warning: ") == 0)
        rest.erase(0, rest.find('\n') + 1);
    const bool oneLine = rest.find('\n') == rest.size() - 1;
    if (o.image.empty() ? (rest.empty() && kind == "gif") || (oneLine && rest.compare(0, error.size(), error) == 0)
                        : rest.empty() && (o.image.mode() == 3 || o.image.mode() == 4))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << (o.image.empty() ? "no picture" : "a picture") << ", log: " << o.log;
}

struct Seed {
    const char* name;
    const char* arguments;  // the tool's; none for the file laid out here
    const char* file;
};

class Hostile : public ::testing::TestWithParam<Seed> {};

// A cut file fails, or (a JPEG that lost its end, a run-length SGI cut
// after its data) keeps its size, and SGI and GIF their very pixels.
// Damage: bits flipped, bytes set to values that matter in headers and
// codes, bytes lost and added, the file cut; both outcomes must come.
TEST_P(Hostile, CutsAndDamage) {
    const Seed& s = GetParam();
    ToolImages tool;
    LogCapture log;
    Bytes seed;
    if (s.arguments) {
        seed = ToolImages::read(tool.make(s.arguments, s.file));
    } else {
        std::vector<Plane> planes(2, Plane(20 * 12));
        for (size_t i = 0; i < planes[0].size(); ++i)
            planes[0][i] = uint16_t(i % 7 < 4 ? 40000 : i * 997), planes[1][i] = uint16_t(i * 251);
        seed = sgiFile(20, 12, 2, true, planes);
    }
    const Outcome whole = decode(log, s.file, seed);
    ASSERT_TRUE(!whole.image.empty() && whole.log.empty()) << whole.log;
    const bool jpeg = std::string(s.file).find(".jpg") != std::string::npos;
    for (size_t cut = 0; cut < seed.size(); ++cut) {
        const Outcome o = decode(log, s.file, Bytes(seed.begin(), seed.begin() + long(cut)));
        ASSERT_TRUE(sound(s.file, o)) << "cut at " << cut;
        const size_t n = size_t(whole.image.width()) * size_t(whole.image.height());
        ASSERT_TRUE(o.image.empty() ||
                    (o.image.width() == whole.image.width() && o.image.height() == whole.image.height() &&
                     (jpeg || std::equal(o.image.constPixels(), o.image.constPixels() + n, whole.image.constPixels()))))
            << "cut at " << cut;
    }
    std::mt19937 random(20240611);
    const uint8_t special[] = {0x00, 0xFF, 0x80, 0x7F, 0x01, 0xFE, 0xD8, 0xDA, 0xC0, 0xC2, 0xDB, 0xC4, 0x2C, 0x21};
    int outcomes[2] = {};
    for (int n = 0; n < 3000; ++n) {
        Bytes file = seed;
        for (int m = 1 + int(random() % 4); m > 0 && !file.empty(); --m) {
            const size_t at = random() % file.size();
            switch (random() % 6) {
            case 0: file[at] ^= uint8_t(1u << (random() % 8)); break;
            case 1: file[at] = special[random() % sizeof special]; break;
            case 2: file[at] = uint8_t(random()); break;
            case 3: file.erase(file.begin() + long(at)); break;
            case 4: file.insert(file.begin() + long(at), special[random() % sizeof special]); break;
            default: file.resize(at); break;
            }
        }
        const Outcome o = decode(log, s.file, file);
        ASSERT_TRUE(sound(s.file, o)) << "damage " << n;
        ++outcomes[o.image.empty()];
    }
    EXPECT_TRUE(outcomes[0] > 100 && outcomes[1] > 100) << outcomes[0] << " pictures, " << outcomes[1] << " failures";
}

#define SMALL "rose: -resize 24x16!"

const Seed seeds[] = {
    {"sgi", SMALL " -compress None", "a.sgi"},
    {"sgiRle", SMALL " -compress RLE", "b.sgi"},
    {"sgiRgba16", SMALL " -alpha set -channel A -fx 'j/h' +channel -depth 16", "c.sgi"},
    {"sgiGreyAlpha16Rle", nullptr, "d.sgi"},
    {"jpeg", SMALL " -quality 80", "e.jpg"},
    {"jpegProgressive", SMALL " -interlace Plane", "f.jpg"},
    {"jpegGrey", SMALL " -colorspace Gray", "g.jpg"},
    {"gif", SMALL " -colors 16", "h.gif"},
};

INSTANTIATE_TEST_SUITE_P(Files, Hostile, ::testing::ValuesIn(seeds),
                         [](const ::testing::TestParamInfo<Seed>& info) { return std::string(info.param.name); });

// Offsets in a small file: a 4 x 2 run-length RGB picture, red rows copied
// samples (the first row's bytes: 0x83 1 2 3 0x81 4 0), green and blue runs; its
// six rows' starts, then their lengths.
Bytes smallSgi() { return sgiFile(4, 2, 1, true, {Plane{1, 2, 3, 4, 5, 6, 7, 8}, Plane(8, 9), Plane{1, 1, 1, 1, 2, 2, 2, 2}}); }
constexpr size_t starts = 512, lengths = starts + 4 * 6, firstRow = lengths + 4 * 6;

// The offset of the first or last marker `code` of a JPEG file.
size_t marker(const Bytes& b, uint8_t code, bool last = false) {
    size_t found = 0;
    for (size_t i = 0; i + 1 < b.size() && (last || !found); ++i)
        found = b[i] == 0xFF && b[i + 1] == code ? i : found;
    return found;
}

TEST(LyingHeaders, GiveTheirErrorLines) {
    ToolImages tool;
    const Bytes progressive = ToolImages::read(tool.make(SMALL " -interlace Plane", "p.jpg"));
    const Bytes cmyk = ToolImages::read(tool.make(SMALL " -colorspace CMYK", "cmyk.jpg"));
    auto sgi = [](size_t at, uint8_t value) {
        Bytes b = smallSgi();
        b[at] = value;
        return b;
    };
    const std::string end = "SGI decode failed: unexpected end of file\n", corrupt = "SGI decode failed: corrupted file\n",
                      unsupported = "SGI decode failed: unsupported layout\n";
    const struct {
        const char* what;
        const char* file;
        std::function<Bytes()> make;
        std::string log;
    } rows[] = {
        {"a short header", "x.sgi", [] { return Bytes(511, 0); }, end},
        {"no magic number", "x.sgi", [&] { return sgi(1, 0xDB); }, "SGI decode failed: not an SGI image\n"},
        {"three bytes a sample", "x.sgi", [&] { return sgi(3, 3); }, unsupported},
        {"a colour map", "x.sgi", [&] { return sgi(107, 1); }, unsupported},
        {"five channels", "x.sgi", [&] { return sgi(11, 5); }, unsupported},
        {"no width", "x.sgi", [&] { return sgi(7, 0); }, corrupt},
        {"4096 x 16385", "x.sgi", [&] { Bytes b = sgi(6, 0x10); b[7] = 0, b[8] = 0x40, b[9] = 1; return b; }, corrupt},
        {"15874 rows, tables for two", "x.sgi", [&] { return sgi(8, 0x3E); }, end},
        {"verbatim data short by one", "x.sgi", [&] { Bytes b = sgi(2, 0); b.resize(512 + 23); return b; }, end},
        {"a row past the end", "x.sgi", [&] { return sgi(starts, 0x7F); }, end},
        {"a row longer than the file", "x.sgi", [&] { return sgi(lengths, 0x7F); }, end},
        {"a run longer than the row", "x.sgi", [&] { return sgi(firstRow, 0x85); }, corrupt},
        {"a row without its end code", "x.sgi", [&] { return sgi(lengths + 3, 5); }, end},
        {"no JPEG at all", "x.jpg", [] { return Bytes(100, 0x47); }, "JPEG decode failed: Not a JPEG file: starts with 0x47 0x47\n"},
        {"CMYK", "x.jpg", [&] { return cmyk; }, "JPEG decode failed: Unsupported color conversion request\n"},
        {"a frame of 59928 x 59920", "x.jpg",
         [&] {
             Bytes b = progressive;
             const size_t sof = marker(b, 0xC2);
             b[sof + 5] = b[sof + 7] = 0xEA;
             return b;
         },
         "JPEG decode failed: picture too large\n"},
        {"a scan given a thousand times more", "x.jpg",
         [&] {
             const long last = long(marker(progressive, 0xDA, true)), eoi = long(marker(progressive, 0xD9, true));
             Bytes b(progressive.begin(), progressive.begin() + eoi);
             for (int i = 0; i < 1000; ++i)
                 b.insert(b.end(), progressive.begin() + last, progressive.begin() + eoi);
             b.insert(b.end(), {0xFF, 0xD9});
             return b;
         },
         "JPEG decode failed: too many scans\n"},
        {"an unknown kind of picture", "x.tga", [] { return Bytes(100, 1); }, "---Image x.tga: no decoder for its kind\n"},
    };
    LogCapture log;
    for (const auto& r : rows) {
        const Outcome o = decode(log, r.file, r.make());
        const size_t from = o.log.size() - std::min(o.log.size(), r.log.size());  // after a JPEG warning
        EXPECT_TRUE(o.image.empty() && o.log.substr(from) == r.log) << r.what << ": " << o.log;
    }
    // Long and thin is no lie: 16388 x 2, its rows as far as their data reaches.
    const Outcome wide = decode(log, "x.sgi", sgi(6, 0x40));
    EXPECT_TRUE(wide.log.empty() && wide.image.width() == 16388 && wide.image.height() == 2) << wide.log;
    // The small file itself is sound, its bottom row first.
    const Outcome o = decode(log, "x.sgi", smallSgi());
    const uint32_t expected[8] = {0xFF010901, 0xFF020901, 0xFF030901, 0xFF040901, 0xFF050902, 0xFF060902, 0xFF070902, 0xFF080902};
    EXPECT_TRUE(o.log.empty() && std::equal(expected, expected + 8, o.image.constPixels()));
}

}  // namespace
