#include "gui/gl/Image.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "base/Debug.h"
#include "gui/gl/ImageData.h"
#include "gui/gl/OffscreenRender.h"

namespace pellium {

Image::Image(int width, int height, const uint32_t* pixels) {
    if (width < 1 || height < 1)
        return;
    data_ = new ImageData(width, height);
    if (pixels)
        std::memcpy(data_->pixels.data(), pixels, data_->pixels.size() * 4);
}

Image::Image(const Image& source, int x, int y, int width, int height) {
    if (source.empty())
        return;
    if (x < 0) {
        width += x;
        x = 0;
    }
    if (y < 0) {
        height += y;
        y = 0;
    }
    width = std::min(width, source.width() - x);
    height = std::min(height, source.height() - y);
    if (width < 1 || height < 1)
        return;
    data_ = new ImageData(width, height);
    const uint32_t* from = source.constPixels() + size_t(y) * source.width() + x;
    for (int row = 0; row < height; ++row)
        std::memcpy(&data_->pixels[size_t(row) * width], from + size_t(row) * source.width(), size_t(width) * 4);
}

Image::Image() = default;
Image::Image(const Image& other) = default;
Image& Image::operator=(const Image& other) = default;
Image::~Image() = default;

void Image::release() { data_.reset(); }

void Image::deepCopy(const Image& other) {
    // Kept first: other may be this handle or share its data.
    orvel::ref_ptr<ImageData> from = other.data_;
    release();
    if (!from)
        return;
    data_ = new ImageData(from->width, from->height);
    data_->pixels = from->pixels;
    data_->mode = from->mode;
    data_->hotSpotX = from->hotSpotX;
    data_->hotSpotY = from->hotSpotY;
}

int Image::width() const { return data_ ? data_->width : 0; }
int Image::height() const { return data_ ? data_->height : 0; }
int Image::mode() const { return data_ ? data_->mode : 0; }

void Image::setMode(int mode) {
    if (!data_)
        return;
    data_->mode = mode;
    data_->modified = true;
}

void Image::hotSpot(int& x, int& y) const {
    x = data_ ? data_->hotSpotX : 0;
    y = data_ ? data_->hotSpotY : 0;
}

void Image::setHotSpot(int x, int y) {
    if (!data_)
        return;
    data_->hotSpotX = x;
    data_->hotSpotY = y;
}

void Image::touch() {
    data_->modified = true;
    data_->derived.release();
}

uint32_t* Image::pixels() {
    if (!data_)
        return nullptr;
    touch();
    return data_->pixels.data();
}

uint32_t* Image::pixel(int index) {
    uint32_t* first = pixels();
    return first ? first + index : nullptr;
}

uint32_t* Image::pixelAt(int x, int y) {
    uint32_t* first = pixels();
    return first ? first + (std::ptrdiff_t(y) * data_->width + x) : nullptr;
}

const uint32_t* Image::constPixels() const { return data_ ? data_->pixels.data() : nullptr; }

void Image::fill(uint32_t colour) {
    if (!data_)
        return;
    if (data_->pixels.size() != size_t(data_->width) * size_t(data_->height))
        orvel::debug("Oooops! in Image::fill()\n");
    touch();
    std::fill(data_->pixels.begin(), data_->pixels.end(), colour);
}

void Image::addNoise(uint32_t seed) {
    if (!data_)
        return;
    touch();
    uint32_t z = seed;
    uint32_t w = ~seed;
    for (uint32_t& p : data_->pixels) {
        z = 36969 * (z & 0xFFFF) + (z >> 16);
        w = 18000 * (w & 0xFFFF) + (w >> 16);
        p = ((z << 16) + (w & 0xFFFF)) | 0xFF808080u;
    }
}

bool Image::renderGL(GLclient& client) {
    if (!data_)
        return false;
    touch();
    if (renderBitmap(*this, client))
        return true;
    addNoise(12345);
    return false;
}

void Image::paste(const Image& source, int x, int y) {
    if (!data_ || source.empty())
        return;
    int fromX = 0, fromY = 0;
    if (x < 0) {
        fromX = -x;
        x = 0;
    }
    if (y < 0) {
        fromY = -y;
        y = 0;
    }
    // 64-bit: a paste far off the image must not wrap into it.
    int64_t w = std::min<int64_t>(int64_t(source.width()) - fromX, int64_t(width()) - x);
    int64_t h = std::min<int64_t>(int64_t(source.height()) - fromY, int64_t(height()) - y);
    if (w < 1 || h < 1)
        return;
    // Read before touch(): source may share this image's data.
    const uint32_t* from = source.constPixels();
    uint32_t* to = pixels();
    // Onto itself and upward, the top row goes first: a row must be read
    // before the rows under it are copied over it.
    const bool topFirst = from == to && y > fromY;
    for (int64_t i = 0; i < h; ++i) {
        const int64_t row = topFirst ? h - 1 - i : i;
        std::memmove(to + (y + row) * width() + x, from + (fromY + row) * source.width() + fromX, size_t(w) * 4);
    }
}

void Image::keyOutCornerColour() {
    if (!data_)
        return;
    uint32_t* p = pixels();
    const uint32_t key = p[size_t(data_->height - 1) * data_->width];
    for (uint32_t& q : data_->pixels)
        if (q == key)
            q &= 0x00FFFFFFu;
}

bool Image::isModified() const { return data_ && data_->modified; }

void Image::clearModified() {
    if (data_)
        data_->modified = false;
}

void Image::makeTransparencyMask() {
    if (!data_ || data_->mode != 4 || !data_->modified)
        return;
    data_->modified = false;
    std::vector<uint32_t>& pixels = data_->pixels;
    std::vector<uint32_t>& mask = data_->transparencyMask;
    auto seeThrough = [](uint32_t p) { return (p >> 24) < 128; };
    if (std::none_of(pixels.begin(), pixels.end(), seeThrough)) {
        mask.clear();
        return;
    }
    mask.assign(pixels.size(), 0u);
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (seeThrough(pixels[i])) {
            mask[i] = 0xFFFFFFFFu;
            pixels[i] = 0;
        }
    }
}

const std::vector<uint32_t>& Image::transparencyMask() const {
    static const std::vector<uint32_t> none;
    return data_ ? data_->transparencyMask : none;
}

const Image& Image::derivedImage() const {
    static const Image none;
    return data_ ? data_->derived : none;
}

void Image::setDerivedImage(const Image& image) {
    // Holding itself would keep the data alive for ever.
    if (data_ && image.data_ != data_)
        data_->derived = image;
}

}  // namespace pellium
