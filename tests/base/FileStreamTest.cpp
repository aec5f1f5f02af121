// The file source and sink: files larger than the 64 KiB buffer whose
// records cross its edges, seeking and skipping across blocks, and the
// failures of missing, empty and unwritable files.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/support/TempFolder.h"
#include "base/FileDataDest.h"
#include "base/FileDataSource.h"
#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"

using namespace orvel;
using Bytes = std::vector<unsigned char>;

namespace {

// A reproducible mix of every record kind, with texts long enough to span
// whole buffers. Writer and checker draw the same sequence from one seed.
class Records {
public:
    explicit Records(unsigned seed) : random_(seed) {}

    void write(DataDest& d, int count) {
        for (int i = 0; i < count; ++i) {
            Item it = next();
            d.swap = it.swap;
            d.setStringMode(it.mode);
            switch (it.kind) {
            case 0: d << char(it.number); break;
            case 1: d << bool((it.number & 1) != 0); break;
            case 2: d << int(it.number); break;
            case 3: d.writeCompact(unsigned(it.number)); break;
            case 4: d << (long long)it.number * 7919; break;
            case 5: d << float(int(it.number)) * 0.5f; break;
            case 6: d << double(it.number) / 3; break;
            default: d << it.text; break;
            }
        }
    }

    void check(DataSource& s, int count) {
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(i);
            Item it = next();
            s.swap = it.swap;
            s.setStringMode(it.mode);
            switch (it.kind) {
            case 0: expectNext(s, char(it.number)); break;
            case 1: expectNext(s, (it.number & 1) != 0); break;
            case 2: ASSERT_EQ(s.readInt32(), int(it.number)); break;
            case 3: ASSERT_EQ(s.readCompact(), unsigned(it.number)); break;
            case 4: ASSERT_EQ(s.readInt64(), (long long)it.number * 7919); break;
            case 5: expectNext(s, float(int(it.number)) * 0.5f); break;
            case 6: expectNext(s, double(it.number) / 3); break;
            default: expectNext(s, it.text); break;
            }
            if (::testing::Test::HasFatalFailure())
                return;
            ASSERT_TRUE(s.good());
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
        Item it;
        it.kind = int(random_() % 9);
        it.number = unsigned(random_());
        if (random_() % 3 == 0)
            it.number &= 0x1FF;  // around the compact boundary too
        it.swap = random_() % 2;
        it.mode = int(random_() % 5);
        unsigned length = random_() % 16 == 0 ? random_() % 90000 : random_() % 40;
        if (it.mode == stringByteLength)
            length %= 256;
        it.text.assign(length, char('a' + random_() % 26));
        return it;
    }

    template <class T>
    static void expectNext(DataSource& s, const T& expected) {
        T value{};
        s >> value;
        ASSERT_EQ(value, expected);
    }

    std::mt19937 random_;
};

Bytes bytesOf(const MemoryDataDest& d) { return Bytes(d.data(), d.data() + d.size()); }

}  // namespace

class FileStreams : public ::testing::Test {
protected:
    // A file of the test's folder holding bytes; its name.
    std::string file(const char* name, const Bytes& bytes) {
        writeFile(folder / name, bytes);
        return folder / name;
    }

    TempFolder folder;
};

TEST_F(FileStreams, RecordsAcrossBufferEdgesMatchMemory) {
    std::string name = folder / "records.bin";
    const int count = 3000;
    {
        FileDataDest file(name.c_str());
        Records(7).write(file, count);
        EXPECT_TRUE(file.good());
    }
    MemoryDataDest memory;
    Records(7).write(memory, count);
    Bytes bytes = readFile(name);
    ASSERT_EQ(bytes, bytesOf(memory));
    ASSERT_GT(bytes.size(), 4u * FileDataSource::bufferSize);

    FileDataSource file(name.c_str());
    ASSERT_TRUE(file.good());
    EXPECT_EQ(file.size(), unsigned(bytes.size()));
    Records(7).check(file, count);
    EXPECT_EQ(file.position(), unsigned(bytes.size()));
    EXPECT_EQ(file.bytesRemaining(), 0u);

    MemoryDataSource mem(bytes.data(), unsigned(bytes.size()), false);
    Records(7).check(mem, count);
}

TEST_F(FileStreams, WordsAtOddOffsetsMatchMemory) {
    Bytes bytes(200001);
    std::mt19937 random(3);
    for (unsigned char& b : bytes)
        b = (unsigned char)random();
    std::string name = file("words.bin", bytes);
    for (unsigned start : {0u, 1u, 2u, 3u}) {
        FileDataSource file(name.c_str());
        MemoryDataSource mem(bytes.data(), unsigned(bytes.size()), false);
        file.skip(start);
        mem.skip(start);
        for (unsigned n = 0; n < (bytes.size() - start) / 4; ++n)
            ASSERT_EQ(file.readUInt32(), mem.readUInt32()) << "start " << start << " word " << n;
        EXPECT_TRUE(file.good());
        file.readUInt32();  // past the end: the words run out
        EXPECT_FALSE(file.good());
    }
}

TEST_F(FileStreams, SeekAndSkipAcrossBlocks) {
    Bytes bytes(300000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = (unsigned char)(i * 31 + (i >> 8));
    std::string name = file("seek.bin", bytes);
    auto at = [&](unsigned p) { return int(bytes[p]); };

    FileDataSource src(name.c_str());
    EXPECT_TRUE(src.isSeekable());
    src.seek(250000);
    EXPECT_EQ(src.readByte(), at(250000));
    src.seek(10);  // behind the buffer
    EXPECT_EQ(src.readByte(), at(10));
    src.seek(60000);  // inside the current buffer
    EXPECT_EQ(src.position(), 60000u);
    EXPECT_EQ(src.readByte(), at(60000));
    src.skip(6000);  // crosses into the next block
    EXPECT_EQ(src.position(), 66001u);
    EXPECT_EQ(src.readByte(), at(66001));
    src.skip(100000);  // further than one block: a seek
    EXPECT_EQ(src.readByte(), at(166002));
    EXPECT_EQ(src.bytesRemaining(), unsigned(bytes.size()) - 166003u);

    src.seek(unsigned(bytes.size()));  // the very end is a valid position
    EXPECT_TRUE(src.good());
    EXPECT_EQ(src.bytesRemaining(), 0u);
    EXPECT_EQ(src.readByte(), -1);
    EXPECT_FALSE(src.good());

    FileDataSource beyond(name.c_str());
    beyond.seek(unsigned(bytes.size()) + 1);
    EXPECT_TRUE(beyond.fail());
    EXPECT_EQ(beyond.bytesRemaining(), 0u);
    beyond.seek(0);  // a seek does not clear the failure
    EXPECT_EQ(beyond.position(), 0u);
    EXPECT_FALSE(beyond.good());
    int kept = -1;
    beyond >> kept;
    EXPECT_EQ(kept, -1);
}

TEST_F(FileStreams, SkipNearTheEndStopsAtTheLoadedBytes) {
    Bytes bytes(FileDataSource::bufferSize + 100, 0x5A);
    std::string name = file("tail.bin", bytes);
    FileDataSource src(name.c_str());
    src.skip(FileDataSource::bufferSize - 10);
    // 10 bytes in the buffer, 100 in the file: 1000 more than there are.
    src.skip(1110);
    EXPECT_TRUE(src.fail());
    EXPECT_LE(src.position(), unsigned(bytes.size()));
    EXPECT_EQ(src.readByte(), -1);

    FileDataSource exact(name.c_str());
    exact.skip(FileDataSource::bufferSize - 10);
    exact.skip(110);
    EXPECT_TRUE(exact.good());
    EXPECT_EQ(exact.position(), unsigned(bytes.size()));
}

TEST_F(FileStreams, LargeBlockReadsGoAroundTheBuffer) {
    Bytes bytes(3 * FileDataSource::bufferSize + 123);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = (unsigned char)(i ^ (i >> 9));
    std::string name = file("block.bin", bytes);
    FileDataSource src(name.c_str());
    src.skip(7);
    Bytes out(2 * FileDataSource::bufferSize + 50);
    ASSERT_EQ(src.read(out.data(), unsigned(out.size())), unsigned(out.size()));
    EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + 7));
    EXPECT_EQ(src.readByte(), bytes[7 + out.size()]);
    Bytes rest(bytes.size());
    unsigned left = unsigned(bytes.size() - 8 - out.size());
    EXPECT_EQ(src.read(rest.data(), unsigned(rest.size())), left);
    EXPECT_TRUE(src.fail());
    EXPECT_TRUE(std::equal(rest.begin(), rest.begin() + left, bytes.end() - left));
}

TEST_F(FileStreams, MissingFileIsNotGood) {
    FileDataSource src((folder / "missing.bin").c_str());
    EXPECT_FALSE(src.good());
    EXPECT_EQ(src.readByte(), -1);
    EXPECT_EQ(src.peekByte(), -1);
    int value = 5;
    src >> value;
    EXPECT_EQ(value, 5);
    EXPECT_EQ(src.bytesRemaining(), 0u);

    FileDataSource none;
    EXPECT_FALSE(none.good());
    FileDataSource folderItself(folder.path().c_str());
    EXPECT_FALSE(folderItself.good());
}

TEST_F(FileStreams, EmptyFileFailsAtOnce) {
    std::string name = file("empty.bin", {});
    FileDataSource src(name.c_str());
    EXPECT_FALSE(src.good());
    EXPECT_EQ(src.readByte(), -1);
}

TEST_F(FileStreams, OpenAgainStartsAfresh) {
    std::string a = file("a.bin", {1, 2}), b = file("b.bin", {9, 8, 7});
    FileDataSource src(a.c_str());
    EXPECT_EQ(src.readInt32(), 0);
    EXPECT_FALSE(src.good());
    src.open(b.c_str());
    EXPECT_TRUE(src.good());
    EXPECT_EQ(src.position(), 0u);
    EXPECT_EQ(src.size(), 3u);
    EXPECT_EQ(src.readByte(), 9);
    src.close();
    EXPECT_FALSE(src.good());
    EXPECT_EQ(src.readByte(), -1);
    src.open(nullptr);
    EXPECT_FALSE(src.good());
}

TEST_F(FileStreams, SourceNamesMayUseBackslashesAndOtherCase) {
    std::filesystem::create_directories(folder.path() / "Data" / "Models");
    writeFile((folder.path() / "Data" / "Models" / "Tree.BIN").string(), {0x2A, 0, 0, 0});
    std::string lowered = folder.path().string() + "\\data\\models\\tree.bin";
    FileDataSource src(lowered.c_str());
    ASSERT_TRUE(src.good());
    EXPECT_EQ(src.readInt32(), 42);
}

TEST_F(FileStreams, WriteToUnwritablePathFailsCleanly) {
    std::string plain = file("plain", {1});
    std::string impossible = plain + "/child.bin";  // below a file: refused even to root
    {
        FileDataDest dest(impossible.c_str());
        EXPECT_FALSE(dest.good());
        dest << 1 << "text" << 2.0;
        dest.write("abc", 3);
        EXPECT_FALSE(dest.good());
    }
    EXPECT_FALSE(std::filesystem::exists(impossible));

    FileDataDest unopened(nullptr);
    EXPECT_FALSE(unopened.good());
    unopened << 5;
    unopened.close();
}

TEST_F(FileStreams, WriteErrorOnAFullDeviceFails) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    FileDataDest dest("/dev/full");
    ASSERT_TRUE(dest.good());
    std::vector<char> block(100000, 'x');
    dest.write(block.data(), unsigned(block.size()));
    dest.close();
    EXPECT_FALSE(dest.good());
}

TEST_F(FileStreams, DestinationCreatesAndTruncates) {
    std::string name = file("out.bin", Bytes(100, 0xEE));
    {
        FileDataDest dest(name.c_str());
        dest.setStringMode(stringTerminated);
        dest << "hi" << 'x';
        dest.writeByte('y');
        EXPECT_TRUE(dest.good());
    }
    EXPECT_EQ(readFile(name), Bytes({'h', 'i', 0, 'x', 'y'}));
}

TEST_F(FileStreams, AFileThatChangesAfterOpeningIsReadAsItWasSized) {
    std::string name = file("changing.bin", Bytes(FileDataSource::bufferSize + 10, 1));
    FileDataSource grown(name.c_str());
    writeFile(name, Bytes(4 * FileDataSource::bufferSize, 2));
    Bytes out(3 * FileDataSource::bufferSize);
    EXPECT_EQ(grown.read(out.data(), unsigned(out.size())), FileDataSource::bufferSize + 10);
    EXPECT_TRUE(grown.fail());
    EXPECT_EQ(grown.position(), grown.size());

    FileDataSource shrunk(name.c_str());
    std::filesystem::resize_file(name, 10);
    shrunk.skip(FileDataSource::bufferSize);
    EXPECT_EQ(shrunk.readByte(), -1);  // the next block is not there any more
    EXPECT_FALSE(shrunk.good());
}
