#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <grp.h>
#include <optional>
#include <cstdlib>
#include <random>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/support/LogCapture.h"
#include "tests/support/TempFolder.h"
#include "base/RegistryKey.h"
#include "platform/Registry.h"

using namespace orvel;

namespace {

const char* const product = "Tessaran Interactive Ltd\\Kalvora";

using Bytes = std::vector<unsigned char>;

struct Stored {
    int type;
    Bytes bytes;
    bool operator==(const Stored& o) const { return type == o.type && bytes == o.bytes; }
};

// What the readers give for a value; nothing when they refuse it.
std::optional<int> intOf(RegistryKey& key, const char* name) {
    int n = 0;
    return key.getInt(name, n) ? std::optional<int>(n) : std::nullopt;
}

std::optional<bool> boolOf(RegistryKey& key, const char* name) {
    bool b = false;
    return key.getBool(name, b) ? std::optional<bool>(b) : std::nullopt;
}

std::optional<std::string> textOf(RegistryKey& key, const char* name) {
    orvel_string t;
    return key.getString(name, t) ? std::optional<std::string>(std::string(t.c_str(), t.length())) : std::nullopt;
}

bool setBlob(RegistryKey& key, const char* name, const Bytes& bytes) {
    MemoryDataDest out;
    out.write(bytes.data(), unsigned(bytes.size()));
    return key.setBinary(name, out);
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { setenv("ORVEL_REGISTRY_FILE", file.c_str(), 1); }
    void TearDown() override { unsetenv("ORVEL_REGISTRY_FILE"); }

    // The type and bytes of a stored value, read with SQL of its own.
    std::optional<Stored> stored(const char* name) {
        sqlite3* db = nullptr;
        std::optional<Stored> found;
        if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(db, "SELECT type, data FROM vals WHERE name = ?1", -1, &s, nullptr);
            sqlite3_bind_text(s, 1, name, -1, SQLITE_TRANSIENT);
            if (s && sqlite3_step(s) == SQLITE_ROW) {
                const unsigned char* data = static_cast<const unsigned char*>(sqlite3_column_blob(s, 1));
                found = Stored{sqlite3_column_int(s, 0), Bytes(data, data + sqlite3_column_bytes(s, 1))};
            }
            sqlite3_finalize(s);
        }
        sqlite3_close(db);
        return found;
    }

    // Stores a value of any type, as no setter of RegistryKey would.
    void plant(const char* name, unsigned type, const Bytes& bytes) {
        auto key = platform::RegistryHandle::open(0, (std::string("Software\\") + product).c_str(), true);
        ASSERT_TRUE(key);
        ASSERT_TRUE(key->setValue(name, type, bytes.data(), bytes.size()));
    }

    TempFolder folder;
    std::string file = folder / "registry.sqlite";
};

Bytes bytesOf(MemoryDataSource& source) {
    Bytes bytes(source.size());
    source.seek(0);
    source.read(bytes.data(), source.size());
    return bytes;
}

// A value of one writer generation: its number and generation up front,
// then bytes that depend on both, so a torn value cannot pass for either.
Bytes generationValue(int index, int generation) {
    Bytes v(6000 + index % 50 * 200);
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

// Runs checks as an ordinary user, whom file permissions bind (root's are
// ignored), in a child process given the test's folder; the child's exit
// status is what the checks return.
int asOrdinaryUser(const std::string& folder, const std::function<int()>& checks) {
    pid_t child = fork();
    if (child == 0) {
        constexpr uid_t nobody = 65534;
        bool ok = geteuid() != 0 || (chown(folder.c_str(), nobody, nobody) == 0 && setgroups(0, nullptr) == 0 &&
                                     setgid(nobody) == 0 && setuid(nobody) == 0);
        _exit(ok ? checks() : 100);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
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

TEST_F(Registry, DwordsAreStoredLowByteFirstAndBoolsAsZeroOrOne) {
    RegistryKey key(product, true, 0);
    ASSERT_TRUE(key.isOpen());
    ASSERT_TRUE(key.setDword("v", 0x01020304));
    EXPECT_EQ(stored("v"), (Stored{regDword, {0x04, 0x03, 0x02, 0x01}}));
    EXPECT_EQ(intOf(key, "v"), 0x01020304);
    ASSERT_TRUE(key.setInt("negative", -2));
    EXPECT_EQ(intOf(key, "negative"), -2);

    ASSERT_TRUE(key.setBool("Enable fog", true));
    EXPECT_EQ(stored("Enable fog"), (Stored{regDword, {1, 0, 0, 0}}));
    EXPECT_EQ(boolOf(key, "Enable fog"), true);
    ASSERT_TRUE(key.setBool("Enable fog", false));
    EXPECT_EQ(boolOf(key, "Enable fog"), false);
    ASSERT_TRUE(key.setDword("seven", 7));
    EXPECT_EQ(boolOf(key, "seven"), true);
}

TEST_F(Registry, BigEndianDwordReadsReversed) {
    plant("b", regDwordBigEndian, {0x01, 0x02, 0x03, 0x04});
    RegistryKey key(product, false, 0);
    EXPECT_EQ(intOf(key, "b"), 0x01020304);
    EXPECT_EQ(boolOf(key, "b"), true);
}

TEST_F(Registry, StringIsStoredWithItsTerminatorAndReadToItsSize) {
    RegistryKey key(product, true, 0);
    ASSERT_TRUE(key.setString("s", "ab"));
    EXPECT_EQ(stored("s"), (Stored{regString, {0x61, 0x62, 0x00}}));
    EXPECT_EQ(textOf(key, "s"), "ab");
    ASSERT_TRUE(key.setString("User name", orvel_string("Ada")));
    EXPECT_EQ(textOf(key, "User name"), "Ada");
    ASSERT_TRUE(key.setString("empty", static_cast<const char*>(nullptr)));
    EXPECT_EQ(textOf(key, "empty"), "");

    // Stored by others: without a terminator, or with one inside. A larger
    // value read first leaves the shared buffer full of other bytes.
    ASSERT_TRUE(setBlob(key, "big", Bytes(3000, 'z')));
    MemoryDataSource in;
    ASSERT_TRUE(key.getBinary("big", in));
    plant("bare", regString, {'a', 'b', 'c'});
    plant("inner zero", regString, {'a', 'b', 0, 'c', 'd', 0});
    plant("blank", regString, {});
    EXPECT_EQ(textOf(key, "bare"), "abc");
    EXPECT_EQ(textOf(key, "inner zero"), "ab");
    EXPECT_EQ(textOf(key, "blank"), "");
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
    // Replacing a value may change its type.
    ASSERT_TRUE(key.setString("d", "now text"));
    EXPECT_EQ(intOf(key, "d"), std::nullopt);
    EXPECT_EQ(textOf(key, "d"), "now text");
}

TEST_F(Registry, BinaryValuesAreReadWholeAndExact) {
    RegistryKey key(product, true, 0);
    std::mt19937 random(7);
    Bytes big(5000);
    for (unsigned char& b : big)
        b = (unsigned char)random();
    ASSERT_TRUE(setBlob(key, "big", big));
    ASSERT_TRUE(setBlob(key, "small", {1, 2, 3}));
    ASSERT_TRUE(setBlob(key, "none", {}));

    MemoryDataSource in;
    ASSERT_TRUE(key.getBinary("big", in));
    EXPECT_TRUE(in.good());
    EXPECT_EQ(bytesOf(in), big);
    // After a larger value the shared buffer is larger than this one.
    ASSERT_TRUE(key.getBinary("small", in));
    EXPECT_EQ(bytesOf(in), (Bytes{1, 2, 3}));
    ASSERT_TRUE(key.getBinary("none", in));
    EXPECT_TRUE(in.good());
    EXPECT_EQ(in.size(), 0u);
}

TEST_F(Registry, KeyOpenedForReadingRefusesWrites) {
    ASSERT_TRUE(RegistryKey(product, true, 0).setInt("kept", 1));
    RegistryKey reader(product, false, 0);
    ASSERT_TRUE(reader.isOpen());
    EXPECT_FALSE(reader.setInt("kept", 2));
    EXPECT_FALSE(reader.setDword("new", 2));
    EXPECT_FALSE(reader.setBool("new", true));
    EXPECT_FALSE(reader.setString("new", "x"));
    EXPECT_FALSE(reader.setString("new", orvel_string("x")));
    EXPECT_FALSE(reader.setBinary("new", MemoryDataDest()));
    EXPECT_EQ(intOf(reader, "kept"), 1);
    EXPECT_FALSE(stored("new"));
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
    EXPECT_EQ(boolOf(reader, "USE DISPLAY LISTS"), true);
    EXPECT_EQ(intOf(reader, "Screen Hz"), 3);
}

TEST_F(Registry, CreatingAKeyCreatesItsParents) {
    ASSERT_TRUE(RegistryKey("Tessaran Interactive Ltd\\Kalvora\\network", true, 0).setString("Net address", "127.0.0.1"));
    EXPECT_TRUE(RegistryKey("Tessaran Interactive Ltd", false, 0).isOpen());
    EXPECT_FALSE(RegistryKey("Tessaran Interactive Ltd\\Other", false, 0).isOpen());
    RegistryKey parent(product, false, 0);
    EXPECT_TRUE(parent.isOpen());
    EXPECT_EQ(textOf(parent, "Net address"), std::nullopt);
}

TEST_F(Registry, MachineAndUserRootsAreApart) {
    ASSERT_TRUE(RegistryKey(product, true, 1).setInt("where", 1));
    EXPECT_FALSE(RegistryKey(product, false, 0).isOpen());
    ASSERT_TRUE(RegistryKey(product, true, 0).setInt("where", 0));
    RegistryKey machine(product, false, 1), user(product, false, 0);
    EXPECT_EQ(intOf(machine, "where"), 1);
    EXPECT_EQ(intOf(user, "where"), 0);
}

TEST_F(Registry, WithoutOverrideTheFileLivesUnderTheCompanyFolder) {
    unsetenv("ORVEL_REGISTRY_FILE");
    std::string config = folder / "config";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ASSERT_TRUE(RegistryKey(product, true, 0).setInt("Texture res", 2));
    std::string expected = config + "/Tessaran Interactive Ltd/registry.sqlite";
    EXPECT_TRUE(std::filesystem::exists(expected));
    EXPECT_EQ(platform::RegistryHandle::databaseFile("Software\\Tessaran Interactive Ltd\\Kalvora"), expected);
    EXPECT_EQ(platform::RegistryHandle::databaseFile("Software\\a/b\\c"), config + "/a_b/registry.sqlite");
    EXPECT_EQ(platform::RegistryHandle::databaseFile("Software\\..\\c"), config + "/_/registry.sqlite");
    EXPECT_EQ(platform::RegistryHandle::databaseFile("Software"), "");
    EXPECT_FALSE(RegistryKey("", true, 0).isOpen());
    RegistryKey key(product, false, 0);
    EXPECT_EQ(intOf(key, "Texture res"), 2);

    std::string home = folder / "home";
    unsetenv("XDG_CONFIG_HOME");
    const char* oldHome = std::getenv("HOME");
    std::string savedHome = oldHome ? oldHome : "";
    setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(platform::RegistryHandle::databaseFile("Software\\Co"), home + "/.config/Co/registry.sqlite");
    setenv("HOME", savedHome.c_str(), 1);
}

// Without the file override the company word names a folder: any spelling
// of it opens one store, also among folders that differ only in case.
TEST_F(Registry, AnySpellingOfTheCompanyOpensOneStore) {
    unsetenv("ORVEL_REGISTRY_FILE");
    std::string config = folder / "config";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    std::filesystem::create_directories(config + "/tessaran interactive LTD");
    std::filesystem::create_directories(config + "/Tessaran Interactive ltd");
    ASSERT_TRUE(RegistryKey("Tessaran Interactive Ltd\\Kalvora", true, 0).setInt("Screen Hz", 1));
    ASSERT_TRUE(RegistryKey("TESSARAN INTERACTIVE LTD\\kalvora", true, 0).setInt("Enable fog", 1));
    RegistryKey lower("tessaran interactive ltd\\kalvora", false, 0);
    EXPECT_EQ(intOf(lower, "screen hz"), 1);
    EXPECT_EQ(intOf(lower, "enable fog"), 1);
    EXPECT_TRUE(std::filesystem::exists(config + "/Tessaran Interactive ltd/registry.sqlite"));
    unsetenv("XDG_CONFIG_HOME");
}

// The settings file made read-only, then its folder too, and writable again,
// as a user may do: stored values are read whenever the file can be read, a
// refused write says why in one line, writes work again as soon as they can,
// and no side file is left behind.
TEST_F(Registry, ReadOnlyFileIsStillReadAndWrittenOnceWritableAgain) {
    std::string dir = folder.path().string();
    const struct {
        mode_t file, folder;
        const char* refusal;
    } steps[] = {{0644, 0755, nullptr}, {0444, 0755, "the file is read-only"},   {0644, 0755, nullptr},
                 {0444, 0555, "the file is read-only"}, {0644, 0555, "its folder is read-only"}, {0644, 0755, nullptr}};
    int failed = asOrdinaryUser(dir, [&] {
        LogCapture log;
        int value = 0;
        for (int i = 0; i < int(std::size(steps)); ++i) {
            chmod(dir.c_str(), steps[i].folder);
            chmod(file.c_str(), steps[i].file);
            bool stored = RegistryKey(product, true, 0).setInt("Screen Hz", value + 1);
            value += stored ? 1 : 0;
            RegistryKey reader(product, false, 0);
            std::string refused = std::string("!!!Setting \"Screen Hz\" not stored in ") + file + ": " +
                                  (steps[i].refusal ? steps[i].refusal : "") + "\n";
            if (stored == bool(steps[i].refusal) || intOf(reader, "Screen Hz") != value ||
                log.take() != (steps[i].refusal ? refused : ""))
                return i + 1;
        }
        return std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()) == 1 ? 0 : 9;
    });
    EXPECT_EQ(failed, 0) << "the step that went wrong, counted from 1; 9: a side file was left";
}

// A settings file that cannot be used stays exactly as it is; one line
// names it and says why, and the defaults stand.
TEST_F(Registry, DamagedFileIsLeftAsItIsAndNamedOnce) {
    {
        RegistryKey key(product, true, 0);
        for (int i = 0; i < 50; ++i)
            ASSERT_TRUE(setBlob(key, ("value " + std::to_string(i)).c_str(), generationValue(i, 0)));
    }
    const Bytes whole = readFile(file);
    const std::pair<Bytes, const char*> cases[] = {  // no bytes: a folder in the file's place
        {generationValue(1, 1), "it is not a settings database"},
        {{}, "it is a folder"},
        {Bytes(whole.begin(), whole.begin() + whole.size() / 2), "it is damaged"},
        {Bytes(whole.begin(), whole.begin() + 60), "it is damaged"}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& [bytes, reason] = cases[i];
        std::string damaged = folder / ("damaged " + std::to_string(i));
        setenv("ORVEL_REGISTRY_FILE", damaged.c_str(), 1);
        if (bytes.empty())
            std::filesystem::create_directory(damaged);
        else
            writeFile(damaged, bytes);
        LogCapture log;
        int hz = 60;
        EXPECT_FALSE(RegistryKey(product, false, 0).getInt("value 1", hz));
        EXPECT_FALSE(RegistryKey(product, true, 0).setInt("value 1", 75));
        EXPECT_EQ(hz, 60);
        EXPECT_TRUE(bytes.empty() ? std::filesystem::is_directory(damaged) : readFile(damaged) == bytes) << reason;
        EXPECT_FALSE(std::filesystem::exists(damaged + "-journal"));
        EXPECT_EQ(log.text(), "---Settings file " + damaged + " cannot be used: " + reason +
                                  "; it is left as it is and the defaults stay\n");
    }
}

TEST_F(Registry, ValuesPersistAcrossProcesses) {
    pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        RegistryKey key(product, true, 0);
        bool ok = key.setInt("Screen resolution", 3) && key.setString("User name", "Ada") && setBlob(key, "blob", {0, 1, 2}) &&
                  key.setBool("Act as server", true);
        _exit(ok ? 0 : 1);
    }
    ASSERT_TRUE(childSucceeded(writer));
    RegistryKey key(product, false, 0);
    EXPECT_EQ(intOf(key, "Screen resolution"), 3);
    EXPECT_EQ(textOf(key, "User name"), "Ada");
    EXPECT_EQ(boolOf(key, "Act as server"), true);
    MemoryDataSource blob;
    ASSERT_TRUE(key.getBinary("blob", blob));
    EXPECT_EQ(bytesOf(blob), (Bytes{0, 1, 2}));

    ASSERT_TRUE(RegistryKey(product, true, 0).setInt("Screen Hz", 4));
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
        EXPECT_EQ(intOf(key, ("child " + std::to_string(i)).c_str()), i);
        EXPECT_EQ(intOf(key, ("parent " + std::to_string(i)).c_str()), i);
    }
}

TEST_F(Registry, WriterKilledMidBurstLeavesEachValueOldOrNew) {
    constexpr int values = 400;
    std::vector<int> generation(values, 0);
    {
        RegistryKey key(product, true, 0);
        for (int i = 0; i < values; ++i)
            ASSERT_TRUE(setBlob(key, ("value " + std::to_string(i)).c_str(), generationValue(i, 0)));
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
                setBlob(key, ("value " + std::to_string(i)).c_str(), generationValue(i, round));
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
            Bytes got = bytesOf(in);
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
