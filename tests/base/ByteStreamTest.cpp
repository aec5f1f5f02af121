// The byte streams: the exact encodings, every value read back from a
// memory source, a file (across its buffer's edges) and a source that can
// neither seek nor tell what is left, and hostile bytes through every reader.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "base/FileDataDest.h"
#include "base/FileDataSource.h"
#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "tests/base/StreamingSource.h"
#include "tests/support/TempFolder.h"

using namespace orvel;
using Bytes = std::vector<unsigned char>;

namespace {

Bytes bytesOf(const MemoryDataDest& dest) { return Bytes(dest.data(), dest.data() + dest.size()); }

// A reproducible mix of every value kind in both byte orders and every
// string mode, with texts long enough to span whole file buffers. Writer and
// checker draw the same sequence from one seed.
class Records {
public:
    explicit Records(unsigned seed) : random_(seed) {}

    void write(DataDest& d, int count) {
        for (int i = 0; i < count; ++i) {
            Item it = next();
            d.swap = it.swap;
            d.setStringMode(it.mode);
            switch (it.kind) {
            case 0: d << char(it.number) << bool(it.number & 1); break;
            case 1: d << int(it.number); break;
            case 2: d.writeCompact(it.number); break;
            case 3: d << (long long)it.number * 7919 << it.number; break;
            case 4: d << float(int(it.number)) * 0.5f << double(it.number) / 3; break;
            case 5: d.writeByte(char(it.number)).writeByte(char(it.number >> 8)); break;
            default: d << it.text; break;
            }
        }
    }

    void check(DataSource& s, int count) {
        for (int i = 0; i < count; ++i) {
            Item it = next();
            s.swap = it.swap;
            s.setStringMode(it.mode);
            switch (it.kind) {
            case 0: ASSERT_EQ(next<char>(s), char(it.number)) << i; ASSERT_EQ(next<bool>(s), bool(it.number & 1)) << i; break;
            case 1: ASSERT_EQ(s.readInt32(), int(it.number)) << i; break;
            case 2: ASSERT_EQ(s.readCompact(), it.number) << i; break;
            case 3: ASSERT_EQ(next<long long>(s), (long long)it.number * 7919) << i; ASSERT_EQ(next<unsigned>(s), it.number) << i; break;
            case 4:
                ASSERT_EQ(next<float>(s), float(int(it.number)) * 0.5f) << i;
                ASSERT_EQ(next<double>(s), double(it.number) / 3) << i;
                break;
            case 5: {
                const unsigned low = it.number & 0xFF, high = it.number >> 8 & 0xFF;
                ASSERT_EQ(unsigned(s.readUInt16()), it.swap ? low << 8 | high : high << 8 | low) << i;
                break;
            }
            default: {
                // A text too long for one length byte is cut to 255 bytes, so
                // that what follows stays readable.
                const bool cut = it.mode == stringByteLength && it.text.length() > 255;
                ASSERT_EQ(next<orvel_string>(s), cut ? it.text.substr(0, 255) : it.text) << i;
                break;
            }
            }
            ASSERT_TRUE(s.good()) << i;
        }
    }

private:
    struct Item {
        int kind;
        unsigned number;
        bool swap;
        int mode;
        orvel_string text;
    };

    Item next() {
        Item it{int(random_() % 8), unsigned(random_()), random_() % 2 == 1, int(random_() % 5), {}};
        if (random_() % 3 == 0)
            it.number &= 0x1FF;  // around the compact boundary too
        it.text.assign(random_() % 16 == 0 ? random_() % 90000 : random_() % 40, char('a' + random_() % 26));
        return it;
    }

    template <class T>
    static T next(DataSource& s) {
        T value{};
        s >> value;
        return value;
    }

    std::mt19937 random_;
};

// The three kinds of source; each test runs on all of them.
enum class Kind { memory, file, stream };

class Sources : public ::testing::TestWithParam<Kind> {
protected:
    DataSource& over(const Bytes& bytes) {
        if (GetParam() == Kind::memory) {
            source_ = std::make_unique<MemoryDataSource>(bytes.data(), unsigned(bytes.size()), true);
        } else if (GetParam() == Kind::stream) {
            source_ = std::make_unique<StreamingSource>(bytes);
        } else {
            writeFile(folder_ / "bytes", bytes);
            source_ = std::make_unique<FileDataSource>((folder_ / "bytes").c_str());
        }
        return *source_;
    }

private:
    TempFolder folder_;
    std::unique_ptr<DataSource> source_;
};

}  // namespace

TEST(ByteStreamWrite, ExactBytes) {
    const struct {
        std::function<void(DataDest&)> write;
        int mode;
        bool swap;
        Bytes bytes;
    } rows[] = {
        {[](DataDest& d) { d.writeCompact(254).writeCompact(255).writeCompact(70000); }, 4, false,
         {0xFE, 0xFF, 0xFF, 0, 0, 0, 0xFF, 0x70, 0x11, 0x01, 0x00}},
        {[](DataDest& d) { d.writeCompact(70000); }, 4, true, {0xFF, 0x00, 0x01, 0x11, 0x70}},
        {[](DataDest& d) { d.writeInt32(0x01020304).writeInt64(0x05060708, 0x01020304); }, 4, false,
         {4, 3, 2, 1, 8, 7, 6, 5, 4, 3, 2, 1}},
        {[](DataDest& d) { d << 0x01020304 << 0x0102030405060708ll; }, 4, true, {1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7, 8}},
        {[](DataDest& d) { d << 1.0f << 1.0; }, 4, false, {0, 0, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
        {[](DataDest& d) { d << 1.0f << 1.0; }, 4, true, {0x3F, 0x80, 0, 0, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0}},
        {[](DataDest& d) { d << true << false << 'x'; }, 4, false, {1, 0, 'x'}},
        {[](DataDest& d) { d << "ab" << ""; }, stringTerminated, false, {'a', 'b', 0, 0}},
        {[](DataDest& d) { d << "ab"; }, stringLineEnd, false, {'a', 'b', 0x0A, 0x0D}},
        {[](DataDest& d) { d << "ab"; }, stringByteLength, false, {2, 'a', 'b'}},
        {[](DataDest& d) { d << "ab"; }, stringWordLength, true, {0, 0, 0, 2, 'a', 'b'}},
        {[](DataDest& d) { d << "ab" << orvel_string(); }, stringCompactLength, false, {2, 'a', 'b', 0}},
        {[](DataDest& d) { d << "ab"; }, 7, false, {}},
        {[](DataDest& d) { d << 1; d.setFail(); d << 2 << "abc" << 'c'; d.writeCompact(300); }, 4, false, {1, 0, 0, 0}},
    };
    for (const auto& row : rows) {
        MemoryDataDest dest;
        dest.setStringMode(row.mode);
        dest.swap = row.swap;
        row.write(dest);
        EXPECT_EQ(bytesOf(dest), row.bytes) << "mode " << row.mode << " swap " << row.swap;
    }
    MemoryDataDest longText;
    longText << orvel_string(300, 'q');
    EXPECT_EQ(Bytes(longText.data(), longText.data() + 5), Bytes({0xFF, 0x2C, 0x01, 0, 0}));
}

TEST_P(Sources, EveryValueReadsBackAsWritten) {
    MemoryDataDest dest;
    Records(7).write(dest, 3000);
    ASSERT_GT(dest.size(), 4 * FileDataSource::bufferSize);
    DataSource& source = over(bytesOf(dest));
    Records(7).check(source, 3000);
    EXPECT_EQ(source.readByte(), -1);
    EXPECT_TRUE(source.fail());
}

// A length longer than the data gives an empty text and fails the source,
// and costs no allocation beyond what really came.
TEST_P(Sources, LyingLengthsGiveEmptyTextAndFail) {
    const std::pair<int, Bytes> rows[] = {
        {stringWordLength, {0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'}}, {stringWordLength, {0x08, 0, 0, 0, 'a', 'b', 'c'}},
        {stringWordLength, {0x01, 0x00}},     {stringCompactLength, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}},
        {stringCompactLength, {0xFF, 0xFF}},  {stringCompactLength, {0x05, 'a', 'b'}},
        {stringCompactLength, {}},            {stringByteLength, {0x09, 'a'}},
    };
    for (const auto& [mode, bytes] : rows) {
        DataSource& source = over(bytes);
        source.setStringMode(mode);
        orvel_string text("previous");
        source >> text;
        EXPECT_EQ(text, "") << "mode " << mode << " size " << bytes.size();
        EXPECT_LE(text.capacity(), 2u * 65536);
        EXPECT_TRUE(source.fail());
        EXPECT_FALSE(source.good());
    }
}

// Texts end at a 0 byte, a LF, a CR or the end of the data; a second LF or
// CR right after the first belongs to the same line end. Lines keep 0 bytes.
TEST_P(Sources, TextsAndLinesEndWhereTheyShould) {
    constexpr int line = -1;
    const struct {
        int mode;
        Bytes bytes;
        std::vector<std::string> texts;
    } rows[] = {
        {stringTerminated, {'a', 'b', 0x0D, 0x0A, 'c', 'd'}, {"ab", "cd"}},
        {stringTerminated, {'a', 'b', 0x0A, 0x0A, 'c', 0, 'd', 0}, {"ab", "c", "d"}},
        {stringLineEnd, {'a', 0x0D, 0x0D, 0x0D, 'b'}, {"a", "", "b"}},
        {line, {'a', 0, 'b', 0x0A, 0x0D, 0x0A, 'x'}, {std::string("a\0b", 3), "", "x"}},
    };
    for (const auto& row : rows) {
        DataSource& source = over(row.bytes);
        source.setStringMode(row.mode);
        orvel_string text;
        for (const std::string& expected : row.texts) {
            if (row.mode == line)
                EXPECT_TRUE(source.readLine(text));
            else
                source >> text;
            EXPECT_EQ(std::string(text.c_str(), text.length()), expected) << "mode " << row.mode;
        }
        if (row.mode == line)
            EXPECT_FALSE(source.readLine(text));
        else
            EXPECT_FALSE((source >> text).good());
    }
}

// A read that runs out fails the source and leaves its target as it was;
// a failed source reads nothing more.
TEST_P(Sources, ReadsPastTheEndFailAndKeepTheirTargets) {
    DataSource& three = over({1, 2, 3});
    int value = 77;
    three >> value;
    EXPECT_EQ(value, 77);
    EXPECT_TRUE(three.fail());
    EXPECT_EQ(three.peekByte(), -1);

    DataSource& cut = over({0xFF, 0x01, 0x02});
    EXPECT_EQ(cut.readCompact(), 0xFFFFFFFFu);
    EXPECT_TRUE(cut.fail());

    DataSource& failed = over({1, 2, 3, 4, 5, 6, 7, 8});
    failed.setFail();
    double real = 4.5;
    long long wide = 3;
    unsigned short half = 9;
    bool flag = true;
    failed >> real >> wide >> half >> flag;
    EXPECT_EQ(real, 4.5);
    EXPECT_EQ(wide, 3);
    EXPECT_EQ(half, 9);
    EXPECT_TRUE(flag);
    EXPECT_EQ(failed.readByte(), -1);

    DataSource& unknownMode = over({2, 'a', 'b'});
    unknownMode.setStringMode(9);
    orvel_string text("x");
    unknownMode >> text;
    EXPECT_EQ(text, "");
    EXPECT_TRUE(unknownMode.good());

    DataSource& skipped = over({1, 2, 3, 4, 5, 6});
    skipped.skip(5);
    EXPECT_EQ(skipped.readByte(), 6);
    skipped.skip(1);
    EXPECT_TRUE(skipped.fail());
    DataSource& hostile = over({1, 2, 3});
    hostile.skip(0xFFFFFFFF);
    EXPECT_TRUE(hostile.fail());
}

// Random bytes and damaged streams through every typed reader: reading
// ends, touches nothing outside the data (the sanitizers watch), and no
// text takes more memory than the bytes could fill.
TEST_P(Sources, HostileBytesThroughEveryReader) {
    const bool seekable = GetParam() != Kind::stream;
    std::mt19937 random(20240611);
    for (int round = 0, rounds = GetParam() == Kind::file ? 300 : 5000; round < rounds; ++round) {
        MemoryDataDest d;
        for (int i = 0, n = int(random() % 30); i < n; ++i) {
            d.setStringMode(int(random() % 5));
            d.writeCompact(unsigned(random()) >> (random() % 32));
            d << orvel_string(random() % 300, 'k') << double(random());
        }
        Bytes bytes = bytesOf(d);
        for (int m = 0, n = int(random() % 6); m < n && !bytes.empty(); ++m) {
            const size_t at = random() % bytes.size();
            switch (random() % 4) {
            case 0: bytes[at] = (unsigned char)random(); break;
            case 1: bytes[at] = 0xFF; break;
            case 2: bytes.erase(bytes.begin() + long(at)); break;
            default: bytes.resize(at); break;
            }
        }
        DataSource& source = over(bytes);
        const unsigned largest = unsigned(2 * bytes.size() + orvel_string::inlineSize) + (seekable ? 0 : 2 * 65536);
        orvel_string text;
        for (size_t reads = 0; source.good(); ++reads) {
            ASSERT_LE(reads, bytes.size() + 2) << "reading does not end, round " << round;
            source.swap = random() % 2;
            source.setStringMode(int(random() % 5));
            unsigned char block[64];
            switch (random() % 10) {
            case 0: source.readCompact(); break;
            case 1: source.readUInt16(); break;
            case 2: source.readInt32(); break;
            case 3: source.readInt64(); break;
            case 4: source.skip(random() % 2 ? random() % 8 + 1 : unsigned(random())); break;
            case 5:
                if (source.read(block, random() % 64 + 1) == 0)
                    source.setFail();  // as any caller does when nothing comes
                break;
            case 6: source.readLine(text); break;
            case 7: source.peekByte(), source.readByte(); break;
            default: source >> text; break;
            }
            ASSERT_LE(text.capacity(), largest) << "round " << round;
            ASSERT_TRUE(!seekable || source.position() <= bytes.size()) << "round " << round;
        }
    }
}

const char* const kindNames[] = {"Memory", "File", "Stream"};
std::string kindName(const ::testing::TestParamInfo<Kind>& info) { return kindNames[int(info.param)]; }

INSTANTIATE_TEST_SUITE_P(ByteStream, Sources, ::testing::Values(Kind::memory, Kind::file, Kind::stream), kindName);

TEST(MemoryDataSource, SeekingCopyingAndTheEnd) {
    unsigned char data[4] = {1, 0, 0, 7};
    MemoryDataSource inPlace(data, 4, false), copied(data, 4, true), empty;
    data[0] = 2;
    EXPECT_EQ(inPlace.readInt32(), 0x07000002);
    EXPECT_EQ(copied.readInt32(), 0x07000001);
    EXPECT_EQ(copied.peekByte(), -1);
    EXPECT_FALSE(copied.fail());  // peeking at the end is no failure
    unsigned char block[8];
    EXPECT_EQ(copied.read(block, 8), 0u);
    EXPECT_FALSE(copied.fail());  // nor is a short block read: the caller judges
    copied.seek(3);
    EXPECT_EQ(copied.readByte(), 7);
    EXPECT_EQ(copied.bytesRemaining(), 0u);
    copied.seek(4);
    EXPECT_TRUE(copied.fail());
    copied.seek(0);
    EXPECT_TRUE(copied.good());
    copied.close();
    EXPECT_FALSE(copied.good());
    EXPECT_FALSE(empty.good());
    empty.seek(0);
    EXPECT_FALSE(empty.good());
}

TEST(MemoryDataDest, BytesDoubleTheBlockAndBlocksStartAt1024) {
    MemoryDataDest bytes;
    for (unsigned expected : {1, 2, 4, 4, 8}) {
        bytes.writeByte('x');
        EXPECT_EQ(bytes.capacity(), expected);
    }
    MemoryDataDest blocks;
    char chunk[700] = {};
    blocks.write(chunk, 10);
    EXPECT_EQ(blocks.capacity(), 1024u);
    blocks.write(chunk, 700).write(chunk, 700);
    EXPECT_EQ(blocks.capacity(), 2048u);
    std::vector<char> big(5000);
    MemoryDataDest jump;
    jump.write(big.data(), 5000);
    EXPECT_EQ(jump.capacity(), 8192u);
}
