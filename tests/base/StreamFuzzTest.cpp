// Random and mutated bytes through every typed reader. Whatever the bytes,
// reading ends, touches nothing outside the data (the sanitizers watch), and
// allocates no more than the bytes could really fill.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "tests/support/TempFolder.h"
#include "base/FileDataSource.h"
#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "tests/base/StreamingSource.h"

using namespace orvel;
using Bytes = std::vector<unsigned char>;

namespace {

// The largest text a source of `size` bytes may make a reader allocate.
unsigned allowedCapacity(size_t size, bool seekable) {
    unsigned bound = unsigned(2 * size + orvel_string::inlineSize);
    return seekable ? bound : bound + 2 * 65536;
}

template <class T>
void readOne(DataSource& src) {
    T value;
    src >> value;
}

// Reads typed values until the source is no longer good; every read
// consumes at least one byte or fails, so the number of rounds is bounded.
void readEverything(DataSource& src, size_t size, std::mt19937& random, bool seekable) {
    orvel_string text;
    size_t rounds = 0;
    while (src.good()) {
        ASSERT_LE(++rounds, size + 2) << "reading does not end";
        int modes[] = {stringTerminated, stringLineEnd, stringByteLength, stringWordLength, stringCompactLength};
        src.swap = random() % 2;
        switch (random() % 14) {
        case 0: src.readCompact(); break;
        case 1: readOne<bool>(src); break;
        case 2: readOne<char>(src); break;
        case 3: src.readUInt16(); break;
        case 4: src.readInt32(); break;
        case 5: src.readInt64(); break;
        case 6: readOne<float>(src); break;
        case 7: readOne<double>(src); break;
        case 8:
        case 9:
            src.setStringMode(modes[random() % 5]);
            src >> text;
            ASSERT_LE(text.capacity(), allowedCapacity(size, seekable));
            break;
        case 10:
            src.readLine(text);
            ASSERT_LE(text.capacity(), allowedCapacity(size, seekable));
            break;
        case 11: src.skip(random() % 2 ? random() % 8 + 1 : unsigned(random())); break;
        case 12: {
            unsigned char block[64];
            if (src.read(block, random() % 64 + 1) == 0)
                src.setFail();  // as any caller does when nothing comes
            break;
        }
        default:
            src.peekByte();
            src.readByte();
            break;
        }
        if (seekable) {
            ASSERT_LE(src.position(), size);
        }
    }
}

Bytes randomBytes(std::mt19937& random) {
    Bytes bytes(random() % 200);
    for (unsigned char& b : bytes)
        b = (unsigned char)random();
    // Length fields that lie: the most common hostile shapes.
    if (!bytes.empty() && random() % 4 == 0)
        std::fill_n(bytes.begin(), std::min<size_t>(bytes.size(), 5), 0xFF);
    return bytes;
}

// A well-formed stream of mixed records, then damaged.
Bytes mutatedStream(std::mt19937& random) {
    MemoryDataDest d;
    for (int i = 0, n = int(random() % 30); i < n; ++i) {
        d.setStringMode(int(random() % 5));
        switch (random() % 4) {
        case 0: d.writeCompact(unsigned(random()) >> (random() % 32)); break;
        case 1: d << int(random()); break;
        case 2: d << double(random()); break;
        default: d << orvel_string(random() % 300, 'k'); break;
        }
    }
    Bytes bytes(d.data(), d.data() + d.size());
    for (int m = 0, n = int(random() % 6); m < n && !bytes.empty(); ++m) {
        size_t at = random() % bytes.size();
        switch (random() % 4) {
        case 0: bytes[at] ^= (unsigned char)(1u << (random() % 8)); break;
        case 1: bytes[at] = 0xFF; break;
        case 2: bytes.erase(bytes.begin() + long(at)); break;
        default: bytes.resize(at); break;
        }
    }
    return bytes;
}

// Rounds of random and of mutated bytes, each read through a source made
// of them by `readFrom(bytes, random)`.
template <class Read>
void fuzz(unsigned seed, int rounds, Read readFrom) {
    std::mt19937 random(seed);
    for (int i = 0; i < rounds; ++i) {
        Bytes bytes = i % 2 ? randomBytes(random) : mutatedStream(random);
        readFrom(bytes, random);
        if (::testing::Test::HasFatalFailure())
            FAIL() << "case " << i;
    }
}

}  // namespace

TEST(StreamFuzz, RandomAndMutatedBytesFromMemory) {
    fuzz(20240611, 20000, [](const Bytes& bytes, std::mt19937& random) {
        MemoryDataSource src(bytes.data(), unsigned(bytes.size()), false);
        readEverything(src, bytes.size(), random, true);
    });
}

TEST(StreamFuzz, RandomAndMutatedBytesFromAStream) {
    fuzz(77, 10000, [](const Bytes& bytes, std::mt19937& random) {
        StreamingSource src(bytes);
        readEverything(src, bytes.size(), random, false);
    });
}

TEST(StreamFuzz, RandomAndMutatedBytesFromFiles) {
    TempFolder folder;
    std::string name = folder / "fuzz.bin";
    fuzz(5, 500, [&](const Bytes& bytes, std::mt19937& random) {
        writeFile(name, bytes);
        FileDataSource src(name.c_str());
        readEverything(src, bytes.size(), random, true);
    });
}

// The worst lengths a header can claim, from a source that cannot tell how
// much is left (the byte stream tests give them to seekable sources).
TEST(StreamFuzz, HugeLengthsAllocateNothing) {
    for (int mode : {stringWordLength, stringCompactLength}) {
        StreamingSource src({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b'});
        if (mode == stringWordLength)
            src.skip(1);
        src.setStringMode(mode);
        orvel_string text;
        src >> text;
        EXPECT_TRUE(src.fail()) << mode;
        EXPECT_EQ(text.length(), 0u);
        EXPECT_LE(text.capacity(), 2u * 65536);
    }
}
