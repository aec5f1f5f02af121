// Test-side GIF writing: packs LZW codes, encodes index streams and lays out
// the blocks, so that tests can make files the tools never write (no colour
// table, a full table without a clear, broken code streams). Also the two
// lines the reader logs for a file it cannot decode.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<uint8_t>;

const std::string gifCorrupted = "GIF decode failed: corrupted file\n";
const std::string gifEndOfFile = "GIF decode failed: unexpected end of file\n";

// Codes packed least significant bit first, each at its own width.
class CodePacker {
public:
    void put(unsigned code, unsigned width) {
        acc_ |= uint64_t(code) << bits_;
        bits_ += width;
        while (bits_ >= 8) {
            out_.push_back(uint8_t(acc_));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }
    Bytes finish() {
        Bytes out = out_;
        if (bits_)
            out.push_back(uint8_t(acc_));
        return out;
    }

private:
    Bytes out_;
    uint64_t acc_ = 0;
    unsigned bits_ = 0;
};

// Standard GIF LZW of colour indices. With clearWhenFull false the table
// stays full and codes go on at 12 bits (a deferred clear).
inline Bytes lzwEncode(const std::vector<unsigned>& indices, unsigned minSize, bool clearWhenFull = true) {
    const unsigned clear = 1u << minSize, end = clear + 1;
    CodePacker packer;
    std::map<std::pair<unsigned, unsigned>, unsigned> table;
    unsigned next = clear + 2;
    // The width a reader uses: it adds one entry per code read after the first.
    unsigned readerNext = clear + 2, width = minSize + 1;
    bool first = true;
    auto emit = [&](unsigned code) {
        packer.put(code, width);
        if (first) {
            first = false;
            return;
        }
        if (readerNext < 4096 && ++readerNext >= (1u << width) && width < 12)
            ++width;
    };
    auto reset = [&] {
        table.clear();
        next = clear + 2;
        readerNext = clear + 2;
        width = minSize + 1;
        first = true;
    };
    packer.put(clear, width);
    if (!indices.empty()) {
        unsigned prefix = indices[0];
        for (size_t i = 1; i < indices.size(); ++i) {
            auto key = std::make_pair(prefix, indices[i]);
            auto found = table.find(key);
            if (found != table.end()) {
                prefix = found->second;
                continue;
            }
            emit(prefix);
            if (next < 4096) {
                table[key] = next++;
            } else if (clearWhenFull) {
                packer.put(clear, width);
                reset();
            }
            prefix = indices[i];
        }
        emit(prefix);
    }
    packer.put(end, width);
    return packer.finish();
}

// Data split into sub-blocks of at most blockSize bytes, then the zero block.
inline Bytes subBlocks(const Bytes& data, size_t blockSize = 255) {
    Bytes out;
    for (size_t i = 0; i < data.size(); i += blockSize) {
        size_t n = std::min(blockSize, data.size() - i);
        out.push_back(uint8_t(n));
        out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
    out.push_back(0);
    return out;
}

// Colour table entries as 0xRRGGBB; the size must be a power of two from 2 to 256.
using Palette = std::vector<uint32_t>;

class GifBuilder {
public:
    // A GIF89a file with a 1 x 1 screen.
    GifBuilder() : bytes_{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0} {}
    // The screen descriptor's packed byte, background and aspect, and the global table.
    GifBuilder& screen(const Palette& global) {
        bytes_.push_back(global.empty() ? 0 : uint8_t(0x80 | sizeBits(global)));
        bytes_.push_back(0);
        bytes_.push_back(0);
        table(global);
        return *this;
    }
    GifBuilder& control(unsigned packed, unsigned transparent) {
        Bytes gce = {0x21, 0xF9, 4, uint8_t(packed), 0, 0, uint8_t(transparent), 0};
        bytes_.insert(bytes_.end(), gce.begin(), gce.end());
        return *this;
    }
    GifBuilder& comment(const std::string& text) {
        bytes_.push_back(0x21);
        bytes_.push_back(0xFE);
        Bytes body(text.begin(), text.end());
        Bytes blocks = subBlocks(body, 10);
        bytes_.insert(bytes_.end(), blocks.begin(), blocks.end());
        return *this;
    }
    GifBuilder& descriptor(unsigned w, unsigned h, const Palette& local = {}, unsigned extraFlags = 0) {
        bytes_.push_back(0x2C);
        word(0);
        word(0);
        word(w);
        word(h);
        bytes_.push_back(uint8_t((local.empty() ? 0 : 0x80 | sizeBits(local)) | extraFlags));
        table(local);
        return *this;
    }
    GifBuilder& data(unsigned minSize, const Bytes& codes, size_t blockSize = 255) {
        bytes_.push_back(uint8_t(minSize));
        Bytes blocks = subBlocks(codes, blockSize);
        bytes_.insert(bytes_.end(), blocks.begin(), blocks.end());
        return *this;
    }
    GifBuilder& raw(const Bytes& more) {
        bytes_.insert(bytes_.end(), more.begin(), more.end());
        return *this;
    }
    Bytes trailer() {
        bytes_.push_back(0x3B);
        return bytes_;
    }

private:
    static unsigned sizeBits(const Palette& p) {
        unsigned bits = 0;
        while ((2u << bits) < p.size())
            ++bits;
        return bits;
    }
    void word(unsigned v) {
        bytes_.push_back(uint8_t(v));
        bytes_.push_back(uint8_t(v >> 8));
    }
    void table(const Palette& p) {
        for (uint32_t c : p) {
            bytes_.push_back(uint8_t(c >> 16));
            bytes_.push_back(uint8_t(c >> 8));
            bytes_.push_back(uint8_t(c));
        }
    }

    Bytes bytes_;
};
