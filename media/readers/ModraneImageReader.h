// The model library's texture-file reader: finds a picture file on the
// model search paths and decodes it by its extension.
#pragma once

#include <cstddef>

#include "base/FilePath.h"
#include "gui/gl/ImageReader.h"

namespace modrane {

class ModraneImageReader : public pellium::ImageReader {
public:
    // The decoded picture of the file found under name; an empty image (and
    // a log line) when none is found or it cannot be read or decoded.
    pellium::Image read(const orvel_string& name) override;
    // Whether a file of that name is found.
    bool exists(const orvel_string& name) override;
    // The path the file is found under, which is the same for every
    // spelling of it; the name itself when none is found.
    orvel_string resolve(const orvel_string& name) override;

    // A file's bytes decoded by the extension of its path: GIF (.gif), SGI
    // (.sgi, .rgb, .rgba, .bw, .int, .inta) or JPEG (.jpg, .jpeg, .jpe,
    // .jfif). Another extension gives an empty image and a log line.
    static pellium::Image decode(const orvel::FilePath& path, const unsigned char* data, size_t size);
};

}  // namespace modrane
