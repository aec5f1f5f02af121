// The path mapping between the program's path form and the Linux file
// system, and the file operations that go through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

#include "platform/FileSystem.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

TEST(FileSystem, NamesAreMatchedWithoutCaseWhereTheExactOneIsMissing) {
    TempFolder folder;
    const std::string root = folder.path().string();
    for (const char* dir : {"Data/MODELS", "Mixed/Case", "dup", "Dup", "DUP", "Rel/Sub"})
        fs::create_directories(folder.path() / dir);
    writeFile(root + "/Data/MODELS/Tree.Tavik", {1});
    writeFile(root + "/DUP/only-upper", {1});
    const std::pair<std::string, std::string> rows[] = {
        {root + "/Mixed/Case", root + "/Mixed/Case"},
        {root + "\\Mixed\\Case", root + "/Mixed/Case"},
        {root + "\\data\\models\\tree.tavik", root + "/Data/MODELS/Tree.Tavik"},
        // New leaves and whatever lies below a missing folder keep their text.
        {root + "\\data\\models\\New.bin", root + "/Data/MODELS/New.bin"},
        {root + "\\data\\gone\\Sub\\x", root + "/Data/gone/Sub/x"},
        {root + "\\data\\.\\models\\..\\models", root + "/Data/./MODELS/../MODELS"},
        // An exact name wins; of several others the byte-wise first.
        {root + "/dup", root + "/dup"},
        {root + "/dUp/ONLY-upper", root + "/DUP/only-upper"},
        {"", ""},
    };
    for (const auto& [path, native] : rows)
        EXPECT_EQ(platform::nativePath(path.c_str()), native);
    EXPECT_EQ(platform::nativePath(nullptr), "");
    ASSERT_EQ(chdir(root.c_str()), 0);
    EXPECT_EQ(platform::nativePath("rel\\sub"), "Rel/Sub");
    EXPECT_EQ(platform::nativePath("c:\\x"), "c:/x");  // a drive is an ordinary folder name here
}

TEST(FileSystem, FilesFoldersLinksAndListings) {
    TempFolder folder;
    const std::string root = folder.path().string();
    EXPECT_TRUE(platform::makeDirectory((root + "\\NewDir").c_str()));
    EXPECT_FALSE(platform::makeDirectory((root + "\\newdir").c_str()));  // it exists, in another case
    FILE* f = platform::openFile((root + "\\newdir\\File.txt").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("hi!", f);
    std::fclose(f);
    EXPECT_EQ(platform::openFile((root + "\\nowhere\\x").c_str(), "rb"), nullptr);
    fs::create_directory_symlink(folder.path() / "NewDir", folder.path() / "link");
    platform::FileStatus followed = platform::fileStatus((root + "/LINK").c_str()),
                         own = platform::linkStatus((root + "/link").c_str()),
                         file = platform::fileStatus((root + "\\Link\\file.TXT").c_str());
    EXPECT_TRUE(followed.exists && followed.isDirectory && !followed.isLink);
    EXPECT_TRUE(own.exists && own.isLink && !own.isDirectory);
    EXPECT_TRUE(file.exists && file.readable);
    EXPECT_EQ(file.size, 3u);
    EXPECT_FALSE(platform::fileStatus((root + "/nothing").c_str()).exists);
    EXPECT_TRUE(platform::removeFile((root + "/link").c_str()));
    EXPECT_TRUE(fs::exists(folder.path() / "NewDir" / "File.txt"));
    EXPECT_FALSE(platform::removeDirectory((root + "\\newdir").c_str()));  // not empty
    EXPECT_TRUE(platform::removeFile((root + "\\newdir\\file.txt").c_str()));
    EXPECT_TRUE(platform::removeDirectory((root + "\\newdir").c_str()));

    for (const char* name : {"a.TXT", "b.txt", "c.bin", "noext", ".dot"})
        writeFile(root + "/" + name, {});
    const std::pair<const char*, std::vector<std::string>> patterns[] = {
        {"*", {".dot", "a.TXT", "b.txt", "c.bin", "noext"}},
        {"*.*", {".dot", "a.TXT", "b.txt", "c.bin", "noext"}},
        {"*.txt", {"a.TXT", "b.txt"}},
        {"?.*t", {"a.TXT", "b.txt"}},
        {"*x*", {"a.TXT", "b.txt", "noext"}},
        {"[a]*", {}},  // brackets are plain characters
    };
    for (const auto& [pattern, names] : patterns) {
        std::vector<std::string> listed = platform::listDirectory(root.c_str(), pattern);
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, names) << pattern;
    }
    EXPECT_TRUE(platform::listDirectory((root + "/missing").c_str(), "*").empty());
}
