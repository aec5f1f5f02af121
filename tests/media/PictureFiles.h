// Picture files for the decoders' tests: SGI files laid out here in the
// layouts ImageMagick does not write (two channels, 16-bit run-length), and
// the tool's own reading of any file to compare a decoded picture with.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui/gl/Image.h"
#include "tests/gui/ToolImages.h"
#include "tests/support/ChildProcess.h"

namespace mediatest {

// The samples of one channel, rows bottom-up as SGI stores them.
using Plane = std::vector<uint16_t>;

// An SGI file of 1 or 2 bytes a sample, verbatim or run-length (runs of
// equal samples repeated, others copied three at a time).
inline Bytes sgiFile(unsigned width, unsigned height, unsigned bytes, bool rle, const std::vector<Plane>& planes) {
    Bytes out(512, 0);
    auto set32 = [&](size_t at, size_t v) {
        for (int k = 0; k < 4; ++k)
            out[at + size_t(k)] = uint8_t(v >> (24 - 8 * k));
    };
    auto sample = [&](unsigned v) {
        if (bytes == 2)
            out.push_back(uint8_t(v >> 8));
        out.push_back(uint8_t(v));
    };
    const uint8_t head[] = {1, 218, rle, uint8_t(bytes), 0, 3, uint8_t(width >> 8), uint8_t(width),
                            uint8_t(height >> 8), uint8_t(height), 0, uint8_t(planes.size())};
    std::copy(head, head + sizeof head, out.begin());
    set32(16, bytes == 1 ? 255 : 65535);  // the largest sample, which the tool's grey reading needs
    const size_t rows = size_t(height) * planes.size();
    out.resize(rle ? 512 + 8 * rows : 512);
    for (size_t r = 0; r < rows; ++r) {
        const uint16_t* row = &planes[r / height][r % height * width];
        const size_t start = out.size();
        for (unsigned x = 0, n; x < width; x += n) {
            for (n = 1; rle && x + n < width && n < 127 && row[x + n] == row[x];)
                ++n;
            if (n > 1) {
                sample(n), sample(row[x]);
                continue;
            }
            n = rle ? std::min(width - x, 3u) : width;
            if (rle)
                sample(0x80 | n);
            for (unsigned k = 0; k < n; ++k)
                sample(row[x + k]);
        }
        if (rle)
            sample(0), set32(512 + 4 * r, start), set32(512 + 4 * (rows + r), out.size() - start);
    }
    return out;
}

// The tool's reading of a file: 16-bit red, green, blue and alpha samples
// from the top row down.
struct ToolPicture {
    int width = 0, height = 0;
    std::vector<uint16_t> rgba;
};

inline ToolPicture toolPicture(const std::string& path) {
    ToolPicture p;
    const std::string tool = ToolImages::tool() + " '" + path + "[0]'";
    std::sscanf(support::commandOutput(tool + " -format '%w %h' info:").c_str(), "%d %d", &p.width, &p.height);
    const std::string raw = support::commandOutput(tool + " -depth 16 -endian MSB rgba:-");
    for (size_t i = 0; i + 1 < raw.size(); i += 2)
        p.rgba.push_back(uint16_t(uint8_t(raw[i]) << 8 | uint8_t(raw[i + 1])));
    EXPECT_EQ(p.rgba.size(), size_t(p.width) * size_t(p.height) * 4) << path;
    return p;
}

// The largest difference of a channel between the picture and the tool's
// samples reduced to their top byte, as the decoders reduce 16 bits;
// alpha only when withAlpha. 256 when the sizes differ.
inline int largestDifference(const pellium::Image& image, const ToolPicture& tool, bool withAlpha = true) {
    if (image.width() != tool.width || image.height() != tool.height || tool.rgba.empty())
        return 256;
    int most = 0;
    const size_t w = size_t(tool.width), h = size_t(tool.height);
    for (size_t i = 0; i < w * h; ++i) {
        const uint32_t ours = image.constPixels()[(h - 1 - i / w) * w + i % w];
        for (int c = 0; c < (withAlpha ? 4 : 3); ++c)
            most = std::max(most, std::abs(int(ours >> (c == 3 ? 24 : 16 - 8 * c) & 0xFF) - (tool.rgba[i * 4 + size_t(c)] >> 8)));
    }
    return most;
}

}  // namespace mediatest
