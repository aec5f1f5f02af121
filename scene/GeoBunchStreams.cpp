#include "scene/GeoBunchStreams.h"

#include <algorithm>
#include <cstring>

namespace kessa {

namespace stream {

namespace {

void reverseWords(unsigned char* bytes, unsigned long long size) {
    for (unsigned long long i = 0; i + 4 <= size; i += 4) {
        std::swap(bytes[i], bytes[i + 3]);
        std::swap(bytes[i + 1], bytes[i + 2]);
    }
}

// A source that cannot tell how much is left fills the array in steps of
// about this many bytes, so that a count it cannot back costs no more
// memory than the bytes it does deliver.
constexpr unsigned unseekableStep = 1u << 20;

}  // namespace

bool readWords(orvel::DataSource& in, void* (*resize)(void* array, unsigned n), void* array, unsigned count,
               unsigned elementSize, bool reverse) {
    const unsigned long long bytes = (unsigned long long)count * elementSize;
    const bool seekable = in.isSeekable();
    if (seekable && bytes > in.bytesRemaining()) {
        resize(array, 0);
        in.setFail();
        return false;
    }
    const unsigned step = seekable ? count : std::max(1u, unseekableStep / elementSize);
    unsigned got = 0;
    while (got < count) {
        unsigned chunk = std::min(step, count - got);
        auto* data = static_cast<unsigned char*>(resize(array, got + chunk));
        unsigned want = chunk * elementSize;
        if (in.read(data + (unsigned long long)got * elementSize, want) != want) {
            resize(array, 0);
            in.setFail();
            return false;
        }
        got += chunk;
    }
    if (reverse)
        reverseWords(static_cast<unsigned char*>(resize(array, count)), bytes);
    return true;
}

void writeWords(orvel::DataDest& out, const void* data, unsigned count, unsigned elementSize, bool reverse) {
    const unsigned long long bytes = (unsigned long long)count * elementSize;
    const auto* from = static_cast<const unsigned char*>(data);
    if (!reverse) {
        for (unsigned long long done = 0; done < bytes;) {
            unsigned chunk = unsigned(std::min<unsigned long long>(bytes - done, 0x40000000u));
            out.write(from + done, chunk);
            done += chunk;
        }
        return;
    }
    unsigned char buffer[4096];
    for (unsigned long long done = 0; done < bytes;) {
        unsigned chunk = unsigned(std::min<unsigned long long>(bytes - done, sizeof buffer));
        std::memcpy(buffer, from + done, chunk);
        reverseWords(buffer, chunk);
        out.write(buffer, chunk);
        done += chunk;
    }
}

}  // namespace stream

}  // namespace kessa
