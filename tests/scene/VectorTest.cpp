#include <gtest/gtest.h>

#include <cmath>

#include "scene/Vector.h"
#include "tests/scene/SceneTestUtil.h"

using kessa::Vector;
using kessa_test::vectorNear;

namespace {

TEST(VectorTest, Arithmetic) {
    Vector a(1, 2, 3), b(-4, 5, 0.5);
    EXPECT_EQ(a + b, Vector(-3, 7, 3.5));
    EXPECT_EQ(a - b, Vector(5, -3, 2.5));
    EXPECT_EQ(a * 2, Vector(2, 4, 6));
    EXPECT_EQ(-a, Vector(-1, -2, -3));
    EXPECT_EQ(a.dot(b), 7.5);
    EXPECT_EQ(Vector(1, 0, 0).cross(Vector(0, 1, 0)), Vector(0, 0, 1));
    EXPECT_EQ(Vector(3, 4, 12).length(), 13);
    Vector c = a;
    c[1] = 9;
    EXPECT_EQ(c, Vector(1, 9, 3));
    EXPECT_EQ(c[2], 3);
}

TEST(VectorTest, NormalizeReturnsTheLengthAndLeavesTinyVectorsAlone) {
    Vector v(3, 4, 0);
    EXPECT_EQ(Vector::normalize(v), 5);
    EXPECT_EQ(v, Vector(0.6, 0.8, 0));
    v = Vector(1e-51, 0, 0);
    EXPECT_EQ(Vector::normalize(v), 1e-51 * 1e-51);
    EXPECT_EQ(v, Vector(1e-51, 0, 0));
    Vector zero;
    EXPECT_EQ(Vector::normalize(zero), 0);
    // Just above the limit a direction is found.
    Vector small(1e-49, 0, 0);
    EXPECT_NEAR(Vector::normalize(small), 1e-49, 1e-63);
    EXPECT_TRUE(vectorNear(small, Vector(1, 0, 0), 1e-15));
}

TEST(VectorTest, NormalizeOrZero) {
    Vector v(0, -2, 0);
    EXPECT_EQ(Vector::normalizeOrZero(v), 2);
    EXPECT_EQ(v, Vector(0, -1, 0));
    Vector tiny(1e-51, 1e-51, 0);
    EXPECT_EQ(Vector::normalizeOrZero(tiny), 0);
    EXPECT_EQ(tiny, Vector(0, 0, 0));
}

TEST(VectorTest, NormalizeFloat3) {
    float unit[3] = {0.6f, 0.8f, 0.0f};
    EXPECT_TRUE(kessa::normalizeFloat3(unit));
    EXPECT_EQ(unit[0], 0.6f);
    EXPECT_EQ(unit[1], 0.8f);
    float nearUnit[3] = {1.0000004f, 0, 0};
    EXPECT_TRUE(kessa::normalizeFloat3(nearUnit));
    EXPECT_EQ(nearUnit[0], 1.0000004f);
    float tiny[3] = {1e-10f, 0, 0};
    EXPECT_FALSE(kessa::normalizeFloat3(tiny));
    EXPECT_EQ(tiny[0], 1e-10f);
    float longer[3] = {0, 0, -4};
    EXPECT_TRUE(kessa::normalizeFloat3(longer));
    EXPECT_EQ(longer[2], -1.0f);
}

TEST(VectorTest, ToAngles) {
    double heading, pitch;
    Vector::toAngles(Vector(-1, 0, 0), &heading, &pitch);
    EXPECT_DOUBLE_EQ(heading, 90);
    EXPECT_EQ(pitch, 0);
    Vector::toAngles(Vector(0, 1, 1), &heading, &pitch);
    EXPECT_EQ(heading, 0);
    EXPECT_DOUBLE_EQ(pitch, 45);
    Vector::toAngles(Vector(1, 0, 0), &heading, &pitch);
    EXPECT_DOUBLE_EQ(heading, -90);
    float h, p;
    Vector::toAnglesFloat(Vector(0, -1, -1), &h, &p);
    EXPECT_FLOAT_EQ(std::fabs(h), 180);
    EXPECT_FLOAT_EQ(p, -45);
}

TEST(VectorTest, NormalizePlane) {
    double plane[4] = {10, 0, 3, 4};
    kessa::normalizePlane(plane);
    EXPECT_DOUBLE_EQ(plane[0], 2);
    EXPECT_DOUBLE_EQ(plane[1], 0);
    EXPECT_DOUBLE_EQ(plane[2], 0.6);
    EXPECT_DOUBLE_EQ(plane[3], 0.8);
    // Already unit length in single precision: left exactly as it was.
    double nearUnit[4] = {5, 1.0000001, 0, 0};
    kessa::normalizePlane(nearUnit);
    EXPECT_EQ(nearUnit[0], 5);
    EXPECT_EQ(nearUnit[1], 1.0000001);
    double degenerate[4] = {7, 0, 0, 0};
    kessa::normalizePlane(degenerate);
    EXPECT_EQ(degenerate[0], 7);
}

}  // namespace
