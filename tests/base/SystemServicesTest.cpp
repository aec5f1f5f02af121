#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>

#include "tests/support/LogCapture.h"
#include "tests/base/Waiting.h"
#include "tests/support/TempFolder.h"
#include "base/Buffer.h"
#include "base/Heap.h"
#include "base/HexDump.h"
#include "base/Library.h"
#include "base/StringCompare.h"
#include "base/SystemInfo.h"
#include "platform/DynamicLibrary.h"
#include "platform/Shell.h"
#include "platform/System.h"

using namespace orvel;

namespace {

using Clock = std::chrono::steady_clock;

std::string hexDumpText(const std::vector<unsigned char>& bytes, int size) {
    LogCapture log;
    hexDump(bytes.data(), size);
    return log.text();
}

// Calls a symbol of the library as a function returning int; -1 when absent.
int call(Library& lib, const char* name) {
    auto f = reinterpret_cast<int (*)()>(lib.symbol(name));
    return f ? f() : -1;
}

std::string fileText(const std::string& name) {
    std::ifstream in(name);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

}  // namespace

TEST(Buffer, ShrinkingALittleKeepsTheBlock) {
    Buffer b(100);
    ASSERT_EQ(b.size(), 100u);
    for (unsigned i = 0; i < 100; ++i)
        b.data()[i] = (unsigned char)i;
    unsigned char* block = b.data();
    b.resize(60, true);
    EXPECT_EQ(b.data(), block);
    EXPECT_EQ(b.size(), 60u);
    EXPECT_EQ(b.capacity(), 100u);
    b.resize(50, false);
    EXPECT_EQ(b.data(), block);
    b.resize(40, true);
    EXPECT_NE(b.data(), block);
    EXPECT_EQ(b.size(), 40u);
    EXPECT_EQ(b.capacity(), 40u);
    for (unsigned i = 0; i < 40; ++i)
        ASSERT_EQ(b.data()[i], i);
}

TEST(Buffer, GrowingTakesANewBlockKeepingTheBytesWhenAsked) {
    Buffer b(4);
    std::memcpy(b.data(), "abcd", 4);
    b.resize(8, true);
    EXPECT_EQ(b.size(), 8u);
    EXPECT_EQ(b.capacity(), 8u);
    EXPECT_EQ(0, std::memcmp(b.data(), "abcd", 4));
    b.resize(16, false);
    EXPECT_EQ(b.size(), 16u);
    b.resize(0, true);
    EXPECT_EQ(b.data(), nullptr);
    EXPECT_EQ(b.size(), 0u);
    EXPECT_EQ(b.capacity(), 0u);
    b.clear();
    Buffer empty;
    EXPECT_EQ(empty.data(), nullptr);
    EXPECT_EQ(empty.size(), 0u);
}

TEST(Buffer, SetSizeStaysWithinTheBlock) {
    Buffer b(1024);
    unsigned char* block = b.data();
    b.setSize(3);
    EXPECT_EQ(b.size(), 3u);
    b.setSize(1024);
    EXPECT_EQ(b.size(), 1024u);
    b.setSize(5000);
    EXPECT_EQ(b.size(), 1024u);
    EXPECT_EQ(b.data(), block);
}

TEST(HexDump, LinesOfSixteenBytesPaddedToTheCharacterColumn) {
    EXPECT_EQ(hexDumpText({0x41, 0x00, 0xFF}, 3), "0000000  41 00 FF " + std::string(39, ' ') + "A..\n");
    std::vector<unsigned char> bytes = {'%', 'd', '%', 's', 0x7F, 0x80, 0x1F, ' ', '~'};
    EXPECT_EQ(hexDumpText(bytes, int(bytes.size())),
              "0000000  25 64 25 73 7F 80 1F 20 7E " + std::string(21, ' ') + "%d%s... ~\n");

    bytes.clear();
    for (unsigned char c = 0x30; c <= 0x40; ++c)
        bytes.push_back(c);
    EXPECT_EQ(hexDumpText(bytes, 17),
              "0000000  30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F 0123456789:;<=>?\n"
              "0000010  40 " + std::string(45, ' ') + "@\n");

    std::string text = hexDumpText(std::vector<unsigned char>(48, 'a'), 48);
    ASSERT_EQ(text.size(), 3 * 74u);
    EXPECT_EQ(text.substr(74, 9), "0000010  ");
    EXPECT_EQ(text.substr(148, 9), "0000020  ");

    EXPECT_EQ(hexDumpText({1, 2}, 0), "");
    EXPECT_EQ(hexDumpText({1, 2}, -4), "");
}

TEST(Library, PlainNameFallsBackToTheTextVariant) {
    Library lib(TEST_LIBRARY_PATH);
    ASSERT_TRUE(lib.isLoaded());
    EXPECT_EQ(call(lib, "greet"), 1);
    EXPECT_EQ(call(lib, "twice"), 2);
    EXPECT_EQ(call(lib, "twiceA"), 3);
    EXPECT_EQ(lib.symbol("absent"), nullptr);
    EXPECT_EQ(lib.symbol(nullptr), nullptr);
}

TEST(Library, MissingLibraryFindsNothing) {
    Library missing("libkalvora-no-such-library.so");
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_EQ(missing.symbol("greet"), nullptr);
    Library none(nullptr);
    EXPECT_FALSE(none.isLoaded());
    EXPECT_EQ(none.symbol("greet"), nullptr);
}

TEST(Library, WindowsNamesResolveToStandInsOrNothing) {
    Library shell("shell32.dll");
    ASSERT_TRUE(shell.isLoaded());
    void* execute = shell.symbol("ShellExecuteEx");
    EXPECT_NE(execute, nullptr);
    EXPECT_EQ(execute, shell.symbol("ShellExecuteExA"));
    EXPECT_EQ(execute, reinterpret_cast<void*>(&platform::shellExecute));
    EXPECT_EQ(shell.symbol("ShellExecute"), nullptr);
    EXPECT_EQ(Library("SHELL32.DLL").symbol("ShellExecuteEx"), execute);
    EXPECT_EQ(Library("Shell32").symbol("ShellExecuteEx"), execute);
    EXPECT_FALSE(Library("uxtheme.dll").isLoaded());
    EXPECT_EQ(Library("uxtheme.dll").symbol("OpenThemeData"), nullptr);
}

TEST(Library, OtherPartsAddTheirStandIns) {
    static int answer = 0;
    int (*monitorInfo)() = [] { return ++answer; };
    platform::addBuiltinSymbol("User32.dll", "GetMonitorInfoA", reinterpret_cast<void*>(monitorInfo));
    Library user("user32.dll");
    ASSERT_TRUE(user.isLoaded());
    EXPECT_EQ(call(user, "GetMonitorInfo"), 1);
}

class Shell : public ::testing::Test {
protected:
    void SetUp() override {
        // The opener sleeps first, so a caller that waited for it would be late.
        std::ofstream script(opener);
        script << "#!/bin/sh\nsleep 1\nprintf '%s|%s' \"$#\" \"$1\" > \"" << opened << ".part\"\nmv \"" << opened
               << ".part\" \"" << opened << "\"\n";
        script.close();
        chmod(opener.c_str(), 0755);
        setenv("ORVEL_SHELL_OPENER", opener.c_str(), 1);
    }
    void TearDown() override { unsetenv("ORVEL_SHELL_OPENER"); }

    int execute(const char* verb, const char* file) {
        Library shell("shell32.dll");
        auto run = reinterpret_cast<platform::ShellExecuteFunction>(shell.symbol("ShellExecuteEx"));
        platform::ShellExecuteRecord record{};
        record.size = 60;
        record.mask = 0x140;
        record.verb = verb;
        record.file = file;
        return run(&record);
    }

    TempFolder folder;
    std::string opener = folder / "opener";
    std::string opened = folder / "opened";
};

TEST_F(Shell, OpensTheTargetWithoutWaiting) {
    const char* target = "https://example.invalid/page?a=1&b=two words";
    Clock::time_point start = Clock::now();
    EXPECT_EQ(execute(nullptr, target), 1);
    EXPECT_LT(secondsSince(start), 0.8);
    EXPECT_FALSE(std::filesystem::exists(opened));
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(opened); }, 10));
    EXPECT_EQ(fileText(opened), std::string("1|") + target);
}

TEST_F(Shell, OpenVerbIsTheDefault) {
    EXPECT_EQ(execute("open", "/tmp/readme.txt"), 1);
    EXPECT_EQ(execute("", "/tmp/readme.txt"), 1);
}

TEST_F(Shell, RefusesWhatItCannotDo) {
    EXPECT_EQ(execute("print", "/tmp/readme.txt"), 0);
    EXPECT_EQ(execute(nullptr, ""), 0);
    EXPECT_EQ(execute(nullptr, nullptr), 0);
    EXPECT_EQ(platform::shellExecute(nullptr), 0);
    setenv("ORVEL_SHELL_OPENER", (folder / "missing-opener").c_str(), 1);
    EXPECT_EQ(execute(nullptr, "/tmp/readme.txt"), 0);
    setenv("ORVEL_SHELL_OPENER", "kalvora-no-such-program", 1);
    EXPECT_EQ(execute(nullptr, "/tmp/readme.txt"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_FALSE(std::filesystem::exists(opened));
}

TEST(SystemFacts, AreTrueForThisMachine) {
    EXPECT_STREQ(osFamilyName(), "Linux");
    EXPECT_EQ(osVersion(), osOther);
    std::string release = fileText("/proc/sys/kernel/osrelease");
    while (!release.empty() && release.back() == '\n')
        release.pop_back();
    EXPECT_EQ(std::string(osVersionName()), release);

    std::ifstream cpus("/proc/cpuinfo");
    int listed = 0;
    for (std::string line; std::getline(cpus, line);)
        listed += line.rfind("processor", 0) == 0;
    EXPECT_EQ(processorCount(), listed);

    std::ifstream meminfo("/proc/meminfo");
    unsigned long long totalKb = 0;
    for (std::string word; meminfo >> word;)
        if (word == "MemTotal:")
            meminfo >> totalKb;
    ASSERT_GT(totalKb, 0u);
    double reported = double(platform::physicalMemoryBytes());
    EXPECT_NEAR(reported / (totalKb * 1024.0), 1.0, 0.05);
    unsigned long long expected = std::min<unsigned long long>(platform::physicalMemoryBytes(), 0xFFFFFFFFull);
    EXPECT_EQ(physicalMemory(), expected);
}

TEST(Heap, BlocksGrowKeepingTheirBytes) {
    Heap heap;
    unsigned char* p = static_cast<unsigned char*>(heap.allocate(nullptr, 100));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 100; ++i)
        p[i] = (unsigned char)i;
    p = static_cast<unsigned char*>(heap.allocate(p, 100000));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(p[i], i);
    p = static_cast<unsigned char*>(heap.allocate(p, 10));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[9], 9);
    void* empty = heap.allocate(nullptr, 0);
    EXPECT_NE(empty, nullptr);
    empty = heap.allocate(empty, 0);
    EXPECT_NE(empty, nullptr);
    heap.free(empty);
    heap.free(p);
    heap.free(nullptr);
}

TEST(StringCompare, OrdersLikeTheCLibrary) {
    EXPECT_LT(compareCString("a", "ab"), 0);
    EXPECT_EQ(compareCString("ab", "ab"), 0);
    EXPECT_GT(compareCString("\xE9", "z"), 0);
    EXPECT_TRUE(lessCString("abc", "abd"));
    EXPECT_FALSE(lessCString("abd", "abc"));
    EXPECT_FALSE(lessCString("same", "same"));
    orvel_string a("apple"), b("banana");
    EXPECT_LT(compareStrings(&a, &b), 0);
    EXPECT_GT(compareStrings(&b, &a), 0);
    EXPECT_EQ(compareStrings(&a, &a), 0);
}
