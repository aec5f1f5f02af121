#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scene/NoiseTable.h"
#include "scene/Random.h"

using kessa::NoiseTable;

namespace {

const NoiseTable& table() { return NoiseTable::shared(); }

TEST(NoiseTableTest, EntriesAreDrawnInOrderFromTheDefaultSeed) {
    EXPECT_FLOAT_EQ(table().at(0, 0, 0), 0.77541583776474f);
    EXPECT_EQ(table().at(0, 0, 1), 0.3620392680168152f);
    EXPECT_EQ(table().at(0, 1, 0), 0.6146014332771301f);  // draw 66
    EXPECT_EQ(table().at(1, 0, 0), 0.6129962205886841f);  // draw 4226
    kessa::Random random(12345678);
    for (int z = 0; z < 64; ++z)
        ASSERT_EQ(table().at(0, 0, z), random.next()) << z;
}

TEST(NoiseTableTest, FarFacesRepeatTheNearOnes) {
    for (int a = 0; a < 65; a += 7)
        for (int b = 0; b < 65; b += 5) {
            ASSERT_EQ(table().at(64, a, b), table().at(0, a % 64, b % 64));
            ASSERT_EQ(table().at(a, 64, b), table().at(a % 64, 0, b % 64));
            ASSERT_EQ(table().at(a, b, 64), table().at(a % 64, b % 64, 0));
        }
    EXPECT_EQ(table().at(64, 64, 64), table().at(0, 0, 0));
}

TEST(NoiseTableTest, SampleValues) {
    EXPECT_NEAR(table().sample(0, 0, 0), 0.775415838, 1e-9);
    EXPECT_NEAR(table().sample(0.5f / 64, 0, 0), 0.694206029, 1e-9);
    EXPECT_NEAR(table().sample(0, 0, 0.5f / 64), 0.568727553, 1e-9);
    // Cell corners give the table's entries.
    EXPECT_DOUBLE_EQ(table().sample(3.0f / 64, 5.0f / 64, 7.0f / 64), table().at(3, 5, 7));
}

TEST(NoiseTableTest, TrilinearInTheCell) {
    float fx = 0.25f, fy = 0.5f, fz = 0.75f;
    double expected = 0;
    for (int i = 0; i < 8; ++i) {
        int dx = i & 1, dy = (i >> 1) & 1, dz = (i >> 2) & 1;
        double w = (dx ? fx : 1 - fx) * (dy ? fy : 1 - fy) * (dz ? fz : 1 - fz);
        expected += w * table().at(10 + dx, 20 + dy, 30 + dz);
    }
    EXPECT_NEAR(table().sample((10 + fx) / 64, (20 + fy) / 64, (30 + fz) / 64), expected, 1e-6);
}

TEST(NoiseTableTest, RepeatsEveryUnit) {
    EXPECT_EQ(table().sample(1, 0, 0), table().sample(0, 0, 0));
    EXPECT_EQ(table().sample(0.375f, 0.6f, 0.9f), table().sample(3.375f, 0.6f, 0.9f));
    EXPECT_NEAR(table().sample(5.25f, -3.5f, 0.125f), table().sample(0.25f, 0.5f, 0.125f), 1e-6);
}

TEST(NoiseTableTest, NegativeCoordinatesWrapIntoTheLastCell) {
    double expected = (table().at(63, 0, 0) + table().at(64, 0, 0)) / 2;
    EXPECT_NEAR(table().sample(-0.5f / 64, 0, 0), expected, 1e-7);
    for (float x = -2; x < 2; x += 0.01f) {
        double v = table().sample(x, x * 0.5f, -x);
        ASSERT_GE(v, 0) << x;
        ASSERT_LT(v, 1) << x;
    }
}

TEST(NoiseTableTest, HugeAndNonFiniteCoordinatesStayInTheTable) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float v : {inf, -inf, nan, 3e38f, -3e38f, 1e9f}) {
        double s = table().sample(v, v, v);
        EXPECT_TRUE(std::isfinite(s)) << v;
        EXPECT_GE(s, 0) << v;
        EXPECT_LT(s, 1) << v;
    }
}

TEST(NoiseTableTest, UnbuiltTableGivesZero) {
    NoiseTable empty;
    EXPECT_EQ(empty.sample(0.5f, 0.5f, 0.5f), 0);
}

}  // namespace
