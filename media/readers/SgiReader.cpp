#include "media/readers/SgiReader.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/Debug.h"

namespace modrane {

namespace {

struct SgiError {
    const char* text;
};

const SgiError badHeader{"not an SGI image"};
const SgiError unsupported{"unsupported layout"};
const SgiError corrupted{"corrupted file"};
const SgiError unexpectedEnd{"unexpected end of file"};

constexpr size_t headerSize = 512;

unsigned be16(const unsigned char* p) { return unsigned(p[0]) << 8 | p[1]; }
uint32_t be32(const unsigned char* p) { return uint32_t(be16(p)) << 16 | be16(p + 2); }

class SgiFile {
public:
    SgiFile(const unsigned char* data, size_t size) : data_(data), size_(size) {
        if (size < headerSize)
            throw unexpectedEnd;
        if (be16(data) != 474)
            throw badHeader;
        const unsigned storage = data[2], dimension = be16(data + 4);
        rle_ = storage == 1;
        bytes_ = data[3];
        width_ = be16(data + 6);
        height_ = dimension == 1 ? 1 : be16(data + 8);
        channels_ = dimension == 3 ? be16(data + 10) : 1;
        // Colour maps are a format of their own, long out of use.
        if (storage > 1 || (bytes_ != 1 && bytes_ != 2) || dimension < 1 || dimension > 3 || be32(data + 104) != 0 ||
            channels_ > 4)
            throw unsupported;
        if (width_ == 0 || height_ == 0 || channels_ == 0 || !pellium::fileImageSizeAllowed(width_, height_))
            throw corrupted;
        const uint64_t rows = uint64_t(height_) * channels_;
        const uint64_t needed = rle_ ? 8 * rows : rows * width_ * bytes_;
        if (needed > size - headerSize)
            throw unexpectedEnd;
    }

    pellium::Image decode() {
        pellium::Image image{int(width_), int(height_)};
        const bool alpha = channels_ == 2 || channels_ == 4;
        image.fill(alpha ? 0 : 0xFF000000u);
        // What one sample adds to a pixel, per channel: grey goes to red,
        // green and blue at once.
        const uint32_t grey = 0x010101, a = 0x01000000;
        const uint32_t weights[4][4] = {{grey}, {grey, a}, {0x10000, 0x100, 1}, {0x10000, 0x100, 1, a}};
        std::vector<unsigned char> row(width_);
        uint32_t* pixels = image.pixels();
        // Rows are stored bottom-up, as the image keeps them.
        for (unsigned c = 0; c < channels_; ++c) {
            const uint32_t weight = weights[channels_ - 1][c];
            for (unsigned y = 0; y < height_; ++y) {
                readRow(c, y, row);
                uint32_t* out = pixels + size_t(y) * width_;
                for (unsigned x = 0; x < width_; ++x)
                    out[x] += row[x] * weight;
            }
        }
        image.setMode(alpha ? 4 : 3);
        return image;
    }

private:
    // The samples of one row of one channel, as bytes; a run-length row that
    // ends early leaves the rest 0.
    void readRow(unsigned channel, unsigned y, std::vector<unsigned char>& row) const {
        const size_t index = size_t(channel) * height_ + y;
        if (!rle_) {
            const unsigned char* p = data_ + headerSize + index * width_ * bytes_;
            for (unsigned x = 0; x < width_; ++x, p += bytes_)
                row[x] = *p;
            return;
        }
        const size_t rows = size_t(height_) * channels_;
        const uint64_t start = be32(data_ + headerSize + 4 * index);
        const uint64_t end = start + be32(data_ + headerSize + 4 * (rows + index));
        if (end > size_)
            throw unexpectedEnd;
        std::fill(row.begin(), row.end(), 0);
        size_t p = size_t(start);
        unsigned x = 0;
        for (;;) {
            if (end - p < bytes_)
                throw unexpectedEnd;
            // The count is the low 7 bits of a sample; the top bit says whether
            // samples are copied or one sample is repeated.
            const unsigned code = data_[p + bytes_ - 1];
            p += bytes_;
            const unsigned count = code & 0x7F;
            if (count == 0)
                return;
            if (count > width_ - x)
                throw corrupted;
            const size_t taken = (code & 0x80 ? count : 1) * bytes_;
            if (end - p < taken)
                throw unexpectedEnd;
            for (unsigned k = 0; k < count; ++k)
                row[x++] = data_[code & 0x80 ? p + k * bytes_ : p];
            p += taken;
        }
    }

    const unsigned char* data_;
    size_t size_;
    bool rle_;
    unsigned bytes_, width_, height_, channels_;
};

}  // namespace

bool loadSGI(pellium::Image& result, const unsigned char* data, size_t size) {
    result.release();
    try {
        result = SgiFile(data, size).decode();
        return true;
    } catch (const SgiError& e) {
        orvel::debug("SGI decode failed: %s\n", e.text);
        return false;
    }
}

}  // namespace modrane
