#include <gtest/gtest.h>

#include <string>

#include "scene/StorageStats.h"
#include "tests/support/LogCapture.h"

using kessa::StorageStats;

namespace {

void geometry(StorageStats& s) {
    s.triangles += 1000;
    s.vertices += 3000;
    s.vertexBytes += 36000;
    s.normals += 3000;
    s.normalBytes += 36000;
    s.colors += 100;
    s.colorBytes += 400;
    s.texCoords += 3000;
    s.texCoordBytes += 24000;
    s.bunches += 4;
    s.bunchBytes += 1048576;
    s.indices += 3000;
    s.indexBytes += 12000;
    s.meshSizes += 10;
    s.meshSizeBytes += 40;
    s.animatedBunches += 1;
    s.animatedBunchBytes += 262144;
    s.animationVertices += 21845;
    s.animationVertexBytes += 262140;
}

void textures(StorageStats& s) {
    s.textures += 3;
    s.textureBytes += 3 * 1048576.0 + 524288;
}

TEST(StorageStatsTest, SourcesAreSummedIntoTotals) {
    kessa::addStorageSource(geometry);
    kessa::addStorageSource(textures);
    kessa::addStorageSource(geometry);  // counted once
    StorageStats stats;
    stats.triangles = 99;
    kessa::getStorageStats(stats);
    EXPECT_EQ(stats.triangles, 1000);
    EXPECT_EQ(stats.textures, 3);
    EXPECT_DOUBLE_EQ(stats.vertexMegabytes, 96400 / 1048576.0);
    EXPECT_DOUBLE_EQ(stats.bunchMegabytes, (1048576 + 12000 + 40) / 1048576.0);
    EXPECT_DOUBLE_EQ(stats.animationMegabytes, 524284 / 1048576.0);

    LogCapture log;
    stats.print();
    const char* expected =
        "\n\n"
        "Geometry storage\n"
        "================\n"
        "Triangles:\n"
        "There's 1000 triangles\n"
        "Vertices:\n"
        "There's 3000 vertices (36000 bytes)\n"
        "There's 3000 normals (36000 bytes)\n"
        "There's 100 colors (400 bytes)\n"
        "There's 3000 texCoords (24000 bytes)\n"
        "Total vertex memory = 0.09Mb\n"
        "Geobunches:\n"
        "There's 4 geobunches (1048576 bytes)\n"
        "There's 3000 vertex indices (12000 bytes)\n"
        "There's 10 mesh sizes (40 bytes)\n"
        "Total geobunch memory = 1.01Mb\n"
        "Animations:\n"
        "There's 1 animated geobunches (262144 bytes)\n"
        "There's 21845 animation vertices (262140 bytes)\n"
        "Total animation memory = 0.50Mb\n"
        "--------------------------------\n"
        "Total geometry storage = 1.60Mb\n"
        "\n\n"
        "Texture storage\n"
        "===============\n"
        "There's 3 textures\n"
        "Texture memory needed = 3.50Mb\n";
    EXPECT_EQ(log.text(), expected);
}

TEST(StorageStatsTest, EmptyRecordPrintsZeros) {
    StorageStats stats;
    stats.computeTotals();
    LogCapture log;
    stats.print();
    std::string text = log.text();
    EXPECT_NE(text.find("There's 0 triangles\n"), std::string::npos);
    EXPECT_NE(text.find("Total geometry storage = 0.00Mb\n"), std::string::npos);
    const std::string last = "Texture memory needed = 0.00Mb\n";
    ASSERT_GE(text.size(), last.size());
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
}

}  // namespace
