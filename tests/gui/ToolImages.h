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

#include "tests/gui/GifWriter.h"

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
        std::string output = run(command);
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
        std::string size = run(tool() + " '" + path + "[0]' -format '%w %h' info:");
        if (std::sscanf(size.c_str(), "%d %d", &f.width, &f.height) != 2)
            ADD_FAILURE() << "no size for " << path << ": " << size;
        std::string raw = run(tool() + " '" + path + "[0]' -depth 8 rgba:-");
        f.rgba.assign(raw.begin(), raw.end());
        EXPECT_EQ(f.rgba.size(), size_t(f.width) * f.height * 4) << path;
        return f;
    }

    static std::string tool() { return KALVORA_IMAGEMAGICK; }

private:
    static std::string run(const std::string& command) {
        std::string out;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return out;
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
        return out;
    }

    std::string dir_;
    std::vector<std::string> files_;
};
