// Encodings of the byte streams: every typed primitive and string mode in
// both byte orders, read back from memory and from a file.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/support/TempFolder.h"
#include "base/FileDataDest.h"
#include "base/FileDataSource.h"
#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"

using namespace orvel;
using Bytes = std::vector<unsigned char>;

namespace {

Bytes bytesOf(const MemoryDataDest& dest) { return Bytes(dest.data(), dest.data() + dest.size()); }

template <class Write>
Bytes written(Write write, int mode = stringCompactLength, bool swap = false) {
    MemoryDataDest dest;
    dest.setStringMode(mode);
    dest.swap = swap;
    write(dest);
    EXPECT_TRUE(dest.good());
    return bytesOf(dest);
}

// The next value of type T from the source, read with operator>>.
template <class T>
T next(DataSource& source) {
    T value{};
    source >> value;
    return value;
}

// Every test below runs against a memory source and a file source holding
// the same bytes; their behaviour must not differ.
enum class Kind { memory, file };

class Sources : public ::testing::TestWithParam<Kind> {
protected:
    DataSource& over(const Bytes& bytes) {
        if (GetParam() == Kind::memory) {
            source_ = std::make_unique<MemoryDataSource>(bytes.data(), unsigned(bytes.size()), true);
        } else {
            std::string name = folder_ / ("case" + std::to_string(++files_));
            writeFile(name, bytes);
            source_ = std::make_unique<FileDataSource>(name.c_str());
        }
        return *source_;
    }

private:
    TempFolder folder_;
    int files_ = 0;
    std::unique_ptr<DataSource> source_;
};

}  // namespace

TEST(ByteStreamWrite, CompactCounts) {
    auto compact = [](unsigned n, bool swap = false) {
        return written([n](DataDest& d) { d.writeCompact(n); }, stringCompactLength, swap);
    };
    EXPECT_EQ(compact(0), Bytes({0x00}));
    EXPECT_EQ(compact(254), Bytes({0xFE}));
    EXPECT_EQ(compact(255), Bytes({0xFF, 0xFF, 0x00, 0x00, 0x00}));
    EXPECT_EQ(compact(256), Bytes({0xFF, 0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(compact(70000), Bytes({0xFF, 0x70, 0x11, 0x01, 0x00}));
    EXPECT_EQ(compact(0xFFFFFFFF), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(compact(70000, true), Bytes({0xFF, 0x00, 0x01, 0x11, 0x70}));
}

TEST(ByteStreamWrite, NumbersInBothByteOrders) {
    EXPECT_EQ(written([](DataDest& d) { d.writeInt32(0x01020304); }), Bytes({4, 3, 2, 1}));
    EXPECT_EQ(written([](DataDest& d) { d.writeInt32(0x01020304); }, 4, true), Bytes({1, 2, 3, 4}));
    EXPECT_EQ(written([](DataDest& d) { d << -2; }), Bytes({0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(written([](DataDest& d) { d << 0x80000001u; }, 4, true), Bytes({0x80, 0, 0, 1}));
    EXPECT_EQ(written([](DataDest& d) { d.writeInt64(0x05060708, 0x01020304); }), Bytes({8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(written([](DataDest& d) { d.writeInt64(0x05060708, 0x01020304); }, 4, true),
              Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(written([](DataDest& d) { d << 0x0102030405060708ll; }), Bytes({8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(written([](DataDest& d) { d << 1.0f; }), Bytes({0x00, 0x00, 0x80, 0x3F}));
    EXPECT_EQ(written([](DataDest& d) { d << 1.0f; }, 4, true), Bytes({0x3F, 0x80, 0x00, 0x00}));
    EXPECT_EQ(written([](DataDest& d) { d << 1.0; }), Bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    EXPECT_EQ(written([](DataDest& d) { d << 1.0; }, 4, true), Bytes({0x3F, 0xF0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(written([](DataDest& d) { d << true << false << 'x'; }), Bytes({1, 0, 'x'}));
}

TEST(ByteStreamWrite, StringModes) {
    auto text = [](int mode, const orvel_string& s) { return written([&](DataDest& d) { d << s; }, mode); };
    EXPECT_EQ(text(stringCompactLength, "ab"), Bytes({0x02, 0x61, 0x62}));
    EXPECT_EQ(text(stringTerminated, "ab"), Bytes({0x61, 0x62, 0x00}));
    EXPECT_EQ(text(stringLineEnd, "ab"), Bytes({0x61, 0x62, 0x0A, 0x0D}));
    EXPECT_EQ(text(stringByteLength, "ab"), Bytes({0x02, 0x61, 0x62}));
    EXPECT_EQ(text(stringWordLength, "ab"), Bytes({0x02, 0x00, 0x00, 0x00, 0x61, 0x62}));
    EXPECT_EQ(text(7, "ab"), Bytes());
    EXPECT_EQ(text(-1, "ab"), Bytes());
    EXPECT_EQ(text(stringTerminated, ""), Bytes({0x00}));
    EXPECT_EQ(text(stringWordLength, ""), Bytes({0, 0, 0, 0}));
    EXPECT_EQ(text(stringCompactLength, ""), Bytes({0x00}));
    EXPECT_EQ(written([](DataDest& d) { d << "ab"; }, stringWordLength, true), Bytes({0, 0, 0, 2, 0x61, 0x62}));

    Bytes long4 = text(stringCompactLength, orvel_string(300, 'q'));
    ASSERT_EQ(long4.size(), 305u);
    EXPECT_EQ(Bytes(long4.begin(), long4.begin() + 5), Bytes({0xFF, 0x2C, 0x01, 0x00, 0x00}));
    EXPECT_EQ(long4.back(), 'q');
}

// A text too long for one length byte is cut to 255 bytes, so that the
// record stays readable and the next one is found.
TEST_P(Sources, LongTextInByteLengthModeStaysReadable) {
    orvel_string longText(300, 'z');
    Bytes bytes = written([&](DataDest& d) { d << longText << 42; }, stringByteLength);
    ASSERT_EQ(bytes.size(), 1u + 255u + 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    DataSource& src = over(bytes);
    src.setStringMode(stringByteLength);
    orvel_string read;
    int after = 0;
    src >> read >> after;
    EXPECT_EQ(read, orvel_string(255, 'z'));
    EXPECT_EQ(after, 42);
}

TEST_P(Sources, CompactCountsReadBack) {
    DataSource& src = over({0xFE, 0xFF, 0xFF, 0, 0, 0, 0xFF, 0x70, 0x11, 0x01, 0x00, 0x00});
    EXPECT_EQ(src.readCompact(), 254u);
    EXPECT_EQ(src.readCompact(), 255u);
    EXPECT_EQ(src.readCompact(), 70000u);
    EXPECT_EQ(src.readCompact(), 0u);
    EXPECT_FALSE(src.fail());
    EXPECT_EQ(src.readCompact(), 0xFFFFFFFFu);
    EXPECT_TRUE(src.fail());

    DataSource& swapped = over({0xFF, 0x00, 0x01, 0x11, 0x70});
    swapped.swap = true;
    EXPECT_EQ(swapped.readCompact(), 70000u);

    DataSource& cut = over({0xFF, 0x01, 0x02});
    EXPECT_EQ(cut.readCompact(), 0xFFFFFFFFu);
    EXPECT_TRUE(cut.fail());
    EXPECT_FALSE(cut.good());
}

TEST_P(Sources, NumbersReadBackInBothByteOrders) {
    DataSource& src = over({4, 3, 2, 1, 1, 2, 3, 4, 0x34, 0x12, 0x34, 0x12, 8, 7, 6, 5, 4, 3, 2, 1, 1, 2, 3, 4, 5, 6,
                            7, 8, 0, 0, 0x80, 0x3F, 0x3F, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0x3F, 0xF0, 0, 0,
                            0, 0, 0, 0, 0x02, 0x00, 'c'});
    EXPECT_EQ(src.readInt32(), 0x01020304);
    src.swap = true;
    EXPECT_EQ(src.readUInt32(), 0x01020304u);
    src.swap = false;
    EXPECT_EQ(src.readUInt16(), 0x1234);
    src.swap = true;
    EXPECT_EQ(next<unsigned short>(src), 0x3412);
    src.swap = false;
    EXPECT_EQ(src.readInt64(), 0x0102030405060708ll);
    src.swap = true;
    EXPECT_EQ(next<long long>(src), 0x0102030405060708ll);
    for (bool swap : {false, true}) {
        src.swap = swap;
        EXPECT_EQ(next<float>(src), 1.0f);
    }
    for (bool swap : {false, true}) {
        src.swap = swap;
        EXPECT_EQ(next<double>(src), 1.0);
    }
    EXPECT_TRUE(next<bool>(src));  // any byte other than 0 is true
    EXPECT_FALSE(next<bool>(src));
    EXPECT_EQ(next<char>(src), 'c');
    EXPECT_EQ(src.position(), 55u);
}

TEST_P(Sources, Int32WithThreeBytesLeftFailsAndKeepsTarget) {
    DataSource& src = over({1, 2, 3});
    int value = 77;
    src >> value;
    EXPECT_EQ(value, 77);
    EXPECT_TRUE(src.fail());
    EXPECT_EQ(src.readByte(), -1);
    EXPECT_EQ(src.peekByte(), -1);
}

TEST_P(Sources, FailedSourceLeavesEveryTargetUnchanged) {
    DataSource& src = over({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    src.setFail();
    auto keeps = [&src](auto value) {
        auto target = value;
        src >> target;
        return target == value;
    };
    EXPECT_TRUE(keeps(true));
    EXPECT_TRUE(keeps('k'));
    EXPECT_TRUE(keeps((unsigned short)9));
    EXPECT_TRUE(keeps(-5));
    EXPECT_TRUE(keeps(6u));
    EXPECT_TRUE(keeps(2.5f));
    EXPECT_TRUE(keeps(3ll));
    EXPECT_TRUE(keeps(4.5));
    orvel_string text("kept");
    src >> text;
    EXPECT_EQ(text, "");  // a string read always empties its target first
    EXPECT_EQ(src.readByte(), -1);
    char block[4];
    EXPECT_EQ(src.read(block, 4), 0u);
    EXPECT_EQ(src.readCompact(), 0xFFFFFFFFu);
    orvel_string line;
    EXPECT_FALSE(src.readLine(line));
}

TEST_P(Sources, EveryStringModeRoundTrips) {
    for (bool swap : {false, true}) {
        for (int mode = stringTerminated; mode <= stringCompactLength; ++mode) {
            orvel_string texts[] = {"", "ab", orvel_string(254, 'm'), orvel_string(255, 'n'), orvel_string(70000, 'o')};
            Bytes bytes = written(
                [&](DataDest& d) {
                    for (const orvel_string& t : texts)
                        d << t << 0x11223344;
                },
                mode, swap);
            DataSource& src = over(bytes);
            src.setStringMode(mode);
            src.swap = swap;
            for (const orvel_string& t : texts) {
                orvel_string back("junk");
                int marker = 0;
                src >> back >> marker;
                orvel_string expected = mode == stringByteLength && t.length() > 255 ? t.substr(0, 255) : t;
                EXPECT_EQ(back, expected) << "mode " << mode << " length " << t.length();
                EXPECT_EQ(marker, 0x11223344) << "mode " << mode;
            }
            EXPECT_EQ(src.position(), unsigned(bytes.size()));
        }
    }
}

TEST_P(Sources, TerminatedStringsEndAtZeroLineFeedOrReturn) {
    struct Case {
        int mode;
        Bytes bytes;
        std::vector<orvel_string> texts;
    } cases[] = {
        {stringTerminated, {0x61, 0x62, 0x0D, 0x0A, 0x63, 0x64}, {"ab", "cd"}},
        {stringTerminated, {0x61, 0x62, 0x0A, 0x0A, 0x63, 0x64}, {"ab", "cd"}},
        {stringTerminated, {0x61, 0x62, 0x00, 0x63, 0x00}, {"ab", "c"}},
        {stringLineEnd, {0x61, 0x0D, 0x0D, 0x0D, 0x62}, {"a", "", "b"}},
        // The end of the data ends a text too.
        {stringTerminated, {0x78, 0x79}, {"xy"}},
    };
    for (const Case& c : cases) {
        DataSource& src = over(c.bytes);
        src.setStringMode(c.mode);
        for (const orvel_string& text : c.texts)
            EXPECT_EQ(next<orvel_string>(src), text) << "mode " << c.mode << " size " << c.bytes.size();
    }
}

TEST_P(Sources, UnknownStringModeReadsNothing) {
    DataSource& src = over({0x02, 0x61, 0x62});
    src.setStringMode(9);
    orvel_string text("x");
    src >> text;
    EXPECT_EQ(text, "");
    EXPECT_FALSE(src.fail());
    EXPECT_EQ(src.position(), 0u);
}

TEST_P(Sources, ReadLineKeepsZeroBytes) {
    orvel_string line;
    DataSource& src = over({0x61, 0x00, 0x62, 0x0A});
    EXPECT_TRUE(src.readLine(line));
    EXPECT_EQ(line.length(), 3u);
    EXPECT_EQ(std::memcmp(line.c_str(), "a\0b", 3), 0);

    DataSource& two = over({0x61, 0x62, 0x0D, 0x0A, 0x63, 0x64});
    EXPECT_TRUE(two.readLine(line));
    EXPECT_EQ(line, "ab");
    EXPECT_TRUE(two.readLine(line));
    EXPECT_EQ(line, "cd");
    EXPECT_FALSE(two.readLine(line));
    EXPECT_EQ(line, "");

    DataSource& blank = over({0x0A, 0x0D, 0x0A, 0x78});
    EXPECT_TRUE(blank.readLine(line));  // LF CR is one line end
    EXPECT_EQ(line, "");
    EXPECT_TRUE(blank.readLine(line));  // the next LF ends another, empty line
    EXPECT_EQ(line, "");
    EXPECT_TRUE(blank.readLine(line));
    EXPECT_EQ(line, "x");
}

TEST_P(Sources, LengthsLongerThanTheDataGiveEmptyTextAndFail) {
    struct Case {
        int mode;
        Bytes bytes;
    } cases[] = {
        {stringWordLength, {0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'}},
        {stringWordLength, {0x08, 0x00, 0x00, 0x00, 'a', 'b', 'c'}},
        {stringWordLength, {0x01, 0x00}},
        {stringCompactLength, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}},
        {stringCompactLength, {0xFF, 0xFF, 0xFF}},
        {stringCompactLength, {0x05, 'a', 'b'}},
        {stringCompactLength, {}},
        {stringByteLength, {}},
        {stringByteLength, {0x09, 'a'}},
    };
    for (const Case& c : cases) {
        DataSource& src = over(c.bytes);
        src.setStringMode(c.mode);
        orvel_string text("previous");
        src >> text;
        EXPECT_EQ(text, "") << "mode " << c.mode << " size " << c.bytes.size();
        EXPECT_LE(text.capacity(), 1024u);
        EXPECT_TRUE(src.fail());
        EXPECT_FALSE(src.good());
    }
}

TEST_P(Sources, SkipRunsOutAtTheEnd) {
    DataSource& src = over({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    src.skip(3);
    EXPECT_EQ(src.readByte(), 4);
    src.skip(6);
    EXPECT_FALSE(src.fail());
    EXPECT_EQ(src.bytesRemaining(), 0u);
    src.skip(1);
    EXPECT_TRUE(src.fail());

    DataSource& hostile = over({1, 2, 3});
    hostile.skip(0xFFFFFFFF);
    EXPECT_TRUE(hostile.fail());
}

TEST_P(Sources, ReadingUntilNotGoodAlwaysEnds) {
    Bytes bytes(1000, 0x41);
    for (auto read :
         {+[](DataSource& s) { s.readCompact(); }, +[](DataSource& s) { s.readByte(); }, +[](DataSource& s) { s.readInt32(); },
          +[](DataSource& s) {
              orvel_string t;
              s.setStringMode(stringTerminated);
              s >> t;
          }}) {
        DataSource& src = over(bytes);
        unsigned rounds = 0;
        while (src.good() && rounds <= bytes.size() + 1)
            read(src), ++rounds;
        EXPECT_FALSE(src.good());
        EXPECT_LE(rounds, bytes.size() + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(ByteStream, Sources, ::testing::Values(Kind::memory, Kind::file),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             return info.param == Kind::memory ? "Memory" : "File";
                         });

TEST(MemoryDataSource, SeekRules) {
    unsigned char ten[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    MemoryDataSource src(ten, 10, false);
    src.seek(9);
    EXPECT_TRUE(src.good());
    EXPECT_EQ(src.readByte(), 9);
    src.seek(10);
    EXPECT_TRUE(src.fail());
    EXPECT_EQ(src.readByte(), -1);
    src.seek(0);
    EXPECT_TRUE(src.good());
    EXPECT_EQ(src.readByte(), 0);
    EXPECT_EQ(src.position(), 1u);
    EXPECT_EQ(src.bytesRemaining(), 9u);
    EXPECT_TRUE(src.isSeekable());
    src.close();
    EXPECT_FALSE(src.good());
    src.seek(4);
    EXPECT_EQ(src.readByte(), 4);
}

TEST(MemoryDataSource, EmptySourceHasFailed) {
    MemoryDataSource src;
    EXPECT_FALSE(src.good());
    EXPECT_EQ(src.readByte(), -1);
    EXPECT_EQ(src.size(), 0u);
    src.seek(0);
    EXPECT_FALSE(src.good());
}

TEST(MemoryDataSource, EndFailsReadsButNotPeeksOrBlockReads) {
    unsigned char two[2] = {7, 8};
    MemoryDataSource src(two, 2, false);
    unsigned char block[8] = {};
    EXPECT_EQ(src.read(block, 8), 2u);
    EXPECT_FALSE(src.fail());  // a short block read is for the caller to judge
    EXPECT_EQ(src.peekByte(), -1);
    EXPECT_FALSE(src.fail());
    EXPECT_EQ(src.readByte(), -1);
    EXPECT_TRUE(src.fail());
}

TEST(MemoryDataSource, ReadsInPlaceUnlessAskedToCopy) {
    unsigned char data[4] = {1, 0, 0, 0};
    MemoryDataSource inPlace(data, 4, false);
    MemoryDataSource copied(data, 4, true);
    data[0] = 2;
    EXPECT_EQ(inPlace.readInt32(), 2);
    EXPECT_EQ(copied.readInt32(), 1);
}

TEST(MemoryDataDest, GrowthByBytesAndBlocks) {
    MemoryDataDest bytes;
    EXPECT_EQ(bytes.capacity(), 0u);
    unsigned expected[] = {1, 2, 4, 4, 8, 8, 8, 8, 16};
    for (unsigned cap : expected) {
        bytes.writeByte('x');
        EXPECT_EQ(bytes.capacity(), cap);
    }

    MemoryDataDest blocks;
    char chunk[700] = {};
    blocks.write(chunk, 10);
    EXPECT_EQ(blocks.capacity(), 1024u);
    blocks.write(chunk, 700);
    blocks.write(chunk, 700);
    EXPECT_EQ(blocks.capacity(), 2048u);
    blocks.write(chunk, 700);
    EXPECT_EQ(blocks.capacity(), 4096u);
    EXPECT_EQ(blocks.size(), 2110u);
    char big[5000] = {};
    MemoryDataDest jump;
    jump.write(big, 5000);
    EXPECT_EQ(jump.capacity(), 8192u);
}

TEST(DataDest, WritesAreDroppedAfterFailure) {
    MemoryDataDest dest;
    dest << 1;
    dest.setFail();
    dest << 2 << "abc" << 'c';
    dest.writeCompact(300);
    EXPECT_FALSE(dest.good());
    EXPECT_EQ(dest.size(), 4u);
}
