// The engine's services: random numbers against the generator's published
// vector, the noise table against its own entries, the engine clock on a
// test time source, the storage statistics' lines, and the read hook.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <map>

#include "base/Clock.h"
#include "scene/KessaDatabaseReader.h"
#include "scene/MemoryOption.h"
#include "scene/NoiseTable.h"
#include "scene/Random.h"
#include "scene/StorageStats.h"
#include "scene/Stopwatch.h"
#include "tests/support/LogCapture.h"

using kessa::NoiseTable;
using kessa::Random;
using kessa::Stopwatch;

namespace {

constexpr double twoTo24 = 16777216.0;

// The published test: seeded from ij = 1802 and kl = 9373, the 20001st to
// 20006th numbers times 2^24 are these integers. The default seed's first
// numbers; a negative seed (also the most negative) as its absolute value;
// numbers come in batches of 32 and stay in [0, 1).
TEST(RandomTest, PublishedVectorsSeedsAndRange) {
    Random published(1802 * 30082 + 9373), fresh, refilled;
    for (int n = 0; n < 20000; ++n)
        published.next();
    for (double e : {6533892, 14220222, 7275067, 6172232, 8354498, 10633180})
        EXPECT_EQ(published.next() * twoTo24, e);
    for (double e : {13009319, 6074011, 5059701, 12939831, 9298980})
        EXPECT_EQ(fresh.next() * twoTo24, e);
    Random::shared().seed(12345678);
    EXPECT_TRUE(&Random::shared() == &Random::shared() && Random::shared().next() * twoTo24 == 13009319);
    refilled.refill();
    refilled.refill();
    for (int n = 0; n < 27; ++n)
        fresh.next();
    EXPECT_TRUE(fresh.next() == refilled.next() && fresh.next() == refilled.next()) << "the 33rd begins the second batch";
    Random a(12345678), b(-12345678);
    for (int n = 0; n < 100; ++n)
        ASSERT_EQ(a.next(), b.next());
    for (int seed : {987654321, INT_MIN}) {
        Random random(seed);
        double sum = 0;
        for (int n = 0; n < 200000; ++n) {
            const float v = random.next();
            ASSERT_TRUE(v >= 0 && v < 1) << seed;
            sum += v;
        }
        EXPECT_NEAR(sum / 200000, 0.5, 0.005) << seed;
    }
}

// Entries are drawn in order from the default seed; the far faces repeat
// the near ones; samples blend the eight entries of their cell and repeat
// every unit; negative coordinates wrap into the last cell, huge and
// non-finite ones stay in the table; an unbuilt table gives 0.
TEST(NoiseTableTest, EntriesAndTrilinearSamples) {
    const NoiseTable& table = NoiseTable::shared();
    Random random(12345678);
    for (int z = 0; z < 64; ++z)
        ASSERT_EQ(table.at(0, 0, z), random.next()) << z;
    EXPECT_TRUE(table.at(0, 1, 0) == 0.6146014332771301f && table.at(1, 0, 0) == 0.6129962205886841f);  // draws 66, 4226
    for (int a = 0; a < 65; a += 7)
        for (int b = 0; b < 65; b += 5)
            ASSERT_TRUE(table.at(64, a, b) == table.at(0, a % 64, b % 64) && table.at(a, 64, b) == table.at(a % 64, 0, b % 64) &&
                        table.at(a, b, 64) == table.at(a % 64, b % 64, 0));
    EXPECT_NEAR(table.sample(0.5f / 64, 0, 0), 0.694206029, 1e-9);
    EXPECT_NEAR(table.sample(0, 0, 0.5f / 64), 0.568727553, 1e-9);
    EXPECT_DOUBLE_EQ(table.sample(3.0f / 64, 5.0f / 64, 7.0f / 64), table.at(3, 5, 7));
    const float f[3] = {0.25f, 0.5f, 0.75f};
    double expected = 0;
    for (int i = 0; i < 8; ++i)
        expected += (i & 1 ? f[0] : 1 - f[0]) * (i & 2 ? f[1] : 1 - f[1]) * (i & 4 ? f[2] : 1 - f[2]) *
                    table.at(10 + (i & 1), 20 + (i >> 1 & 1), 30 + (i >> 2 & 1));
    EXPECT_NEAR(table.sample((10 + f[0]) / 64, (20 + f[1]) / 64, (30 + f[2]) / 64), expected, 1e-6);
    EXPECT_TRUE(table.sample(1, 0, 0) == table.sample(0, 0, 0) && table.sample(0.375f, 0.6f, 0.9f) == table.sample(3.375f, 0.6f, 0.9f));
    EXPECT_NEAR(table.sample(5.25f, -3.5f, 0.125f), table.sample(0.25f, 0.5f, 0.125f), 1e-6);
    EXPECT_NEAR(table.sample(-0.5f / 64, 0, 0), (table.at(63, 0, 0) + table.at(64, 0, 0)) / 2, 1e-7);
    const float inf = std::numeric_limits<float>::infinity();
    for (float v : {-1.5f, -0.01f, inf, -inf, std::numeric_limits<float>::quiet_NaN(), 3e38f, -3e38f, 1e9f}) {
        const double s = table.sample(v, v * 0.5f, -v);
        EXPECT_TRUE(std::isfinite(s) && s >= 0 && s < 1) << v;
    }
    EXPECT_EQ(NoiseTable().sample(0.5f, 0.5f, 0.5f), 0);
}

double fakeNow = 0;

// Sets the clock to t, then does what is asked.
void at(double t, void (*action)() = [] {}) {
    fakeNow = t;
    action();
}

class StopwatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeNow = 0;
        Stopwatch::setTimeSource([] { return fakeNow; });
    }
    void TearDown() override { Stopwatch::setTimeSource(nullptr); }
};

// The first tick reports a hundredth, also at game time 0 (the process
// clock reads 0 on its first call): the next reports the time between them.
TEST_F(StopwatchTest, TicksReportTheTimeBetweenThem) {
    at(3.5);
    EXPECT_TRUE(Stopwatch::elapsed() == 3.5 && Stopwatch::lastTick() == 0);
    for (double first : {1.0, 0.0}) {
        Stopwatch::setTimeSource([] { return fakeNow; });
        at(first, Stopwatch::tick);
        EXPECT_TRUE(Stopwatch::frameDelta() == 0.01 && Stopwatch::lastTick() == first);
        at(first + 0.25, Stopwatch::tick);
        EXPECT_TRUE(Stopwatch::frameDelta() == 0.25 && Stopwatch::lastTick() == first + 0.25) << first;
        at(first + 0.375, Stopwatch::tick);
        EXPECT_EQ(Stopwatch::frameDelta(), 0.125) << first;
    }
}

// Game time stands while paused; a second pause keeps the first, a resume
// without a pause changes nothing; a new source starts afresh.
TEST_F(StopwatchTest, PauseKeepsGameTimeContinuous) {
    at(1, Stopwatch::tick);
    at(2, Stopwatch::pause);
    at(2.5, Stopwatch::pause);
    at(3);
    EXPECT_TRUE(Stopwatch::paused() && Stopwatch::elapsed() == 2);
    Stopwatch::tick();
    EXPECT_EQ(Stopwatch::frameDelta(), 1) << "up to the pause";
    at(3.5, Stopwatch::tick);
    EXPECT_EQ(Stopwatch::frameDelta(), 0) << "nothing moves while paused";
    at(4, Stopwatch::resume);
    Stopwatch::resume();
    EXPECT_TRUE(!Stopwatch::paused() && Stopwatch::elapsed() == 2);
    at(4.5, Stopwatch::tick);
    EXPECT_TRUE(Stopwatch::lastTick() == 2.5 && Stopwatch::frameDelta() == 0.5);
    Stopwatch::pause();
    Stopwatch::setTimeSource([] { return fakeNow; });
    EXPECT_TRUE(!Stopwatch::paused() && Stopwatch::lastTick() == 0 && Stopwatch::frameDelta() == 0);
    Stopwatch::setTimeSource(nullptr);
    const double before = orvel::getTime(), elapsed = Stopwatch::elapsed();
    EXPECT_TRUE(elapsed >= before && elapsed <= orvel::getTime()) << "the process clock";
}

void geometry(kessa::StorageStats& s) {
    s.triangles += 1000, s.vertices += 3000, s.vertexBytes += 36000, s.normals += 3000, s.normalBytes += 36000;
    s.colors += 100, s.colorBytes += 400, s.texCoords += 3000, s.texCoordBytes += 24000, s.bunches += 4;
    s.bunchBytes += 1048576, s.indices += 3000, s.indexBytes += 12000, s.meshSizes += 10, s.meshSizeBytes += 40;
    s.animatedBunches += 1, s.animatedBunchBytes += 262144, s.animationVertices += 21845, s.animationVertexBytes += 262140;
}

void textures(kessa::StorageStats& s) { s.textures += 3, s.textureBytes += 3 * 1048576.0 + 524288; }

// Sources are counted once and summed; the record prints these lines.
TEST(StorageStatsTest, SourcesAreSummedAndPrinted) {
    kessa::StorageStats empty, stats;
    empty.computeTotals();
    LogCapture log;
    empty.print();
    const std::string none = log.take();
    EXPECT_NE(none.find("There's 0 triangles\nVertices:\n"), std::string::npos);
    EXPECT_EQ(none.substr(none.size() - 31), "Texture memory needed = 0.00Mb\n");
    kessa::addStorageSource(geometry);
    kessa::addStorageSource(textures);
    kessa::addStorageSource(geometry);
    stats.triangles = 99;
    kessa::getStorageStats(stats);
    EXPECT_TRUE(stats.triangles == 1000 && stats.textures == 3 && stats.vertexMegabytes == 96400 / 1048576.0);
    EXPECT_TRUE(stats.bunchMegabytes == (1048576 + 12000 + 40) / 1048576.0 && stats.animationMegabytes == 524284 / 1048576.0);
    stats.print();
    EXPECT_EQ(log.text(),
              "\n\nGeometry storage\n================\nTriangles:\nThere's 1000 triangles\nVertices:\n"
              "There's 3000 vertices (36000 bytes)\nThere's 3000 normals (36000 bytes)\nThere's 100 colors (400 bytes)\n"
              "There's 3000 texCoords (24000 bytes)\nTotal vertex memory = 0.09Mb\nGeobunches:\n"
              "There's 4 geobunches (1048576 bytes)\nThere's 3000 vertex indices (12000 bytes)\n"
              "There's 10 mesh sizes (40 bytes)\nTotal geobunch memory = 1.01Mb\nAnimations:\n"
              "There's 1 animated geobunches (262144 bytes)\nThere's 21845 animation vertices (262140 bytes)\n"
              "Total animation memory = 0.50Mb\n--------------------------------\nTotal geometry storage = 1.60Mb\n"
              "\n\nTexture storage\n===============\nThere's 3 textures\nTexture memory needed = 3.50Mb\n");
}

// A reader whose files name other files: reading one reads the ones it names
// through the hook, as an object stream with external references would.
class LinkedFiles : public kessa::KessaDatabaseReader {
public:
    void read(orvel::counted_ptr<kessa::Database>& out, const orvel_string& name) override {
        calls += std::string(name.c_str()) + " ";
        for (const std::string& next : links[name.c_str()]) {
            orvel::counted_ptr<kessa::Database> inner;
            kessa::readExternalDatabase(inner, orvel_string(next.c_str()));
        }
        out = nullptr;
    }
    std::map<std::string, std::vector<std::string>> links;
    std::string calls;
};

// Siblings may name the same file; a cycle of names ends with a log line,
// and once the first read is over the same names can be read again.
TEST(ReadHookTest, TheInstalledReaderIsCalledAndCyclesEnd) {
    LogCapture log;
    LinkedFiles files;
    files.links = {{"room.mdl", {"chair.mdl", "chair.mdl"}}, {"a.mdl", {"b.mdl"}}, {"b.mdl", {"c.mdl", "a.mdl"}}, {"c.mdl", {"c.mdl"}}};
    EXPECT_EQ(kessa::readHook(), nullptr);
    kessa::setReadHook(&files);
    EXPECT_EQ(kessa::readHook(), &files);
    orvel::counted_ptr<kessa::Database> out;
    kessa::readExternalDatabase(out, "room.mdl");
    EXPECT_TRUE(files.calls == "room.mdl chair.mdl chair.mdl " && !out && log.take().empty());
    files.calls.clear();
    kessa::readExternalDatabase(out, "a.mdl");
    kessa::readExternalDatabase(out, "b.mdl");
    kessa::setReadHook(nullptr);
    EXPECT_EQ(files.calls, "a.mdl b.mdl c.mdl b.mdl c.mdl a.mdl ");
    EXPECT_EQ(log.text(), "Database c.mdl refers back to itself - not read again\n"
                          "Database a.mdl refers back to itself - not read again\n"
                          "Database c.mdl refers back to itself - not read again\n"
                          "Database b.mdl refers back to itself - not read again\n");
    EXPECT_FALSE(kessa::optionFlag());
    kessa::enablePolygonArena();
    EXPECT_TRUE(kessa::optionFlag());
    kessa::disablePolygonArena();
}

}  // namespace
