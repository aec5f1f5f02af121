// File paths: normalising, parts and setters, the stream form, and the
// folder operations on a real file system.
#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/support/LogCapture.h"
#include "tests/support/TempFolder.h"
#include "base/Clock.h"
#include "base/FileDataSource.h"
#include "base/FilePath.h"
#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"

using namespace orvel;
namespace fs = std::filesystem;

namespace {

// A temporary folder in the program's own path form.
std::string programForm(const fs::path& p) {
    std::string s = p.string();
    for (char& c : s)
        if (c == '/')
            c = '\\';
    return s;
}

}  // namespace

struct Doubled {
    const char* path;
    const char* normal;
    const char* log;
    const char* directory;
    const char* fileName;
};

// Each case pays the 3-second pause of a doubled separator, once however
// many there are: a test of its own, so that they run side by side.
class FilePathDoubled : public ::testing::TestWithParam<Doubled> {};

TEST_P(FilePathDoubled, IsErasedWithLogAndPause) {
    const Doubled& c = GetParam();
    LogCapture log;
    double before = getTime();
    FilePath p(c.path);
    EXPECT_GE(getTime() - before, 2.9);
    EXPECT_LT(getTime() - before, 5.0);
    EXPECT_EQ(p.str(), c.normal);
    EXPECT_EQ(log.text(), c.log);
    EXPECT_EQ(p.directory(), c.directory);
    EXPECT_EQ(p.fileName(), c.fileName);
}

INSTANTIATE_TEST_SUITE_P(FilePathNormalise, FilePathDoubled,
                         ::testing::Values(Doubled{"C:/Data//Models/Tree.TAVIK", "c:\\data\\models\\tree.tavik",
                                                   "Erasing at 8\n", "c:\\data\\models\\", "tree.tavik"},
                                           Doubled{"a//b//c//d", "a\\b\\c\\d", "Erasing at 2\nErasing at 4\nErasing at 6\n",
                                                   "a\\b\\c\\", "d"},
                                           // A run of three keeps two.
                                           Doubled{"a\\\\\\b", "a\\\\b", "Erasing at 2\n", "a\\\\", "b"}));

TEST(FilePathNormalise, LeadingPairStaysWithoutPause) {
    LogCapture log;
    double before = getTime();
    EXPECT_EQ(FilePath("//Server/Share").str(), "\\\\server\\share");
    EXPECT_EQ(FilePath("\\\\x").str(), "\\\\x");
    EXPECT_EQ(FilePath("MiXeD/Case\\Path.TXT").str(), "mixed\\case\\path.txt");
    EXPECT_EQ(FilePath("caf\xC9").str(), "caf\xC9");  // letters beyond ASCII stay as given
    EXPECT_EQ(FilePath(nullptr).str(), "");
    EXPECT_EQ(FilePath(orvel_string("A/B")).str(), "a\\b");
    EXPECT_LT(getTime() - before, 1.0);
    EXPECT_EQ(log.text(), "");
}

TEST(FilePathParts, ExtensionsAndFolders) {
    FilePath p("a.b\\c");
    EXPECT_EQ(p.extension(), "");
    EXPECT_EQ(p.fileName(), "c");
    EXPECT_EQ(p.directory(), "a.b\\");

    FilePath bare("readme");
    EXPECT_EQ(bare.directory(), "");
    EXPECT_EQ(bare.fileName(), "readme");
    EXPECT_EQ(bare.extension(), "");

    FilePath folder("x\\y\\");
    EXPECT_EQ(folder.fileName(), "");
    EXPECT_EQ(folder.directory(), "x\\y\\");
    EXPECT_EQ(FilePath::separator(), '\\');
}

TEST(FilePathParts, SettersRenormaliseAndRefreshTheParts) {
    FilePath wav("c:\\x\\y.wav");
    EXPECT_EQ(wav.extension(), ".wav");  // cached now
    wav.setExtension(".snd");
    EXPECT_EQ(wav.str(), "c:\\x\\y.snd");
    EXPECT_EQ(wav.extension(), ".snd");
    FilePath none("c:\\x\\y");
    none.setExtension(".snd");
    EXPECT_EQ(none.str(), "c:\\x\\y");

    FilePath p("sounds\\Drum.WAV");
    EXPECT_EQ(p.directory(), "sounds\\");
    p.setDirectory("Data/Music");
    EXPECT_EQ(p.str(), "data\\music\\drum.wav");
    EXPECT_EQ(p.directory(), "data\\music\\");
    p.setDirectory("other\\");
    EXPECT_EQ(p.str(), "other\\drum.wav");
    p.setFileName("Bass.WAV");
    EXPECT_EQ(p.str(), "other\\bass.wav");
    EXPECT_EQ(p.fileName(), "bass.wav");
    p.addSubfolder("Loops");
    EXPECT_EQ(p.str(), "other\\loops\\bass.wav");
    p.addSubfolder("deep\\");
    EXPECT_EQ(p.str(), "other\\loops\\deep\\bass.wav");
    p.replacePrefix("OTHER/Loops", "c:\\kalvora\\");
    EXPECT_EQ(p.str(), "c:\\kalvora\\deep\\bass.wav");
    p.replacePrefix("d:\\", "e:\\");
    EXPECT_EQ(p.str(), "c:\\kalvora\\deep\\bass.wav");
}

TEST(FilePathParts, ComparesNormalisedTexts) {
    EXPECT_TRUE(FilePath("A\\B") == FilePath("a/b"));
    EXPECT_FALSE(FilePath("A\\B") != FilePath("a/b"));
    EXPECT_TRUE(FilePath("a\\b") != FilePath("a\\c"));
    EXPECT_TRUE(FilePath("a\\b") < FilePath("a\\c"));
    EXPECT_TRUE(FilePath("a") < FilePath("a\\"));
    EXPECT_FALSE(FilePath("b") < FilePath("a"));
}

TEST(FilePathParts, StreamFormIsAStringAndReadingNormalises) {
    MemoryDataDest dest;
    dest << FilePath("Models\\Tree.TAVIK");
    const char expected[] = "\x11models\\tree.tavik";
    ASSERT_EQ(dest.size(), sizeof expected - 1);
    EXPECT_EQ(std::memcmp(dest.data(), expected, dest.size()), 0);

    MemoryDataDest raw;
    raw.setStringMode(stringTerminated);
    raw << "Data/Sky.GIF";
    MemoryDataSource src(raw.data(), raw.size(), false);
    src.setStringMode(stringTerminated);
    FilePath read("old");
    src >> read;
    EXPECT_EQ(read.str(), "data\\sky.gif");
    EXPECT_EQ(read.fileName(), "sky.gif");
}

class FilePathDisk : public ::testing::Test {
protected:
    TempFolder folder;
    // A path below the folder, in the program's form.
    FilePath at(const std::string& rest) { return FilePath((programForm(folder.path()) + "\\" + rest).c_str()); }
};

TEST_F(FilePathDisk, UpperCaseLinuxPathStillOpensAfterNormalising) {
    fs::create_directories(folder.path() / "Data" / "Models");
    std::string native = (folder.path() / "Data" / "Models" / "Tree.TAVIK").string();
    writeFile(native, {7, 0, 0, 0, 1});
    FilePath p(native.c_str());
    EXPECT_EQ(p.fileName(), "tree.tavik");
    EXPECT_NE(p.str().find_first_of('\\'), orvel_string::npos);

    FileDataSource src(p);
    ASSERT_TRUE(src.good());
    EXPECT_EQ(src.readInt32(), 7);
    FilePath::StatInfo info = p.stat();
    EXPECT_TRUE(info.exists);
    EXPECT_FALSE(info.isDirectory);
    EXPECT_TRUE(info.readable);
    EXPECT_EQ(info.size, 5u);
    EXPECT_GT(info.modified, 0);
    EXPECT_TRUE(p.directoryExists());
}

TEST_F(FilePathDisk, StatAndDirectoryExists) {
    FilePath::StatInfo info = FilePath(folder.path().c_str()).stat();
    EXPECT_TRUE(info.exists);
    EXPECT_TRUE(info.isDirectory);
    EXPECT_TRUE(info.writable);
    EXPECT_FALSE(at("missing.txt").stat().exists);

    writeFile(folder / "file", {1});
    EXPECT_TRUE(at("anything.txt").directoryExists());
    EXPECT_TRUE(at("").directoryExists());
    EXPECT_FALSE(at("nope\\x.txt").directoryExists());
    EXPECT_FALSE(at("file\\x.txt").directoryExists());
    EXPECT_TRUE(FilePath("q:\\x.txt").directoryExists());  // a drive alone counts
    EXPECT_TRUE(FilePath("/x.txt").directoryExists());
    EXPECT_FALSE(FilePath("x.txt").directoryExists());
}

TEST_F(FilePathDisk, MakeDirectoriesCreatesTheChain) {
    FilePath p = at("A\\b\\c\\file.txt");
    EXPECT_FALSE(p.directoryExists());
    EXPECT_TRUE(p.makeDirectories());
    EXPECT_TRUE(fs::is_directory(folder.path() / "a" / "b" / "c"));
    EXPECT_FALSE(fs::exists(folder.path() / "a" / "b" / "c" / "file.txt"));
    EXPECT_TRUE(p.makeDirectories());

    // Existing folders of another case are used, not doubled.
    fs::create_directories(folder.path() / "Upper");
    EXPECT_TRUE(at("upper\\inner\\x").makeDirectories());
    EXPECT_TRUE(fs::is_directory(folder.path() / "Upper" / "inner"));
    EXPECT_FALSE(fs::exists(folder.path() / "upper"));

    writeFile(folder / "blocker", {1});
    EXPECT_FALSE(at("blocker\\sub\\x").makeDirectories());
}

TEST_F(FilePathDisk, ListSkipsDotNamesAndSortsByBytes) {
    fs::create_directories(folder.path() / "list");
    for (const char* name : {"a", ".hidden", "B"})
        writeFile((folder.path() / "list" / name).string(), {});
    fs::create_directories(folder.path() / "list" / "Sub.dir");
    writeFile((folder.path() / "list" / "notes.TXT").string(), {});
    writeFile((folder.path() / "list" / "zeta.txt").string(), {});

    FilePath dir = at("list");
    EXPECT_EQ(dir.list("*"), (std::vector<orvel_string>{"B", "Sub.dir", "a", "notes.TXT", "zeta.txt"}));
    EXPECT_EQ(dir.list("*.*"), dir.list("*"));
    EXPECT_EQ(dir.list("*.txt"), (std::vector<orvel_string>{"notes.TXT", "zeta.txt"}));
    EXPECT_EQ(dir.list("?"), (std::vector<orvel_string>{"B", "a"}));
    EXPECT_EQ(at("list\\").list("*").size(), 5u);
    EXPECT_TRUE(at("missing").list("*").empty());
}

TEST_F(FilePathDisk, RemoveTreeDoesNotFollowLinks) {
    fs::create_directories(folder.path() / "outside");
    writeFile((folder.path() / "outside" / "keep.txt").string(), {1});
    fs::create_directories(folder.path() / "Tree" / "Inner" / "deeper");
    writeFile((folder.path() / "Tree" / "top.bin").string(), {1});
    writeFile((folder.path() / "Tree" / "Inner" / "Mid.bin").string(), {1});
    writeFile((folder.path() / "Tree" / "Inner" / "deeper" / "low.bin").string(), {1});
    fs::create_directory_symlink(folder.path() / "outside", folder.path() / "Tree" / "Inner" / "link");
    fs::create_symlink(folder.path() / "outside" / "keep.txt", folder.path() / "Tree" / "filelink");

    FilePath tree = at("tree");
    EXPECT_FALSE(tree.removeTree(false));  // not empty
    EXPECT_TRUE(fs::exists(folder.path() / "Tree" / "top.bin"));
    EXPECT_TRUE(tree.removeTree(true));
    EXPECT_FALSE(fs::exists(folder.path() / "Tree"));
    EXPECT_TRUE(fs::exists(folder.path() / "outside" / "keep.txt"));

    // Named with a final separator, a link to a folder is still only a link.
    fs::create_directory_symlink(folder.path() / "outside", folder.path() / "dirlink");
    EXPECT_TRUE(at("dirlink\\").removeTree(true));
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder.path() / "dirlink")));
    EXPECT_TRUE(fs::exists(folder.path() / "outside" / "keep.txt"));

    writeFile(folder / "single.txt", {1});
    EXPECT_TRUE(at("single.txt").removeTree(false));
    EXPECT_FALSE(fs::exists(folder.path() / "single.txt"));
    EXPECT_FALSE(at("single.txt").removeTree(true));

    fs::create_directories(folder.path() / "empty");
    EXPECT_TRUE(at("empty").removeTree(false));
    EXPECT_FALSE(fs::exists(folder.path() / "empty"));
}

TEST_F(FilePathDisk, RemoveTreeStopsAtAnEntryItCannotRemove) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may remove anything";
    fs::create_directories(folder.path() / "locked" / "inner");
    writeFile((folder.path() / "locked" / "inner" / "f").string(), {1});
    fs::permissions(folder.path() / "locked" / "inner", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(at("locked").removeTree(true));
    fs::permissions(folder.path() / "locked" / "inner", fs::perms::owner_all);
}

TEST(ProgramPath, NamesTheRunningExecutable) {
    const FilePath& exe = programPath();
    ASSERT_FALSE(exe.str().empty());
    EXPECT_TRUE(exe.stat().exists);
    EXPECT_EQ(exe.fileName(), "orvel_path_tests");
    EXPECT_EQ(programFolder(), exe.directory());
    EXPECT_EQ(programFolder()[programFolder().length() - 1], '\\');
    EXPECT_TRUE(FilePath(programFolder() + "x").directoryExists());
    EXPECT_EQ(&programPath(), &exe);  // read once
}
