// Files made by ImageMagick, the independent reference: the tool writes
// a file into a private folder and reports its first frame's pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "gui/gl/Image.h"
#include "tests/gui/GifWriter.h"
#include "tests/support/ChildProcess.h"

class ToolImages {
public:
    ToolImages() {
        char pattern[] = "/tmp/kalvora-image-XXXXXX";
        if (mkdtemp(pattern))
            dir_ = pattern;
    }
    ~ToolImages() {
        for (const std::string& f : files_)
            std::remove(f.c_str());
        if (!dir_.empty())
            rmdir(dir_.c_str());
    }
    ToolImages(const ToolImages&) = delete;
    ToolImages& operator=(const ToolImages&) = delete;

    // Runs the tool with `arguments`, the output file name last; returns the
    // file's path, or "" (and a test failure) when it could not be made.
    std::string make(const std::string& arguments, const std::string& name, const std::string& prefix = "") {
        std::string path = dir_ + "/" + name;
        files_.push_back(path);
        std::string command = tool() + " " + arguments + " " + prefix + path + " 2>&1";
        std::string output = support::commandOutput(command);
        if (!std::ifstream(path)) {
            ADD_FAILURE() << "the tool made no file: " << command << "\n" << output;
            return "";
        }
        return path;
    }

    static Bytes read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The first frame as the tool decodes it: width, height and RGBA bytes
    // from the top row down.
    struct Frame {
        int width = 0;
        int height = 0;
        Bytes rgba;
    };
    static Frame frame(const std::string& path) {
        Frame f;
        std::string size = support::commandOutput(tool() + " '" + path + "[0]' -format '%w %h' info:");
        if (std::sscanf(size.c_str(), "%d %d", &f.width, &f.height) != 2)
            ADD_FAILURE() << "no size for " << path << ": " << size;
        std::string raw = support::commandOutput(tool() + " '" + path + "[0]' -depth 8 rgba:-");
        f.rgba.assign(raw.begin(), raw.end());
        EXPECT_EQ(f.rgba.size(), size_t(f.width) * f.height * 4) << path;
        return f;
    }

    // Compares alpha everywhere and the colour where the pixel is opaque (the
    // tool gives see-through pixels no colour). topRow[k] is the tool's row
    // that the image's row k (counted from the top) must equal.
    static void expectSame(const pellium::Image& image, const Frame& frame, const std::vector<int>& topRow = {}) {
        ASSERT_EQ(image.width(), frame.width);
        ASSERT_EQ(image.height(), frame.height);
        const int w = frame.width, h = frame.height;
        int differences = 0;
        for (int y = 0; y < h && differences < 10; ++y) {
            const int from = topRow.empty() ? y : topRow[size_t(y)];
            for (int x = 0; x < w; ++x) {
                const uint8_t* ref = &frame.rgba[(size_t(from) * w + x) * 4];
                uint32_t ours = image.constPixels()[size_t(h - 1 - y) * w + x];
                uint32_t alpha = ours >> 24;
                bool same = alpha == ref[3] && (alpha != 255 || ours == (0xFF000000u | uint32_t(ref[0]) << 16 |
                                                                         uint32_t(ref[1]) << 8 | ref[2]));
                if (!same && ++differences < 10)
                    ADD_FAILURE() << "pixel " << x << "," << y << ": ours " << std::hex << ours << ", the tool's "
                                  << int(ref[0]) << " " << int(ref[1]) << " " << int(ref[2]) << " " << int(ref[3]);
            }
        }
    }

    static std::string tool() { return KALVORA_IMAGEMAGICK; }

private:
    std::string dir_;
    std::vector<std::string> files_;
};
