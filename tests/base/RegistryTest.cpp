// Settings keys on their SQLite file: stored forms read back with SQL of the
// test's own, names, places, files that cannot be used, and processes that
// write at once or die while writing.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <grp.h>
#include <optional>
#include <random>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "base/RegistryKey.h"
#include "platform/Registry.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempFolder.h"

using namespace orvel;
using Bytes = std::vector<unsigned char>;

namespace {

const char* const product = "Tessaran Interactive Ltd\\Kalvora";

// What the readers give for a value; nothing when they refuse it.
std::optional<int> intOf(RegistryKey& key, const char* name) {
    int n = 0;
    return key.getInt(name, n) ? std::optional<int>(n) : std::nullopt;
}
std::optional<std::string> textOf(RegistryKey& key, const char* name) {
    orvel_string t;
    return key.getString(name, t) ? std::optional<std::string>(std::string(t.c_str(), t.length())) : std::nullopt;
}
std::optional<Bytes> bytesOf(RegistryKey& key, const char* name) {
    MemoryDataSource in;
    if (!key.getBinary(name, in))
        return std::nullopt;
    Bytes bytes(in.size());
    in.read(bytes.data(), in.size());
    return bytes;
}
bool setBlob(RegistryKey& key, const std::string& name, const Bytes& bytes) {
    MemoryDataDest out;
    out.write(bytes.data(), unsigned(bytes.size()));
    return key.setBinary(name.c_str(), out);
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

// The exit status of a child process running f.
int inChild(const std::function<int()>& f) {
    pid_t child = fork();
    if (child == 0)
        _exit(f());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { setenv("ORVEL_REGISTRY_FILE", file.c_str(), 1); }
    void TearDown() override { unsetenv("ORVEL_REGISTRY_FILE"); }

    // The type and bytes stored for a value, read with SQL of the test's own.
    std::string stored(const char* name) {
        sqlite3* db = nullptr;
        std::string found = "none";
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "SELECT type, hex(data) FROM vals WHERE name = ?1", -1, &s, nullptr);
        sqlite3_bind_text(s, 1, name, -1, SQLITE_TRANSIENT);
        if (s && sqlite3_step(s) == SQLITE_ROW)
            found = std::to_string(sqlite3_column_int(s, 0)) + ":" + reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
        sqlite3_finalize(s);
        sqlite3_close(db);
        return found;
    }

    TempFolder folder;
    std::string file = folder / "registry.sqlite";
};

}  // namespace

TEST_F(Registry, ValuesAreStoredAsTypedBytesAndReadOnlyAsTheirType) {
    RegistryKey key(product, true, 0);
    ASSERT_TRUE(key.setDword("dword", 0x01020304) && key.setInt("negative", -2) && key.setBool("Enable fog", true) &&
                key.setString("s", "ab") && key.setString("User name", orvel_string("Ada")) &&
                key.setString("empty", static_cast<const char*>(nullptr)) && setBlob(key, "big", Bytes(5000, 'z')) &&
                setBlob(key, "none", {}));
    EXPECT_EQ(stored("dword"), "4:04030201");
    EXPECT_EQ(stored("Enable fog"), "4:01000000");
    EXPECT_EQ(stored("s"), "1:616200");
    EXPECT_EQ(stored("missing"), "none");
    // Stored by others: high byte first; texts without a terminator or with
    // one inside, read after a larger value left the shared buffer full.
    const std::pair<const char*, std::pair<unsigned, Bytes>> planted[] = {
        {"big endian", {regDwordBigEndian, {1, 2, 3, 4}}}, {"short", {regDword, {1, 2}}},
        {"bare", {regString, {'a', 'b', 'c'}}},             {"inner zero", {regString, {'a', 'b', 0, 'c', 0}}},
        {"blank", {regString, {}}},                         {"small", {regBinary, {1, 2, 3}}}};
    auto raw = platform::RegistryHandle::open(0, (std::string("Software\\") + product).c_str(), true);
    for (const auto& [name, value] : planted)
        ASSERT_TRUE(raw->setValue(name, value.first, value.second.data(), value.second.size()));
    EXPECT_EQ(bytesOf(key, "big"), Bytes(5000, 'z'));
    const std::pair<const char*, std::string> rows[] = {
        {"dword", "16909060 T - -"},  {"negative", "-2 T - -"},   {"Enable fog", "1 T - -"},   {"big endian", "16909060 T - -"},
        {"short", "- - - -"},         {"s", "- - ab -"},          {"User name", "- - Ada -"},  {"empty", "- -  -"},
        {"bare", "- - abc -"},        {"inner zero", "- - ab -"}, {"blank", "- -  -"},         {"small", "- - - 3"},
        {"none", "- - - 0"},          {"missing", "- - - -"},
    };
    for (const auto& [name, expected] : rows) {
        // Each reader's result, "-" when it refuses and leaves its target as
        // it was, "!" when it refuses but changed it.
        int n = -99;
        bool b = true;
        orvel_string t("kept");
        MemoryDataSource source;
        std::string got = key.getInt(name, n) ? std::to_string(n) : n == -99 ? "-" : "!";
        got += key.getBool(name, b) ? (b ? " T" : " F") : b ? " -" : " !";
        got += key.getString(name, t) ? " " + std::string(t.c_str()) : t == "kept" ? " -" : " !";
        got += key.getBinary(name, source) ? " " + std::to_string(source.size()) : source.good() ? " !" : " -";
        EXPECT_EQ(got, expected) << name;
    }
    ASSERT_TRUE(key.setBool("Enable fog", false) && key.setString("dword", "now text"));
    bool fog = true;
    EXPECT_TRUE(key.getBool("Enable fog", fog));
    EXPECT_FALSE(fog);
    EXPECT_EQ(textOf(key, "dword"), "now text");  // a value's type may change
}

TEST_F(Registry, KeysOpenForReadingOrWritingWhereTheyShould) {
    RegistryKey missing(product, false, 0);
    EXPECT_FALSE(missing.isOpen());
    EXPECT_FALSE(missing.setInt("Screen Hz", 1));
    EXPECT_FALSE(std::filesystem::exists(file));  // reading creates nothing

    ASSERT_TRUE(RegistryKey("Tessaran Interactive Ltd\\Kalvora\\network", true, 0).setString("Net address", "127.0.0.1"));
    ASSERT_TRUE(RegistryKey(product, true, 0).setInt("SCREEN HZ", 2));
    ASSERT_TRUE(RegistryKey(product, true, 1).setInt("where", 1));
    RegistryKey reader("TESSARAN INTERACTIVE LTD\\kalvora", false, 0);
    ASSERT_TRUE(reader.isOpen());  // a parent is made with its child
    EXPECT_EQ(intOf(reader, "screen hz"), 2);
    EXPECT_EQ(textOf(reader, "Net address"), std::nullopt);
    EXPECT_EQ(intOf(reader, "where"), std::nullopt);  // machine and user roots are apart
    RegistryKey machine(product, false, 1);
    EXPECT_EQ(intOf(machine, "where"), 1);
    EXPECT_FALSE(RegistryKey("Tessaran Interactive Ltd\\Other", false, 0).isOpen());
    EXPECT_FALSE(reader.setInt("kept", 2) || reader.setString("new", "x") || reader.setString("new", orvel_string("x")) ||
                 reader.setBinary("new", MemoryDataDest()));
    EXPECT_EQ(intOf(reader, "SCREEN HZ"), 2);
}

// Without the file override the company word names a folder under the
// configuration folder: any spelling of it opens one store, also among
// folders that differ only in case.
TEST_F(Registry, AnySpellingOfTheCompanyOpensOneStore) {
    unsetenv("ORVEL_REGISTRY_FILE");
    const std::string config = folder / "config";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    EXPECT_EQ(platform::RegistryHandle::databaseFile("Software\\a/b\\c"), config + "/a_b/registry.sqlite");
    EXPECT_EQ(platform::RegistryHandle::databaseFile("Software\\..\\c"), config + "/_/registry.sqlite");
    EXPECT_EQ(platform::RegistryHandle::databaseFile("Software"), "");
    EXPECT_FALSE(RegistryKey("", true, 0).isOpen());
    std::filesystem::create_directories(config + "/tessaran interactive LTD");
    std::filesystem::create_directories(config + "/Tessaran Interactive ltd");
    ASSERT_TRUE(RegistryKey("Tessaran Interactive Ltd\\Kalvora", true, 0).setInt("Screen Hz", 1));
    ASSERT_TRUE(RegistryKey("TESSARAN INTERACTIVE LTD\\kalvora", true, 0).setInt("Enable fog", 1));
    RegistryKey lower("tessaran interactive ltd\\kalvora", false, 0);
    EXPECT_EQ(intOf(lower, "screen hz"), 1);
    EXPECT_EQ(intOf(lower, "enable fog"), 1);
    EXPECT_TRUE(std::filesystem::exists(config + "/Tessaran Interactive ltd/registry.sqlite"));
    unsetenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    setenv("HOME", (folder / "home").c_str(), 1);
    EXPECT_EQ(platform::RegistryHandle::databaseFile("Software\\Co"), folder / "home/.config/Co/registry.sqlite");
    setenv("HOME", savedHome.c_str(), 1);
}

// The settings file made read-only, then its folder too, and writable again,
// as a user may do, by a user whom permissions bind: stored values are read
// whenever the file can be read, a refused write says why in one line,
// writes work again as soon as they can, and no side file is left behind.
TEST_F(Registry, ReadOnlyFileIsStillReadAndWrittenOnceWritableAgain) {
    const std::string dir = folder.path().string();
    const struct {
        mode_t file, folder;
        const char* refusal;
    } steps[] = {{0644, 0755, nullptr}, {0444, 0755, "the file is read-only"},   {0644, 0755, nullptr},
                 {0444, 0555, "the file is read-only"}, {0644, 0555, "its folder is read-only"}, {0644, 0755, nullptr}};
    const int failed = inChild([&] {
        constexpr uid_t nobody = 65534;
        if (geteuid() == 0 && (chown(dir.c_str(), nobody, nobody) != 0 || setgroups(0, nullptr) != 0 || setgid(nobody) != 0 ||
                               setuid(nobody) != 0))
            return 100;
        LogCapture log;
        int value = 0;
        for (int i = 0; i < int(std::size(steps)); ++i) {
            chmod(dir.c_str(), steps[i].folder);
            chmod(file.c_str(), steps[i].file);
            bool stored = RegistryKey(product, true, 0).setInt("Screen Hz", value + 1);
            value += stored ? 1 : 0;
            RegistryKey reader(product, false, 0);
            std::string refused = std::string("Setting \"Screen Hz\" not stored in ") + file + ": " +
                                  (steps[i].refusal ? steps[i].refusal : "") + "\n";
            std::string logged = log.take();
            if (stored == bool(steps[i].refusal) || intOf(reader, "Screen Hz") != value ||
                (steps[i].refusal ? logged.find(refused) == std::string::npos : !logged.empty()))
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
            ASSERT_TRUE(setBlob(key, "value " + std::to_string(i), generationValue(i, 0)));
    }
    const Bytes whole = readFile(file);
    const std::pair<Bytes, const char*> rows[] = {  // no bytes: a folder in the file's place
        {generationValue(1, 1), "it is not a settings database"},
        {{}, "it is a folder"},
        {Bytes(whole.begin(), whole.begin() + long(whole.size() / 2)), "it is damaged"},
        {Bytes(whole.begin(), whole.begin() + 60), "it is damaged"}};
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto& [bytes, reason] = rows[i];
        const std::string damaged = folder / ("damaged " + std::to_string(i));
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
        EXPECT_EQ(log.count(damaged + " cannot be used: " + reason + ";"), 1) << log.text();
    }
}

// Each write is a transaction of its own: two processes writing at once
// lose nothing, and a writer killed in a burst leaves every value old or new.
TEST_F(Registry, ProcessesWritingAtOnceOrKilledWhileWriting) {
    const auto writeAll = [](const char* who) {
        RegistryKey key(product, true, 0);
        bool ok = true;
        for (int i = 0; i < 100; ++i)
            ok = key.setInt((who + std::to_string(i)).c_str(), i) && ok;
        return ok ? 0 : 1;
    };
    ASSERT_TRUE(RegistryKey(product, true, 0).setInt("start", 0));
    pid_t child = fork();
    if (child == 0)
        _exit(writeAll("child "));
    EXPECT_EQ(writeAll("parent "), 0);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    RegistryKey reader(product, false, 0);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(intOf(reader, ("child " + std::to_string(i)).c_str()), i);
        EXPECT_EQ(intOf(reader, ("parent " + std::to_string(i)).c_str()), i);
    }

    constexpr int values = 200;
    std::vector<int> generation(values, 0);
    {
        RegistryKey key(product, true, 0);
        for (int i = 0; i < values; ++i)
            ASSERT_TRUE(setBlob(key, "value " + std::to_string(i), generationValue(i, 0)));
    }
    std::mt19937 random(11);
    int changed = 0;
    for (int round = 1; round <= 4; ++round) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t writer = fork();
        if (writer == 0) {
            // Writes this generation round and round, from a place the round
            // chooses, until it is killed.
            RegistryKey key(product, true, 0);
            for (int n = round * 5;; ++n) {
                setBlob(key, "value " + std::to_string(n % values), generationValue(n % values, round));
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
        waitpid(writer, nullptr, 0);

        RegistryKey key(product, false, 0);
        for (int i = 0; i < values; ++i) {
            std::optional<Bytes> got = bytesOf(key, ("value " + std::to_string(i)).c_str());
            if (got == generationValue(i, round)) {
                generation[i] = round;
                ++changed;
            } else {
                EXPECT_EQ(got, generationValue(i, generation[i])) << "round " << round << " value " << i;
            }
        }
    }
    // Both kinds were seen: the writer was stopped in the middle of its work.
    EXPECT_GT(changed, 0);
    EXPECT_LT(changed, 4 * values);
}
