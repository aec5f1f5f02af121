// Where the toolkit gets pictures by name: one process-wide reader, set once
// at start-up (the model library registers its texture-file reader) and
// asked by the texture loader.
#pragma once

#include "base/orvel_string.h"
#include "gui/gl/Image.h"

namespace pellium {

class ImageReader {
public:
    virtual ~ImageReader();
    virtual Image read(const orvel_string& name) = 0;
    // Whether the named file exists.
    virtual bool exists(const orvel_string& name);
    // The name under which the picture is found; by default the name itself.
    virtual orvel_string resolve(const orvel_string& name);

    // The reader is not owned; it must outlive its time as the current one.
    static void setCurrent(ImageReader* reader);
    static ImageReader* current();
};

// Gives every name the same 32 x 32 noise picture (seed 0x12345678), shared.
class DummyImageReader : public ImageReader {
public:
    Image read(const orvel_string& name) override;
};

}  // namespace pellium
