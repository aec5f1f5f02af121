#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "scene/KessaDatabaseReader.h"
#include "scene/MemoryOption.h"
#include "tests/support/LogCapture.h"

namespace {

// A reader whose files name other files: reading one reads the ones it names
// through the hook, as an object stream with external references would.
class LinkedFiles : public kessa::KessaDatabaseReader {
public:
    void read(orvel::counted_ptr<kessa::Database>& out, const orvel_string& name) override {
        calls.push_back(name.c_str());
        for (const std::string& next : links[name.c_str()]) {
            orvel::counted_ptr<kessa::Database> inner;
            kessa::readExternalDatabase(inner, orvel_string(next.c_str()));
        }
        out = nullptr;
    }
    std::map<std::string, std::vector<std::string>> links;
    std::vector<std::string> calls;
};

class ReadHookTest : public ::testing::Test {
protected:
    void TearDown() override { kessa::setReadHook(nullptr); }
    std::string log() const { return log_.text(); }

private:
    LogCapture log_;
};

// Siblings may name the same file.
TEST_F(ReadHookTest, InstalledReaderIsCalled) {
    LinkedFiles files;
    files.links["room.mdl"] = {"chair.mdl", "chair.mdl"};
    EXPECT_EQ(kessa::readHook(), nullptr);
    kessa::setReadHook(&files);
    EXPECT_EQ(kessa::readHook(), &files);
    orvel::counted_ptr<kessa::Database> out;
    kessa::readExternalDatabase(out, "room.mdl");
    EXPECT_EQ(files.calls, (std::vector<std::string>{"room.mdl", "chair.mdl", "chair.mdl"}));
    EXPECT_FALSE(out);
    EXPECT_EQ(log(), "");
}

TEST_F(ReadHookTest, ACycleOfNamesEndsWithALogLine) {
    LinkedFiles files;
    files.links["a.mdl"] = {"b.mdl"};
    files.links["b.mdl"] = {"c.mdl", "a.mdl"};
    files.links["c.mdl"] = {"c.mdl"};
    kessa::setReadHook(&files);
    orvel::counted_ptr<kessa::Database> out;
    kessa::readExternalDatabase(out, "a.mdl");
    EXPECT_EQ(files.calls, (std::vector<std::string>{"a.mdl", "b.mdl", "c.mdl"}));
    EXPECT_EQ(log(),
              "Database c.mdl refers back to itself - not read again\n"
              "Database a.mdl refers back to itself - not read again\n");
    // Once the first read is over the same names can be read again.
    files.calls.clear();
    kessa::readExternalDatabase(out, "b.mdl");
    EXPECT_EQ(files.calls, (std::vector<std::string>{"b.mdl", "c.mdl", "a.mdl"}));
}

TEST(MemoryOptionTest, SwitchTurnsOn) {
    EXPECT_FALSE(kessa::optionFlag());
    kessa::enablePolygonArena();
    EXPECT_TRUE(kessa::optionFlag());
}

}  // namespace
