// The path mapping between the program's path form and the Linux file
// system, and the file operations that go through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

#include "tests/support/TempFolder.h"
#include "platform/FileSystem.h"

namespace fs = std::filesystem;
using platform::nativePath;

namespace {

std::string lowered(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return c == '/' ? '\\' : char(std::tolower(c)); });
    return s;
}

}  // namespace

class FileSystem : public ::testing::Test {
protected:
    TempFolder folder;
    std::string root() const { return folder.path().string(); }
};

TEST_F(FileSystem, ExistingPathsStayAsGiven) {
    fs::create_directories(folder.path() / "Mixed" / "Case");
    std::string exact = root() + "/Mixed/Case";
    EXPECT_EQ(nativePath(exact.c_str()), exact);
    EXPECT_EQ(nativePath((root() + "\\Mixed\\Case").c_str()), exact);
    EXPECT_EQ(nativePath(""), "");
    EXPECT_EQ(nativePath(nullptr), "");
}

TEST_F(FileSystem, MissingComponentsAreMatchedWithoutCase) {
    fs::create_directories(folder.path() / "Data" / "MODELS");
    writeFile(root() + "/Data/MODELS/Tree.Tavik", {1});
    EXPECT_EQ(nativePath(lowered(root() + "/data/models/tree.tavik").c_str()), root() + "/Data/MODELS/Tree.Tavik");
    // New leaves and whatever lies below a missing folder keep their text.
    EXPECT_EQ(nativePath((root() + "\\data\\models\\New.bin").c_str()), root() + "/Data/MODELS/New.bin");
    EXPECT_EQ(nativePath((root() + "\\data\\gone\\Sub\\x").c_str()), root() + "/Data/gone/Sub/x");
    EXPECT_EQ(nativePath((root() + "\\data\\.\\models\\..\\models").c_str()), root() + "/Data/./MODELS/../MODELS");
}

TEST_F(FileSystem, AnExactNameWinsAndAmbiguityIsStable) {
    fs::create_directories(folder.path() / "data");
    fs::create_directories(folder.path() / "Data");
    fs::create_directories(folder.path() / "DATA");
    writeFile(root() + "/DATA/only-upper", {1});
    EXPECT_EQ(nativePath((root() + "/data").c_str()), root() + "/data");
    EXPECT_EQ(nativePath((root() + "/dAtA").c_str()), root() + "/DATA");  // the byte-wise first
    EXPECT_EQ(nativePath((root() + "/dAtA/ONLY-upper").c_str()), root() + "/DATA/only-upper");
}

TEST_F(FileSystem, RelativePathsResolveFromTheCurrentFolder) {
    fs::create_directories(folder.path() / "Rel" / "Sub");
    ASSERT_EQ(chdir(root().c_str()), 0);
    EXPECT_EQ(nativePath("rel\\sub"), "Rel/Sub");
    EXPECT_EQ(nativePath("c:\\x"), "c:/x");  // a drive is an ordinary folder name here
}

TEST_F(FileSystem, StatusFollowsLinksUnlessAskedNotTo) {
    fs::create_directories(folder.path() / "target");
    writeFile(root() + "/target/f", {1, 2, 3});
    fs::create_directory_symlink(folder.path() / "target", folder.path() / "link");
    platform::FileStatus followed = platform::fileStatus((root() + "/LINK").c_str());
    EXPECT_TRUE(followed.exists);
    EXPECT_TRUE(followed.isDirectory);
    EXPECT_FALSE(followed.isLink);
    platform::FileStatus own = platform::linkStatus((root() + "/link").c_str());
    EXPECT_TRUE(own.exists);
    EXPECT_TRUE(own.isLink);
    EXPECT_FALSE(own.isDirectory);
    platform::FileStatus file = platform::fileStatus((root() + "\\Target\\F").c_str());
    EXPECT_EQ(file.size, 3u);
    EXPECT_TRUE(file.readable);
    EXPECT_FALSE(platform::fileStatus((root() + "/nothing").c_str()).exists);

    EXPECT_TRUE(platform::removeFile((root() + "/link").c_str()));
    EXPECT_FALSE(fs::exists(folder.path() / "link"));
    EXPECT_TRUE(fs::exists(folder.path() / "target" / "f"));
}

TEST_F(FileSystem, FilesAndFoldersAreMadeAndRemoved) {
    EXPECT_TRUE(platform::makeDirectory((root() + "\\NewDir").c_str()));
    EXPECT_TRUE(fs::is_directory(folder.path() / "NewDir"));
    EXPECT_FALSE(platform::makeDirectory((root() + "\\newdir").c_str()));  // it exists, in another case
    FILE* f = platform::openFile((root() + "\\newdir\\File.txt").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("hi", f);
    std::fclose(f);
    EXPECT_EQ(readFile(root() + "/NewDir/File.txt").size(), 2u);
    EXPECT_EQ(platform::openFile((root() + "\\nowhere\\x").c_str(), "rb"), nullptr);
    EXPECT_FALSE(platform::removeDirectory((root() + "\\newdir").c_str()));  // not empty
    EXPECT_TRUE(platform::removeFile((root() + "\\newdir\\file.txt").c_str()));
    EXPECT_TRUE(platform::removeDirectory((root() + "\\newdir").c_str()));
    EXPECT_FALSE(fs::exists(folder.path() / "NewDir"));
}

TEST_F(FileSystem, ListingMatchesPatternsWithoutCase) {
    for (const char* name : {"a.TXT", "b.txt", "c.bin", "noext", ".dot"})
        writeFile(root() + "/" + name, {});
    auto list = [&](const char* pattern) {
        std::vector<std::string> names = platform::listDirectory(root().c_str(), pattern);
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_EQ(list("*"), (std::vector<std::string>{".dot", "a.TXT", "b.txt", "c.bin", "noext"}));
    EXPECT_EQ(list("*.*"), list("*"));
    EXPECT_EQ(list("*.txt"), (std::vector<std::string>{"a.TXT", "b.txt"}));
    EXPECT_EQ(list("?.*t"), (std::vector<std::string>{"a.TXT", "b.txt"}));
    EXPECT_EQ(list("*x*"), (std::vector<std::string>{"a.TXT", "b.txt", "noext"}));
    EXPECT_EQ(list("[a]*"), std::vector<std::string>());  // brackets are plain characters
    EXPECT_TRUE(platform::listDirectory((root() + "/missing").c_str(), "*").empty());
}
