// Buffers, the heap, hex dumps, libraries loaded by name, the shell's
// opener, and the facts of this machine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>

#include "base/Buffer.h"
#include "base/Heap.h"
#include "base/HexDump.h"
#include "base/Library.h"
#include "base/StringCompare.h"
#include "base/SystemInfo.h"
#include "platform/DynamicLibrary.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "tests/base/Waiting.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempFolder.h"

using namespace orvel;

namespace {

std::string fileText(const std::string& name) {
    std::ifstream in(name);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// Calls a symbol of the library as a function returning int; -1 when absent.
int call(Library& lib, const char* name) {
    auto f = reinterpret_cast<int (*)()>(lib.symbol(name));
    return f ? f() : -1;
}

}  // namespace

// Shrinking to half or more keeps the block; growing, or shrinking
// further, takes a new one holding the bytes when asked.
TEST(Buffer, KeepsItsBlockUnlessTheSizeChangesMuch) {
    Buffer b(100);
    for (unsigned i = 0; i < 100; ++i)
        b.data()[i] = (unsigned char)i;
    unsigned char* block = b.data();
    b.resize(50, false);
    EXPECT_EQ(b.data(), block);
    b.setSize(5000);
    EXPECT_EQ(b.size(), 100u);
    b.resize(40, true);
    EXPECT_NE(b.data(), block);
    b.resize(80, true);
    EXPECT_EQ(b.capacity(), 80u);
    for (unsigned i = 0; i < 40; ++i)
        ASSERT_EQ(b.data()[i], i);
    b.resize(0, true);
    EXPECT_EQ(b.data(), nullptr);
    EXPECT_EQ(b.capacity(), 0u);
    b.clear();

    Heap heap;
    auto* p = static_cast<unsigned char*>(heap.allocate(nullptr, 100));
    for (int i = 0; i < 100; ++i)
        p[i] = (unsigned char)i;
    p = static_cast<unsigned char*>(heap.allocate(p, 100000));
    EXPECT_EQ(p[99], 99);
    void* empty = heap.allocate(nullptr, 0);
    EXPECT_NE(empty, nullptr);
    heap.free(empty);
    heap.free(p);
    heap.free(nullptr);
}

// Lines of sixteen bytes, padded to the character column; a '%' among the
// bytes is text; a size of 0 or less logs nothing.
TEST(HexDump, LinesOfSixteenBytes) {
    std::vector<unsigned char> bytes = {'%', 'd', '%', 's', 0x7F, 0x80, 0x1F, ' ', '~'};
    for (unsigned char c = 0x30; c <= 0x40; ++c)
        bytes.push_back(c);
    LogCapture log;
    hexDump(bytes.data(), int(bytes.size()));
    hexDump(bytes.data(), 0);
    hexDump(bytes.data(), -4);
    EXPECT_EQ(log.text(), "0000000  25 64 25 73 7F 80 1F 20 7E 30 31 32 33 34 35 36 %d%s... ~0123456\n"
                          "0000010  37 38 39 3A 3B 3C 3D 3E 3F 40 " + std::string(18, ' ') + "789:;<=>?@\n");
}

TEST(Library, NamesFallBackToTheTextVariantOrToStandIns) {
    Library lib(TEST_LIBRARY_PATH);
    ASSERT_TRUE(lib.isLoaded());
    EXPECT_EQ(call(lib, "greet"), 1);  // only greetA exists
    EXPECT_EQ(call(lib, "twice"), 2);
    EXPECT_EQ(call(lib, "twiceA"), 3);
    EXPECT_EQ(lib.symbol("absent"), nullptr);
    EXPECT_EQ(lib.symbol(nullptr), nullptr);
    for (const char* missing : {"libkalvora-no-such-library.so", static_cast<const char*>(nullptr), "uxtheme.dll"}) {
        Library none(missing);
        EXPECT_FALSE(none.isLoaded());
        EXPECT_EQ(none.symbol("greet"), nullptr);
    }
    // Windows names map to built-in stand-ins, whatever their spelling.
    void* execute = Library("shell32.dll").symbol("ShellExecuteEx");
    EXPECT_EQ(execute, reinterpret_cast<void*>(&platform::shellExecute));
    EXPECT_EQ(Library("SHELL32.DLL").symbol("ShellExecuteExA"), execute);
    EXPECT_EQ(Library("Shell32").symbol("ShellExecute"), nullptr);
    static int answer = 0;
    int (*monitorInfo)() = [] { return ++answer; };
    platform::addBuiltinSymbol("User32.dll", "GetMonitorInfoA", reinterpret_cast<void*>(monitorInfo));
    Library user("user32.dll");
    EXPECT_EQ(call(user, "GetMonitorInfo"), 1);
}

// The opener runs detached: it waits for the test's go-ahead (a minute at
// most) before it records its target, so a caller that waited for it would
// find the record made.
TEST(Shell, OpensTheTargetWithoutWaitingAndRefusesWhatItCannotDo) {
    TempFolder folder;
    const std::string opener = folder / "opener", opened = folder / "opened", go = folder / "go";
    std::ofstream(opener) << "#!/bin/sh\nfor i in $(seq 600); do [ -e \"" << go << "\" ] && break; sleep 0.1; done\n"
                          << "printf '%s|%s' \"$#\" \"$1\" > \"" << opened << ".part\"\nmv \"" << opened << ".part\" \""
                          << opened << "\"\n";
    std::ofstream(go).put('\n');
    chmod(opener.c_str(), 0755);
    auto execute = [](const char* verb, const char* file) {
        auto run = reinterpret_cast<platform::ShellExecuteFunction>(Library("shell32.dll").symbol("ShellExecuteEx"));
        platform::ShellExecuteRecord record{};
        record.size = 60;
        record.mask = 0x140;
        record.verb = verb;
        record.file = file;
        return run(&record);
    };
    for (const std::string& missing : {folder / "missing-opener", std::string("kalvora-no-such-program")}) {
        setenv("ORVEL_SHELL_OPENER", missing.c_str(), 1);  // by path, or by name along PATH
        EXPECT_EQ(execute(nullptr, "/tmp/readme.txt"), 0);
    }
    setenv("ORVEL_SHELL_OPENER", opener.c_str(), 1);
    for (const char* verb : {"print", static_cast<const char*>(nullptr)})
        EXPECT_EQ(execute(verb, ""), 0);
    EXPECT_EQ(execute("print", "/tmp/printed.txt"), 0);
    EXPECT_EQ(execute(nullptr, nullptr), 0);
    EXPECT_EQ(platform::shellExecute(nullptr), 0);
    EXPECT_EQ(execute("open", "/tmp/readme.txt"), 1);
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(opened); }, 30));
    EXPECT_EQ(fileText(opened), "1|/tmp/readme.txt");  // the refused never ran
    std::filesystem::remove(opened);
    const char* target = "https://example.invalid/page?a=1&b=two words";
    std::filesystem::remove(go);
    EXPECT_EQ(execute("", target), 1);
    EXPECT_FALSE(std::filesystem::exists(opened)) << "the caller waited for the opener";
    std::ofstream(go).put('\n');
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(opened); }, 30));
    EXPECT_EQ(fileText(opened), std::string("1|") + target);
    unsetenv("ORVEL_SHELL_OPENER");
}

TEST(SystemFacts, AreTrueForThisMachine) {
    EXPECT_STREQ(osFamilyName(), "Linux");
    EXPECT_EQ(osVersion(), osOther);
    EXPECT_EQ(std::string(osVersionName()) + "\n", fileText("/proc/sys/kernel/osrelease"));
    std::ifstream cpus("/proc/cpuinfo");
    int listed = 0;
    for (std::string line; std::getline(cpus, line);)
        listed += line.rfind("processor", 0) == 0;
    EXPECT_EQ(processorCount(), listed);
    std::ifstream meminfo("/proc/meminfo");
    std::string word;
    unsigned long long totalKb = 0;
    meminfo >> word >> totalKb;
    EXPECT_NEAR(double(platform::physicalMemoryBytes()) / (totalKb * 1024.0), 1.0, 0.05);
    EXPECT_EQ(physicalMemory(), std::min<unsigned long long>(platform::physicalMemoryBytes(), 0xFFFFFFFFull));

    EXPECT_LT(compareCString("a", "ab"), 0);
    EXPECT_GT(compareCString("\xE9", "z"), 0);
    EXPECT_TRUE(lessCString("abc", "abd"));
    EXPECT_FALSE(lessCString("same", "same"));
    orvel_string a("apple"), b("banana");
    EXPECT_LT(compareStrings(&a, &b), 0);
    EXPECT_EQ(compareStrings(&a, &a), 0);
}
