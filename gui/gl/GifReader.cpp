#include "gui/gl/GifReader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/Debug.h"
#include "gui/gl/ImageData.h"

namespace pellium {

namespace {

const char* const corruptedFile = "corrupted file";
const char* const unexpectedEnd = "unexpected end of file";

struct GifError {
    const char* text;
};

constexpr unsigned dictionarySize = 4096;
constexpr uint32_t opaqueBlack = 0xFF000000u;

// Every read is checked against the end of the file.
class ByteReader {
public:
    ByteReader(const unsigned char* data, size_t size) : data_(data), size_(size) {}

    unsigned byte() {
        if (pos_ >= size_)
            throw GifError{unexpectedEnd};
        return data_[pos_++];
    }
    unsigned word() {
        unsigned low = byte();
        return low | byte() << 8;
    }
    const unsigned char* take(size_t n) {
        if (n > size_ - pos_)
            throw GifError{unexpectedEnd};
        const unsigned char* p = data_ + pos_;
        pos_ += n;
        return p;
    }
    void skip(size_t n) { take(n); }
    void skipSubBlocks() {
        while (unsigned n = byte())
            skip(n);
    }
    // The image data's sub-blocks joined into one run, up to the zero-length
    // block or, in a cut file, up to the end. The few bytes after the run are
    // zero so that the bit reader may load whole words.
    std::vector<unsigned char> joinSubBlocks() {
        std::vector<unsigned char> run;
        run.reserve(size_ - pos_ + 4);
        while (pos_ < size_) {
            size_t n = data_[pos_++];
            if (n == 0)
                break;
            n = std::min(n, size_ - pos_);
            run.insert(run.end(), data_ + pos_, data_ + pos_ + n);
            pos_ += n;
        }
        run.resize(run.size() + 4, 0);
        return run;
    }

private:
    const unsigned char* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Always 256 entries: indices beyond the file's table, or with no table at
// all, are opaque black.
struct ColourTable {
    uint32_t entry[256];
    unsigned count = 0;

    ColourTable() { std::fill(entry, entry + 256, opaqueBlack); }

    // Reads the table a packed byte announces (bit 7), which replaces the
    // current one, then clears alpha on the transparent entry if it has one.
    void apply(ByteReader& in, unsigned packed, int transparent) {
        if (packed & 0x80) {
            count = 2u << (packed & 7);
            const unsigned char* rgb = in.take(size_t(count) * 3);
            for (unsigned i = 0; i < count; ++i, rgb += 3)
                entry[i] = opaqueBlack | uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2];
            std::fill(entry + count, entry + 256, opaqueBlack);
        }
        if (transparent >= 0 && unsigned(transparent) < count)
            entry[transparent] &= 0x00FFFFFFu;
    }
};

// Codes are packed least significant bit first.
class BitReader {
public:
    explicit BitReader(const std::vector<unsigned char>& run)
        : data_(run.data()), endBit_(uint64_t(run.size() - 4) * 8) {}

    unsigned read(unsigned width) {
        if (bit_ + width > endBit_)
            throw GifError{unexpectedEnd};
        const unsigned char* p = data_ + (bit_ >> 3);
        uint32_t word = p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
        unsigned code = (word >> (bit_ & 7)) & ((1u << width) - 1);
        bit_ += width;
        return code;
    }

private:
    const unsigned char* data_;
    uint64_t endBit_;
    uint64_t bit_ = 0;
};

// A dictionary string: its last colour, the code of the string before it
// and its length. Colours are stored resolved, so output is a plain walk.
struct Entry {
    uint32_t colour;
    uint16_t prefix;
    uint16_t length;
};

// Writes the pixels of the image in arrival order: rows from the top of the
// picture (the last stored row) down, each left to right.
class PixelSink {
public:
    PixelSink(uint32_t* pixels, unsigned width, unsigned height)
        : pixels_(pixels), width_(width), height_(height), left_(uint64_t(width) * height) {
        if (left_)
            row_ = pixels_ + size_t(height - 1) * width;
    }

    // Where the next n pixels go when they fit in the current row, else null.
    uint32_t* reserve(unsigned n) {
        if (n > left_)
            throw GifError{corruptedFile};
        return col_ + n <= width_ ? row_ + col_ : nullptr;
    }
    void advance(unsigned n) {
        left_ -= n;
        col_ += n;
        if (col_ == width_)
            nextRow();
    }
    // For strings that run over the end of a row.
    void put(const uint32_t* from, unsigned n) {
        while (n) {
            unsigned k = std::min(n, width_ - col_);
            std::memcpy(row_ + col_, from, size_t(k) * 4);
            from += k;
            n -= k;
            advance(k);
        }
    }

private:
    void nextRow() {
        col_ = 0;
        if (++rowIndex_ < height_)
            row_ -= width_;
    }

    uint32_t* pixels_;
    unsigned width_, height_;
    uint64_t left_;
    uint32_t* row_ = nullptr;
    unsigned col_ = 0;
    unsigned rowIndex_ = 0;
};

// Writes the string of code (length n) to out[0 .. n-1], last colour first.
inline void writeString(const Entry* dict, unsigned code, unsigned n, uint32_t* out) {
    for (unsigned i = n - 1; i > 0; --i) {
        out[i] = dict[code].colour;
        code = dict[code].prefix;
    }
    out[0] = dict[code].colour;
}

void decodeLzw(ByteReader& in, const ColourTable& table, PixelSink& sink) {
    const unsigned minSize = in.byte();
    // Literal codes and the two controls must leave room in a 12-bit table.
    if (minSize < 1 || minSize > 11)
        throw GifError{corruptedFile};
    const std::vector<unsigned char> run = in.joinSubBlocks();
    BitReader bits(run);

    const unsigned clear = 1u << minSize, end = clear + 1;
    Entry dict[dictionarySize];
    for (unsigned i = 0; i < clear; ++i)
        dict[i] = {i < 256 ? table.entry[i] : opaqueBlack, 0, 1};
    uint32_t spill[dictionarySize + 1];

    unsigned next = clear + 2, width = minSize + 1, limit = 1u << width;
    int prev = -1;  // none at the start and after a clear
    for (;;) {
        const unsigned code = bits.read(width);
        if (code == clear) {
            next = clear + 2;
            width = minSize + 1;
            limit = 1u << width;
            prev = -1;
            continue;
        }
        if (code == end)
            return;
        if (prev < 0) {
            // Only a literal can start a string table.
            if (code > clear)
                throw GifError{corruptedFile};
            uint32_t* out = sink.reserve(1);
            if (out) {
                *out = dict[code].colour;
                sink.advance(1);
            } else {
                sink.put(&dict[code].colour, 1);
            }
            prev = int(code);
            continue;
        }
        if (code > next)
            throw GifError{corruptedFile};
        // code == next: the string being defined, which is prev's string
        // followed by its own first colour.
        const bool pending = code == next;
        const unsigned n = pending ? dict[prev].length + 1u : dict[code].length;
        uint32_t* out = sink.reserve(n);
        uint32_t* to = out ? out : spill;
        if (pending) {
            writeString(dict, unsigned(prev), n - 1, to);
            to[n - 1] = to[0];
        } else {
            writeString(dict, code, n, to);
        }
        const uint32_t first = to[0];
        if (out)
            sink.advance(n);
        else
            sink.put(spill, n);
        if (next < dictionarySize) {
            dict[next] = {first, uint16_t(prev), uint16_t(dict[prev].length + 1)};
            if (++next >= limit && width < 12) {
                ++width;
                limit <<= 1;
            }
        }
        prev = int(code);
    }
}

bool decode(Image& result, const unsigned char* data, size_t size) {
    ByteReader in(data, size);
    const unsigned char* signature = in.take(6);
    if (std::memcmp(signature, "GIF87a", 6) != 0 && std::memcmp(signature, "GIF89a", 6) != 0)
        return false;
    in.skip(4);  // logical screen size
    const unsigned screenPacked = in.byte();
    in.skip(2);  // background colour, aspect ratio
    ColourTable table;
    int transparent = -1;
    table.apply(in, screenPacked, transparent);

    for (;;) {
        switch (in.byte()) {
        case 0x21:
            if (in.byte() == 0xF9) {
                in.skip(1);  // block size
                const unsigned packed = in.byte();
                in.skip(2);  // delay
                const unsigned index = in.byte();
                if (packed & 1)
                    transparent = int(index);
            }
            in.skipSubBlocks();
            break;
        case 0x2C: {
            in.skip(4);  // left, top
            const unsigned width = in.word();
            const unsigned height = in.word();
            table.apply(in, in.byte(), transparent);
            if (!fileImageSizeAllowed(width, height))
                throw GifError{corruptedFile};
            Image image{int(width), int(height)};
            PixelSink sink(image.empty() ? nullptr : image.data()->pixels.data(), width, height);
            decodeLzw(in, table, sink);
            image.setMode(transparent >= 0 ? 4 : 3);
            result = image;
            return !result.empty();
        }
        case 0x3B:
        case 0x00:
            return false;
        default:
            break;
        }
    }
}

}  // namespace

bool loadGIF(Image& result, const unsigned char* data, size_t size) {
    result.release();
    try {
        return decode(result, data, size);
    } catch (const GifError& e) {
        orvel::debug("GIF decode failed: %s\n", e.text);
        result.release();
        return false;
    }
}

}  // namespace pellium
