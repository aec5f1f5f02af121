// The file source and sink: seeking, skipping and block reads across the
// 64 KiB buffer, files that are missing, empty, changed after opening or
// named the program's way, and sinks that cannot write.
#include <gtest/gtest.h>

#include <vector>

#include "base/FileDataDest.h"
#include "base/FileDataSource.h"
#include "base/MemoryDataDest.h"
#include "tests/support/TempFolder.h"

using namespace orvel;
using Bytes = std::vector<unsigned char>;

namespace {

constexpr unsigned block = FileDataSource::bufferSize;

class FileStreams : public ::testing::Test {
protected:
    // A file of the test's folder holding size bytes that differ from their
    // neighbours; its name.
    std::string file(const char* name, size_t size) {
        bytes.resize(size);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = (unsigned char)(i * 31 + (i >> 9));
        writeFile(folder / name, bytes);
        return folder / name;
    }

    TempFolder folder;
    Bytes bytes;
};

}  // namespace

TEST_F(FileStreams, SeekSkipAndReadAcrossBlocks) {
    std::string name = file("seek.bin", 300000);
    FileDataSource src(name.c_str());
    EXPECT_TRUE(src.isSeekable());
    EXPECT_EQ(src.size(), 300000u);
    const struct {
        bool seek;  // else skip
        unsigned by, at;
    } steps[] = {{true, 250000, 250000}, {true, 10, 10},          {true, 60000, 60000},  // behind, inside the buffer
                 {false, 6000, 66001},   {false, 100000, 166002}, {false, 3, 166006}};   // into the next block, beyond it
    for (const auto& step : steps) {
        step.seek ? src.seek(step.by) : src.skip(step.by);
        EXPECT_EQ(src.position(), step.at);
        EXPECT_EQ(src.readByte(), bytes[step.at]);
    }
    // A large block read goes around the buffer.
    Bytes out(2 * block + 50);
    ASSERT_EQ(src.read(out.data(), unsigned(out.size())), out.size());
    EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + 166007));
    EXPECT_EQ(src.bytesRemaining(), 300000u - 166007 - out.size());
    EXPECT_EQ(src.read(out.data(), unsigned(out.size())), 300000u - 166007 - out.size());
    EXPECT_TRUE(src.fail());

    FileDataSource end(name.c_str());
    end.seek(300000);  // the very end is a position, not a failure
    EXPECT_TRUE(end.good());
    EXPECT_EQ(end.readByte(), -1);
    FileDataSource beyond(name.c_str());
    beyond.seek(300001);
    EXPECT_TRUE(beyond.fail());
    beyond.seek(0);  // a seek does not clear the failure
    EXPECT_FALSE(beyond.good());
}

// Near the end the buffer holds fewer bytes than a skip needs: the skip
// fails there instead of running past the data.
TEST_F(FileStreams, SkipNearTheEndStopsAtTheLoadedBytes) {
    std::string name = file("tail.bin", block + 100);
    for (unsigned over : {0u, 1000u}) {
        FileDataSource src(name.c_str());
        src.skip(block - 10);
        src.skip(110 + over);
        EXPECT_EQ(src.fail(), over > 0);
        EXPECT_LE(src.position(), block + 100);
        EXPECT_EQ(src.readByte(), -1);
    }
}

TEST_F(FileStreams, MissingEmptyAndReopenedFiles) {
    file("empty.bin", 0);
    std::string two = file("two.bin", 2);
    for (const std::string& name : {folder / "missing.bin", folder / "empty.bin", folder.path().string(), std::string()}) {
        FileDataSource src(name.empty() ? nullptr : name.c_str());
        EXPECT_FALSE(src.good()) << name;
        EXPECT_EQ(src.peekByte(), -1) << name;
        EXPECT_EQ(src.bytesRemaining(), 0u) << name;
    }
    FileDataSource src(two.c_str());
    EXPECT_EQ(src.readInt32(), 0);
    src.open(file("three.bin", 3).c_str());
    EXPECT_TRUE(src.good());
    EXPECT_EQ(src.readByte(), bytes[0]);
    src.close();
    EXPECT_EQ(src.readByte(), -1);

    // The program's own form of a name: backslashes, and any case.
    std::filesystem::create_directories(folder.path() / "Data" / "Models");
    writeFile((folder.path() / "Data" / "Models" / "Tree.BIN").string(), {0x2A, 0, 0, 0});
    FileDataSource named((folder.path().string() + "\\data\\models\\tree.bin").c_str());
    EXPECT_EQ(named.readInt32(), 42);
}

// A file changed after opening is read as it was sized then.
TEST_F(FileStreams, AFileThatChangesAfterOpening) {
    std::string name = file("changing.bin", block + 10);
    FileDataSource grown(name.c_str());
    writeFile(name, Bytes(4 * block, 2));
    Bytes out(3 * block);
    EXPECT_EQ(grown.read(out.data(), unsigned(out.size())), block + 10);
    EXPECT_EQ(grown.position(), grown.size());

    FileDataSource shrunk(name.c_str());
    std::filesystem::resize_file(name, 10);
    shrunk.skip(block);
    EXPECT_EQ(shrunk.readByte(), -1);
    EXPECT_FALSE(shrunk.good());
}

TEST_F(FileStreams, SinkWritesAsMemoryDoesAndFailsWhereItCannot) {
    std::string name = file("out.bin", 100);
    {
        FileDataDest dest(name.c_str());
        MemoryDataDest memory;
        for (DataDest* d : {static_cast<DataDest*>(&dest), static_cast<DataDest*>(&memory)}) {
            d->setStringMode(stringTerminated);
            *d << "hi" << 'x' << 1.5;
            d->write(bytes.data(), 70);
        }
        EXPECT_TRUE(dest.good());
        dest.close();
        EXPECT_FALSE(dest.fail());
        EXPECT_EQ(readFile(name), Bytes(memory.data(), memory.data() + memory.size()));
    }
    std::string below = name + "/child.bin";  // below a file: refused even to root
    FileDataDest refused(below.c_str()), unnamed(nullptr);
    refused << 1 << "text";
    refused.write("abc", 3);
    unnamed << 5;
    EXPECT_FALSE(refused.good());
    EXPECT_FALSE(unnamed.good());
    EXPECT_FALSE(std::filesystem::exists(below));
    if (std::filesystem::exists("/dev/full")) {
        FileDataDest full("/dev/full");
        std::vector<char> data(100000, 'x');
        full.write(data.data(), unsigned(data.size()));
        full.close();
        EXPECT_FALSE(full.good());
    }
}
