#include "gui/gl/ImageReader.h"

#include "base/FilePath.h"

namespace pellium {

namespace {

ImageReader* currentReader = nullptr;

}  // namespace

ImageReader::~ImageReader() = default;

bool ImageReader::exists(const orvel_string& name) { return orvel::FilePath(name).stat().exists; }

orvel_string ImageReader::resolve(const orvel_string& name) { return name; }

void ImageReader::setCurrent(ImageReader* reader) { currentReader = reader; }

ImageReader* ImageReader::current() { return currentReader; }

Image DummyImageReader::read(const orvel_string&) {
    static const Image noise = [] {
        Image image(32, 32);
        image.addNoise(0x12345678);
        return image;
    }();
    return noise;
}

}  // namespace pellium
