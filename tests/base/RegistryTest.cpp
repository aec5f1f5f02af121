#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <random>
#include <sqlite3.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/TempFolder.h"
#include "base/RegistryKey.h"
#include "platform/Registry.h"

using namespace orvel;

namespace {

const char* const product = "Tessaran Interactive Ltd\\Kalvora";

class Registry : public ::testing::Test {
protected:
    void SetUp() override { setenv("ORVEL_REGISTRY_FILE", file.c_str(), 1); }
    void TearDown() override { unsetenv("ORVEL_REGISTRY_FILE"); }

    // The type and bytes of a stored value, read with SQL of its own.
    bool stored(const char* name, int& type, std::vector<unsigned char>& bytes) {
        sqlite3* db = nullptr;
        bool found = false;
        if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(db, "SELECT type, data FROM vals WHERE name = ?1", -1, &s, nullptr);
            sqlite3_bind_text(s, 1, name, -1, SQLITE_TRANSIENT);
            if (s && sqlite3_step(s) == SQLITE_ROW) {
                found = true;
                type = sqlite3_column_int(s, 0);
                const unsigned char* data = static_cast<const unsigned char*>(sqlite3_column_blob(s, 1));
                bytes.assign(data, data + sqlite3_column_bytes(s, 1));
            }
            sqlite3_finalize(s);
        }
        sqlite3_close(db);
        return found;
    }

    // Stores a value of any type, as no setter of RegistryKey would.
    void plant(const char* name, unsigned type, const std::vector<unsigned char>& bytes) {
        auto key = platform::RegistryHandle::open(0, (std::string("Software\\") + product).c_str(), true);
        ASSERT_TRUE(key);
        ASSERT_TRUE(key->setValue(name, type, bytes.data(), bytes.size()));
    }

    TempFolder folder;
    std::string file = folder / "registry.sqlite";
};

std::vector<unsigned char> bytesOf(MemoryDataSource& source) {
    std::vector<unsigned char> bytes(source.size());
    source.seek(0);
    source.read(bytes.data(), source.size());
    return bytes;
}

// A value of one writer generation: its number and generation up front,
// then bytes that depend on both, so a torn value cannot pass for either.
std::vector<unsigned char> generationValue(int index, int generation) {
    std::vector<unsigned char> v(6000 + index % 50 * 200);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = (unsigned char)(index * 7 + generation * 13 + i * 3);
    v[0] = (unsigned char)index;
    v[1] = (unsigned char)generation;
    return v;
}

bool childSucceeded(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST_F(Registry, ReadingAMissingKeyLeavesItClosedAndCreatesNothing) {
    RegistryKey key(product, false, 0);
    EXPECT_FALSE(key.isOpen());
    int n = 5;
    EXPECT_FALSE(key.getInt("Screen Hz", n));
    EXPECT_EQ(n, 5);
    EXPECT_FALSE(key.setInt("Screen Hz", 1));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(Registry, DwordIsStoredLowByteFirst) {
    RegistryKey key(product, true, 0);
    ASSERT_TRUE(key.isOpen());
    ASSERT_TRUE(key.setDword("v", 0x01020304));
    int type = 0;
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(stored("v", type, bytes));
    EXPECT_EQ(type, regDword);
    EXPECT_EQ(bytes, (std::vector<unsigned char>{0x04, 0x03, 0x02, 0x01}));
    int n = 0;
    EXPECT_TRUE(key.getInt("v", n));
    EXPECT_EQ(n, 0x01020304);
    ASSERT_TRUE(key.setInt("negative", -2));
    EXPECT_TRUE(key.getInt("negative", n));
    EXPECT_EQ(n, -2);
}

TEST_F(Registry, BigEndianDwordReadsReversed) {
    plant("b", regDwordBigEndian, {0x01, 0x02, 0x03, 0x04});
    RegistryKey key(product, false, 0);
    int n = 0;
    EXPECT_TRUE(key.getInt("b", n));
    EXPECT_EQ(n, 0x01020304);
    bool flag = false;
    EXPECT_TRUE(key.getBool("b", flag));
    EXPECT_TRUE(flag);
}

TEST_F(Registry, BoolIsADwordOfZeroOrOne) {
    RegistryKey key(product, true, 0);
    ASSERT_TRUE(key.setBool("Enable fog", true));
    int type = 0;
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(stored("Enable fog", type, bytes));
    EXPECT_EQ(type, regDword);
    EXPECT_EQ(bytes, (std::vector<unsigned char>{1, 0, 0, 0}));
    bool flag = false;
    EXPECT_TRUE(key.getBool("Enable fog", flag));
    EXPECT_TRUE(flag);
    ASSERT_TRUE(key.setBool("Enable fog", false));
    EXPECT_TRUE(key.getBool("Enable fog", flag));
    EXPECT_FALSE(flag);
    ASSERT_TRUE(key.setDword("seven", 7));
    EXPECT_TRUE(key.getBool("seven", flag));
    EXPECT_TRUE(flag);
}

TEST_F(Registry, StringIsStoredWithItsTerminator) {
    RegistryKey key(product, true, 0);
    ASSERT_TRUE(key.setString("s", "ab"));
    int type = 0;
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(stored("s", type, bytes));
    EXPECT_EQ(type, regString);
    EXPECT_EQ(bytes, (std::vector<unsigned char>{0x61, 0x62, 0x00}));
    orvel_string text;
    EXPECT_TRUE(key.getString("s", text));
    EXPECT_STREQ(text.c_str(), "ab");

    ASSERT_TRUE(key.setString("User name", orvel_string("Ada")));
    EXPECT_TRUE(key.getString("User name", text));
    EXPECT_STREQ(text.c_str(), "Ada");
    ASSERT_TRUE(key.setString("empty", static_cast<const char*>(nullptr)));
    EXPECT_TRUE(key.getString("empty", text));
    EXPECT_TRUE(text.empty());
}

TEST_F(Registry, ReadersRefuseOtherTypesAndKeepTheirTargets) {
    RegistryKey key(product, true, 0);
    ASSERT_TRUE(key.setDword("d", 3));
    ASSERT_TRUE(key.setString("s", "x"));
    orvel_string text("unchanged");
    EXPECT_FALSE(key.getString("d", text));
    EXPECT_STREQ(text.c_str(), "unchanged");
    int n = 9;
    EXPECT_FALSE(key.getInt("s", n));
    EXPECT_EQ(n, 9);
    bool flag = true;
    EXPECT_FALSE(key.getBool("s", flag));
    EXPECT_TRUE(flag);
    MemoryDataSource source;
    EXPECT_FALSE(key.getBinary("d", source));
    EXPECT_FALSE(source.good());
    EXPECT_FALSE(key.getInt("missing", n));
    EXPECT_EQ(n, 9);
    plant("short dword", regDword, {1, 2});
    EXPECT_FALSE(key.getInt("short dword", n));
    EXPECT_EQ(n, 9);
}

TEST_F(Registry, BinaryValuesAreReadWholeAndExact) {
    RegistryKey key(product, true, 0);
    std::mt19937 random(7);
    MemoryDataDest big;
    for (int i = 0; i < 5000; ++i)
        big.writeByte(char(random()));
    ASSERT_TRUE(key.setBinary("big", big));
    MemoryDataDest small;
    small.write("\x01\x02\x03", 3);
    ASSERT_TRUE(key.setBinary("small", small));
    ASSERT_TRUE(key.setBinary("none", MemoryDataDest()));

    MemoryDataSource in;
    ASSERT_TRUE(key.getBinary("big", in));
    EXPECT_TRUE(in.good());
    EXPECT_EQ(bytesOf(in), std::vector<unsigned char>(big.data(), big.data() + big.size()));
    // After a larger value the shared buffer is larger than this one.
    ASSERT_TRUE(key.getBinary("small", in));
    EXPECT_EQ(bytesOf(in), (std::vector<unsigned char>{1, 2, 3}));
    ASSERT_TRUE(key.getBinary("none", in));
    EXPECT_TRUE(in.good());
    EXPECT_EQ(in.size(), 0u);
}

TEST_F(Registry, StringWithoutTerminatorEndsAtItsSize) {
    RegistryKey key(product, true, 0);
    MemoryDataDest big;
    for (int i = 0; i < 3000; ++i)
        big.writeByte('z');
    ASSERT_TRUE(key.setBinary("big", big));
    MemoryDataSource in;
    ASSERT_TRUE(key.getBinary("big", in));
    plant("bare", regString, {'a', 'b', 'c'});
    plant("inner zero", regString, {'a', 'b', 0, 'c', 'd', 0});
    plant("blank", regString, {});
    orvel_string text;
    EXPECT_TRUE(key.getString("bare", text));
    EXPECT_STREQ(text.c_str(), "abc");
    EXPECT_EQ(text.length(), 3u);
    EXPECT_TRUE(key.getString("inner zero", text));
    EXPECT_STREQ(text.c_str(), "ab");
    EXPECT_TRUE(key.getString("blank", text));
    EXPECT_TRUE(text.empty());
}

TEST_F(Registry, KeyOpenedForReadingRefusesWrites) {
    {
        RegistryKey writer(product, true, 0);
        ASSERT_TRUE(writer.setInt("kept", 1));
    }
    RegistryKey reader(product, false, 0);
    ASSERT_TRUE(reader.isOpen());
    EXPECT_FALSE(reader.setInt("kept", 2));
    EXPECT_FALSE(reader.setDword("new", 2));
    EXPECT_FALSE(reader.setBool("new", true));
    EXPECT_FALSE(reader.setString("new", "x"));
    EXPECT_FALSE(reader.setString("new", orvel_string("x")));
    EXPECT_FALSE(reader.setBinary("new", MemoryDataDest()));
    int n = 0;
    EXPECT_TRUE(reader.getInt("kept", n));
    EXPECT_EQ(n, 1);
    int type = 0;
    std::vector<unsigned char> bytes;
    EXPECT_FALSE(stored("new", type, bytes));
}

TEST_F(Registry, KeyAndValueNamesIgnoreCase) {
    {
        RegistryKey writer(product, true, 0);
        ASSERT_TRUE(writer.setBool("Use display lists", true));
        ASSERT_TRUE(writer.setInt("SCREEN HZ", 2));
        ASSERT_TRUE(writer.setInt("screen hz", 3));
    }
    RegistryKey reader("TESSARAN INTERACTIVE LTD\\kalvora", false, 0);
    ASSERT_TRUE(reader.isOpen());
    bool flag = false;
    EXPECT_TRUE(reader.getBool("USE DISPLAY LISTS", flag));
    EXPECT_TRUE(flag);
    int n = 0;
    EXPECT_TRUE(reader.getInt("Screen Hz", n));
    EXPECT_EQ(n, 3);
}

TEST_F(Registry, CreatingAKeyCreatesItsParents) {
    {
        RegistryKey writer("Tessaran Interactive Ltd\\Kalvora\\network", true, 0);
        ASSERT_TRUE(writer.setString("Net address", "127.0.0.1"));
    }
    EXPECT_TRUE(RegistryKey(product, false, 0).isOpen());
    EXPECT_TRUE(RegistryKey("Tessaran Interactive Ltd", false, 0).isOpen());
    EXPECT_FALSE(RegistryKey("Tessaran Interactive Ltd\\Other", false, 0).isOpen());
    RegistryKey parent(product, false, 0);
    orvel_string text;
    EXPECT_FALSE(parent.getString("Net address", text));
}

TEST_F(Registry, ReplacingAValueMayChangeItsType) {
    RegistryKey key(product, true, 0);
    ASSERT_TRUE(key.setDword("x", 1));
    ASSERT_TRUE(key.setString("x", "now text"));
    int n = 0;
    EXPECT_FALSE(key.getInt("x", n));
    orvel_string text;
    EXPECT_TRUE(key.getString("x", text));
    EXPECT_STREQ(text.c_str(), "now text");
}

TEST_F(Registry, MachineAndUserRootsAreApart) {
    {
        RegistryKey machine(product, true, 1);
        ASSERT_TRUE(machine.setInt("where", 1));
    }
    EXPECT_FALSE(RegistryKey(product, false, 0).isOpen());
    {
        RegistryKey user(product, true, 0);
        ASSERT_TRUE(user.setInt("where", 0));
    }
    int n = -1;
    EXPECT_TRUE(RegistryKey(product, false, 1).getInt("where", n));
    EXPECT_EQ(n, 1);
    EXPECT_TRUE(RegistryKey(product, false, 0).getInt("where", n));
    EXPECT_EQ(n, 0);
}

TEST_F(Registry, WithoutOverrideTheFileLivesUnderTheCompanyFolder) {
    unsetenv("ORVEL_REGISTRY_FILE");
    std::string config = folder / "config";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    {
        RegistryKey writer(product, true, 0);
        ASSERT_TRUE(writer.setInt("Texture res", 2));
    }
    std::string expected = config + "/Tessaran Interactive Ltd/registry.sqlite";
    EXPECT_TRUE(std::filesystem::exists(expected));
    EXPECT_EQ(platform::RegistryHandle::databaseFile("Software\\Tessaran Interactive Ltd\\Kalvora"), expected);
    EXPECT_EQ(platform::RegistryHandle::databaseFile("Software\\a/b\\c"), config + "/a_b/registry.sqlite");
    EXPECT_EQ(platform::RegistryHandle::databaseFile("Software\\..\\c"), config + "/_/registry.sqlite");
    EXPECT_EQ(platform::RegistryHandle::databaseFile("Software"), "");
    EXPECT_FALSE(RegistryKey("", true, 0).isOpen());
    int n = 0;
    EXPECT_TRUE(RegistryKey(product, false, 0).getInt("Texture res", n));
    EXPECT_EQ(n, 2);

    std::string home = folder / "home";
    unsetenv("XDG_CONFIG_HOME");
    const char* oldHome = std::getenv("HOME");
    std::string savedHome = oldHome ? oldHome : "";
    setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(platform::RegistryHandle::databaseFile("Software\\Co"), home + "/.config/Co/registry.sqlite");
    setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(Registry, ValuesPersistAcrossProcesses) {
    pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        RegistryKey key(product, true, 0);
        MemoryDataDest blob;
        blob.write("\x00\x01\x02", 3);
        bool ok = key.setInt("Screen resolution", 3) && key.setString("User name", "Ada") &&
                  key.setBinary("blob", blob) && key.setBool("Act as server", true);
        _exit(ok ? 0 : 1);
    }
    ASSERT_TRUE(childSucceeded(writer));
    RegistryKey key(product, false, 0);
    int n = 0;
    orvel_string name;
    bool flag = false;
    MemoryDataSource blob;
    EXPECT_TRUE(key.getInt("Screen resolution", n));
    EXPECT_EQ(n, 3);
    EXPECT_TRUE(key.getString("User name", name));
    EXPECT_STREQ(name.c_str(), "Ada");
    EXPECT_TRUE(key.getBool("Act as server", flag));
    EXPECT_TRUE(flag);
    ASSERT_TRUE(key.getBinary("blob", blob));
    EXPECT_EQ(bytesOf(blob), (std::vector<unsigned char>{0, 1, 2}));

    {
        RegistryKey parentWriter(product, true, 0);
        ASSERT_TRUE(parentWriter.setInt("Screen Hz", 4));
    }
    pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        int hz = 0;
        _exit(RegistryKey(product, false, 0).getInt("Screen Hz", hz) && hz == 4 ? 0 : 1);
    }
    EXPECT_TRUE(childSucceeded(reader));
}

TEST_F(Registry, TwoProcessesWritingAtOnceLoseNothing) {
    { RegistryKey(product, true, 0).setInt("start", 0); }
    pid_t child = fork();
    ASSERT_GE(child, 0);
    bool ok = true;
    {
        RegistryKey key(product, true, 0);
        for (int i = 0; i < 150; ++i)
            ok = key.setInt(((child == 0 ? "child " : "parent ") + std::to_string(i)).c_str(), i) && ok;
    }
    if (child == 0)
        _exit(ok ? 0 : 1);
    EXPECT_TRUE(ok);
    ASSERT_TRUE(childSucceeded(child));
    RegistryKey key(product, false, 0);
    for (int i = 0; i < 150; ++i) {
        int a = -1, b = -1;
        EXPECT_TRUE(key.getInt(("child " + std::to_string(i)).c_str(), a));
        EXPECT_TRUE(key.getInt(("parent " + std::to_string(i)).c_str(), b));
        EXPECT_EQ(a, i);
        EXPECT_EQ(b, i);
    }
}

TEST_F(Registry, WriterKilledMidBurstLeavesEachValueOldOrNew) {
    constexpr int values = 400;
    std::vector<int> generation(values, 0);
    {
        RegistryKey key(product, true, 0);
        for (int i = 0; i < values; ++i) {
            std::vector<unsigned char> v = generationValue(i, 0);
            MemoryDataDest out;
            out.write(v.data(), unsigned(v.size()));
            ASSERT_TRUE(key.setBinary(("value " + std::to_string(i)).c_str(), out));
        }
    }
    std::mt19937 random(11);
    int changed = 0;
    for (int round = 1; round <= 4; ++round) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            close(ready[0]);
            RegistryKey key(product, true, 0);
            // Starts with a value chosen by the round, then goes round and
            // round writing this generation until it is killed.
            for (int n = round * 5;; ++n) {
                int i = n % values;
                std::vector<unsigned char> v = generationValue(i, round);
                MemoryDataDest out;
                out.write(v.data(), unsigned(v.size()));
                key.setBinary(("value " + std::to_string(i)).c_str(), out);
                if (n == round * 5 && write(ready[1], "r", 1) != 1)
                    _exit(1);
            }
        }
        close(ready[1]);
        char r;
        ASSERT_EQ(read(ready[0], &r, 1), 1);
        close(ready[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 40));
        kill(writer, SIGKILL);
        int status = 0;
        waitpid(writer, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));

        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        sqlite3_stmt* check = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
        ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
        sqlite3_finalize(check);
        sqlite3_close(db);

        RegistryKey key(product, false, 0);
        ASSERT_TRUE(key.isOpen());
        for (int i = 0; i < values; ++i) {
            MemoryDataSource in;
            ASSERT_TRUE(key.getBinary(("value " + std::to_string(i)).c_str(), in)) << i;
            std::vector<unsigned char> got = bytesOf(in);
            if (got == generationValue(i, round)) {
                generation[i] = round;
                ++changed;
            } else {
                EXPECT_TRUE(got == generationValue(i, generation[i])) << "round " << round << " value " << i;
            }
        }
    }
    // Both kinds were seen: the writer was stopped in the middle of its work.
    EXPECT_GT(changed, 0);
    EXPECT_LT(changed, 4 * values);
}
