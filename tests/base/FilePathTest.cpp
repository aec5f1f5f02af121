// File paths: normalising, parts and changes, the stream form, and the
// folder operations on a real file system.
#include <gtest/gtest.h>

#include <unistd.h>

#include "base/Clock.h"
#include "base/FileDataSource.h"
#include "base/FilePath.h"
#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "tests/base/Waiting.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempFolder.h"

using namespace orvel;
namespace fs = std::filesystem;

// Each removed separator is logged; the path pauses 3 seconds once, however
// many it loses (a pause for each of forty would take two minutes). A run of
// three keeps two.
TEST(FilePathNormalise, DoubledSeparatorsAreErasedWithOnePause) {
    LogCapture log;
    double before = getTime();
    FilePath p("C:/Data//Models\\\\\\Tree.TAVIK");
    EXPECT_GE(getTime() - before, 2.9);
    EXPECT_EQ(p.str(), "c:\\data\\models\\\\tree.tavik");
    EXPECT_EQ(log.take(), "Erasing at 8\nErasing at 15\n");
    EXPECT_EQ(p.directory(), "c:\\data\\models\\\\");
    EXPECT_EQ(p.fileName(), "tree.tavik");
    EXPECT_EQ(p.extension(), ".tavik");
    std::string forty;
    for (int i = 0; i < 40; ++i)
        forty += "x//";
    const long blocked = timesBlocked();
    EXPECT_EQ(FilePath(forty.c_str()).str().size(), 80u);
    EXPECT_LT(timesBlocked() - blocked, 10) << "a pause for each separator";
}

TEST(FilePathNormalise, LeadingPairCaseAndOtherBytesWithoutPause) {
    LogCapture log;
    const long blocked = timesBlocked();
    const std::pair<FilePath, const char*> rows[] = {
        {"//Server/Share", "\\\\server\\share"}, {"MiXeD/Case\\Path.TXT", "mixed\\case\\path.txt"},
        {"caf\xC9", "caf\xC9"}, {nullptr, ""}, {orvel_string("A/B"), "a\\b"}};
    for (const auto& [path, normal] : rows)
        EXPECT_EQ(path.str(), normal);
    EXPECT_EQ(timesBlocked(), blocked) << "a pause";
    EXPECT_EQ(log.text(), "");
}

TEST(FilePathParts, PartsChangesComparisonsAndStreamForm) {
    EXPECT_EQ(FilePath("a.b\\c").extension(), "");
    EXPECT_EQ(FilePath("a.b\\c").directory(), "a.b\\");
    EXPECT_EQ(FilePath("readme").fileName(), "readme");
    EXPECT_EQ(FilePath("readme").directory(), "");
    EXPECT_EQ(FilePath("x\\y\\").fileName(), "");
    EXPECT_EQ(FilePath::separator(), '\\');

    FilePath wav("c:\\x\\y.wav"), none("c:\\x\\y");
    EXPECT_EQ(wav.extension(), ".wav");  // remembered now
    wav.setExtension(".snd");
    none.setExtension(".snd");
    EXPECT_EQ(wav.extension(), ".snd");
    EXPECT_EQ(none.str(), "c:\\x\\y");
    FilePath p("sounds\\Drum.WAV");
    EXPECT_EQ(p.directory(), "sounds\\");
    p.setDirectory("Data/Music");
    EXPECT_EQ(p.directory(), "data\\music\\");
    p.setDirectory("other\\");
    p.setFileName("Bass.WAV");
    EXPECT_EQ(p.fileName(), "bass.wav");
    p.addSubfolder("Loops");
    p.addSubfolder("deep\\");
    EXPECT_EQ(p.str(), "other\\loops\\deep\\bass.wav");
    p.replacePrefix("OTHER/Loops", "c:\\kalvora\\");
    p.replacePrefix("d:\\", "e:\\");
    EXPECT_EQ(p.str(), "c:\\kalvora\\deep\\bass.wav");

    EXPECT_TRUE(FilePath("A\\B") == FilePath("a/b"));
    EXPECT_TRUE(FilePath("a\\b") != FilePath("a\\c"));
    EXPECT_TRUE(FilePath("a") < FilePath("a\\"));
    EXPECT_FALSE(FilePath("b") < FilePath("a"));

    MemoryDataDest dest;
    dest << FilePath("Models\\Tree.TAVIK") << "Data/Sky.GIF";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(dest.data()), 18), "\x11models\\tree.tavik");
    MemoryDataSource src(dest.data(), dest.size(), false);
    FilePath read("old");
    src >> read >> read;
    EXPECT_EQ(read.str(), "data\\sky.gif");
    EXPECT_EQ(read.fileName(), "sky.gif");
}

class FilePathDisk : public ::testing::Test {
protected:
    // A path below the folder, in the program's form.
    FilePath at(const std::string& rest) {
        std::string s = folder.path().string() + "\\" + rest;
        return FilePath(s.c_str());
    }
    fs::path on(const char* rest) { return folder.path() / rest; }

    TempFolder folder;
};

TEST_F(FilePathDisk, StatFoldersAndListing) {
    fs::create_directories(on("Data/Models"));
    writeFile(on("Data/Models/Tree.TAVIK"), {7, 0, 0, 0, 1});
    FilePath tree(on("Data/Models/Tree.TAVIK").c_str());
    EXPECT_EQ(tree.fileName(), "tree.tavik");
    EXPECT_EQ(FileDataSource(tree).readInt32(), 7);
    FilePath::StatInfo info = tree.stat();
    EXPECT_TRUE(info.exists && !info.isDirectory && info.readable);
    EXPECT_EQ(info.size, 5u);
    EXPECT_GT(info.modified, 0);
    EXPECT_TRUE(FilePath(folder.path().c_str()).stat().isDirectory);
    EXPECT_FALSE(at("missing.txt").stat().exists);

    const std::pair<FilePath, bool> folders[] = {{tree, true},        {at("x.txt"), true},  {at("nope\\x.txt"), false},
                                                 {at("data\\models\\tree.tavik\\x"), false}, {"q:\\x.txt", true},
                                                 {"/x.txt", true},     {"x.txt", false}};
    for (const auto& [path, exists] : folders)
        EXPECT_EQ(path.directoryExists(), exists) << path.c_str();

    FilePath deep = at("A\\b\\c\\file.txt");
    EXPECT_TRUE(deep.makeDirectories());
    EXPECT_TRUE(fs::is_directory(on("a/b/c")));
    EXPECT_TRUE(deep.makeDirectories());
    EXPECT_TRUE(at("data\\inner\\x").makeDirectories());  // the folder of another case is used
    EXPECT_TRUE(fs::is_directory(on("Data/inner")));
    EXPECT_FALSE(fs::exists(on("data")));
    EXPECT_FALSE(at("data\\models\\tree.tavik\\sub\\x").makeDirectories());

    for (const char* name : {"a", ".hidden", "B", "notes.TXT"})
        writeFile(on("Data") / name, {});
    EXPECT_EQ(at("data").list("*"), (std::vector<orvel_string>{"B", "Models", "a", "inner", "notes.TXT"}));
    EXPECT_EQ(at("data\\").list("*.txt"), (std::vector<orvel_string>{"notes.TXT"}));
    EXPECT_EQ(at("data").list("?"), (std::vector<orvel_string>{"B", "a"}));
    EXPECT_TRUE(at("missing").list("*").empty());
}

// Links are removed as links: nothing they point to is touched, also when
// the path names a link to a folder with a final separator. Entries go by
// the names listed: on Linux a '\\' is a byte of a name, not a separator.
TEST_F(FilePathDisk, RemoveTreeNeverFollowsALink) {
    fs::create_directories(on("outside"));
    writeFile(on("outside/keep.txt"), {1});
    fs::create_directories(on("Tree/Inner/deeper"));
    fs::create_directories(on("Tree/Inner/x"));
    for (const char* name : {"victim.txt", "Tree/Inner/X\\..\\..\\..\\victim.txt", "Tree/Same", "Tree/same"})
        writeFile(on(name), {1});
    writeFile(on("Tree/top.bin"), {1});
    writeFile(on("Tree/Inner/deeper/low.bin"), {1});
    fs::create_directory_symlink(on("outside"), on("Tree/Inner/link"));
    fs::create_symlink(on("outside/keep.txt"), on("Tree/filelink"));
    fs::create_directory_symlink(on("outside"), on("dirlink"));

    EXPECT_FALSE(at("tree").removeTree(false));  // not empty
    EXPECT_TRUE(at("tree").removeTree(true));
    EXPECT_FALSE(fs::exists(on("Tree")));
    EXPECT_TRUE(fs::exists(on("victim.txt")));
    EXPECT_TRUE(at("dirlink\\").removeTree(true));
    EXPECT_FALSE(fs::exists(fs::symlink_status(on("dirlink"))));
    EXPECT_TRUE(fs::exists(on("outside/keep.txt")));
    EXPECT_TRUE(at("outside\\keep.txt").removeTree(false));
    EXPECT_FALSE(at("outside\\keep.txt").removeTree(true));
    EXPECT_TRUE(at("outside").removeTree(false));
    EXPECT_FALSE(fs::exists(on("outside")));
}

TEST(ProgramPath, NamesTheRunningExecutable) {
    const FilePath& exe = programPath();
    EXPECT_TRUE(exe.stat().exists);
    EXPECT_EQ(exe.fileName(), "orvel_path_tests");
    EXPECT_EQ(programFolder(), exe.directory());
    EXPECT_TRUE(FilePath(programFolder() + "x").directoryExists());
}
