#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "scene/Bounds.h"
#include "scene/Matrix.h"
#include "tests/scene/SceneTestUtil.h"

using kessa::Bounds;
using kessa::Matrix;
using kessa::Vector;
using kessa_test::box;
using kessa_test::boxIs;
using kessa_test::vectorNear;

namespace {

Bounds sphereBox(const Vector& min, const Vector& max, const Vector& centre, double radius) {
    Bounds b = box(min, max);
    b.setSphere(centre, radius);
    return b;
}

// Clearing empties a record but keeps its box.
TEST(BoundsTest, EmptyRecord) {
    Bounds b;
    EXPECT_FALSE(b.valid());
    EXPECT_FALSE(b.hasSphere());
    EXPECT_EQ(b.min(), Vector(0, 0, 0));
    EXPECT_EQ(b.max(), Vector(0, 0, 0));
    EXPECT_EQ(b.centre(), Vector(0, 0, 0));
    EXPECT_EQ(b.radius(), 1);
    EXPECT_EQ(b.radiusSquared(), 1);
    Bounds cleared = sphereBox(Vector(0, 0, 0), Vector(2, 2, 2), Vector(1, 1, 1), 5);
    cleared.clear();
    EXPECT_EQ(cleared, b);
    EXPECT_FALSE(cleared.hasSphere());
    EXPECT_EQ(cleared.radius(), 1);
    EXPECT_EQ(cleared.max(), Vector(2, 2, 2));
}

TEST(BoundsTest, SetDerivesTheSphere) {
    Bounds b = box(Vector(0, 0, 0), Vector(2, 2, 2));
    EXPECT_TRUE(b.valid());
    EXPECT_FALSE(b.hasSphere());
    EXPECT_EQ(b.centre(), Vector(1, 1, 1));
    EXPECT_EQ(b.radiusSquared(), 3);
    EXPECT_EQ(b.radius(), std::sqrt(3.0));
}

TEST(BoundsTest, SphereNeedsAValidRecord) {
    Bounds b;
    b.setSphere(Vector(1, 2, 3), 4);
    EXPECT_FALSE(b.valid());
    EXPECT_FALSE(b.hasSphere());
    EXPECT_EQ(b.radius(), 1);
    b = box(Vector(0, 0, 0), Vector(1, 1, 1));
    b.setSphere(Vector(1, 2, 3), 4);
    EXPECT_TRUE(b.hasSphere());
    EXPECT_EQ(b.centre(), Vector(1, 2, 3));
    EXPECT_EQ(b.radiusSquared(), 16);
}

TEST(BoundsTest, CornerOrder) {
    Bounds b = box(Vector(-1, -2, -3), Vector(1, 2, 3));
    EXPECT_EQ(b.corner(0), Vector(1, 2, 3));
    EXPECT_EQ(b.corner(1), Vector(-1, 2, 3));
    EXPECT_EQ(b.corner(2), Vector(1, -2, 3));
    EXPECT_EQ(b.corner(3), Vector(-1, -2, 3));
    EXPECT_EQ(b.corner(4), Vector(1, 2, -3));
    EXPECT_EQ(b.corner(7), Vector(-1, -2, -3));
    b.set(Vector(0, 0, 0), Vector(5, 5, 5));
    EXPECT_EQ(b.corner(0), Vector(5, 5, 5));
    EXPECT_EQ(b.corner(7), Vector(0, 0, 0));
}

TEST(BoundsTest, ExtendUnitesBoxesAndSpheres) {
    Bounds a = sphereBox(Vector(-1, -1, -1), Vector(1, 1, 1), Vector(0, 0, 0), 1);
    Bounds b = sphereBox(Vector(2, -1, -1), Vector(4, 1, 1), Vector(3, 0, 0), 1);
    a.extend(b);
    EXPECT_TRUE(a.hasSphere());
    EXPECT_TRUE(boxIs(a, Vector(-1, -1, -1), Vector(4, 1, 1)));
    EXPECT_TRUE(vectorNear(a.centre(), Vector(1.5, 0, 0), 1e-15));
    EXPECT_DOUBLE_EQ(a.radius(), 2.5);
    EXPECT_DOUBLE_EQ(a.radiusSquared(), 6.25);
    EXPECT_EQ(a.corner(0), Vector(4, 1, 1));
}

TEST(BoundsTest, ExtendEmptyAndByEmpty) {
    Bounds b = sphereBox(Vector(2, -1, -1), Vector(4, 1, 1), Vector(3, 0, 0), 1);
    Bounds empty;
    empty.extend(b);
    EXPECT_EQ(empty, b);
    EXPECT_TRUE(empty.hasSphere());
    EXPECT_EQ(empty.corner(7), Vector(2, -1, -1));
    Bounds before = b;
    b.extend(Bounds());
    EXPECT_EQ(b, before);
}

TEST(BoundsTest, ExtendKeepsOrTakesAContainingSphere) {
    Bounds big = sphereBox(Vector(-5, -5, -5), Vector(5, 5, 5), Vector(0, 0, 0), 5);
    Bounds small = sphereBox(Vector(1, 1, 1), Vector(2, 2, 2), Vector(1.5, 1.5, 1.5), 0.5);
    Bounds a = big;
    a.extend(small);
    EXPECT_EQ(a.centre(), Vector(0, 0, 0));
    EXPECT_EQ(a.radius(), 5);
    Bounds b = small;
    b.extend(big);
    EXPECT_EQ(b.centre(), Vector(0, 0, 0));
    EXPECT_EQ(b.radius(), 5);
    EXPECT_EQ(b.min(), Vector(-5, -5, -5));
    // Same centre: the larger radius.
    Bounds c = sphereBox(Vector(-1, -1, -1), Vector(1, 1, 1), Vector(0, 0, 0), 1);
    c.extend(sphereBox(Vector(-1, -1, -1), Vector(1, 1, 1), Vector(0, 0, 0), 3));
    EXPECT_EQ(c.radius(), 3);
    EXPECT_EQ(c.radiusSquared(), 9);
    EXPECT_TRUE(c.hasSphere());
}

TEST(BoundsTest, ExtendedSphereHoldsBothSpheres) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> pos(-10, 10), size(0.1, 4);
    for (int n = 0; n < 500; ++n) {
        Vector c1(pos(rng), pos(rng), pos(rng)), c2(pos(rng), pos(rng), pos(rng));
        double r1 = size(rng), r2 = size(rng);
        Bounds a = sphereBox(c1 - Vector(r1, r1, r1), c1 + Vector(r1, r1, r1), c1, r1);
        Bounds b = sphereBox(c2 - Vector(r2, r2, r2), c2 + Vector(r2, r2, r2), c2, r2);
        a.extend(b);
        double slack = 1e-9;
        ASSERT_LE((c1 - a.centre()).length() + r1, a.radius() + slack);
        ASSERT_LE((c2 - a.centre()).length() + r2, a.radius() + slack);
        ASSERT_LE(a.radius(), ((c1 - c2).length() + r1 + r2) / 2 + std::max(r1, r2) + slack);
    }
}

TEST(BoundsTest, SetTransformedByRotation) {
    Bounds b = box(Vector(0, 0, 0), Vector(2, 1, 1));
    Matrix m;
    m.setRotation(90, Vector(0, 0, 1));
    Bounds t;
    t.setTransformed(b, m);
    EXPECT_TRUE(t.valid());
    EXPECT_FALSE(t.hasSphere());
    EXPECT_TRUE(vectorNear(t.min(), Vector(-1, 0, 0), 1e-15));
    EXPECT_TRUE(vectorNear(t.max(), Vector(0, 2, 1), 1e-15));
    EXPECT_TRUE(vectorNear(t.centre(), Vector(-0.5, 1, 0.5), 1e-15));
}

TEST(BoundsTest, SetTransformedDropsAnExplicitSphere) {
    Bounds b = sphereBox(Vector(-1, -1, -1), Vector(1, 1, 1), Vector(0, 0, 0), 1);
    Matrix m;
    m.setTranslation(Vector(10, 0, 0));
    b.setTransformed(b, m);
    EXPECT_FALSE(b.hasSphere());
    EXPECT_TRUE(boxIs(b, Vector(9, -1, -1), Vector(11, 1, 1)));
    EXPECT_DOUBLE_EQ(b.radiusSquared(), 3);
}

TEST(BoundsTest, SetTransformedOfEmptyIsEmptyAndNotCounted) {
    Bounds t = box(Vector(0, 0, 0), Vector(1, 1, 1));
    unsigned long before = Bounds::transformCount();
    t.setTransformed(Bounds(), Matrix());
    EXPECT_FALSE(t.valid());
    EXPECT_EQ(t.radius(), 1);
    EXPECT_EQ(Bounds::transformCount(), before);
    t.setTransformed(box(Vector(0, 0, 0), Vector(1, 1, 1)), Matrix());
    EXPECT_EQ(Bounds::transformCount(), before + 1);
    EXPECT_EQ(t, box(Vector(0, 0, 0), Vector(1, 1, 1)));
}

// The box must be exactly the one around the eight transformed corners.
TEST(BoundsTest, SetTransformedEqualsTheCornerBoxExactly) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> pos(-100, 100), angle(-180, 180), scale(-3, 3);
    for (int n = 0; n < 2000; ++n) {
        Matrix m;
        m.setRotation(angle(rng), Vector(pos(rng), pos(rng), pos(rng)));
        if (n % 3 == 1)
            m.translate(Vector(pos(rng), pos(rng), pos(rng)));
        if (n % 3 == 2)
            m.scale(Vector(scale(rng), scale(rng), scale(rng)));
        Vector lo(pos(rng), pos(rng), pos(rng));
        Bounds source = box(lo, lo + Vector(std::fabs(pos(rng)), std::fabs(pos(rng)), std::fabs(pos(rng))));
        Vector expectMin(1e300, 1e300, 1e300), expectMax(-1e300, -1e300, -1e300);
        for (int i = 0; i < 8; ++i) {
            Vector p;
            Matrix::transformPoint(p, source.corner(i), m);
            for (int k = 0; k < 3; ++k) {
                expectMin[k] = std::min(expectMin[k], p[k]);
                expectMax[k] = std::max(expectMax[k], p[k]);
            }
        }
        Bounds t;
        t.setTransformed(source, m);
        ASSERT_EQ(t.min(), expectMin) << n;
        ASSERT_EQ(t.max(), expectMax) << n;
    }
}

TEST(BoundsTest, ExtendWithMargin) {
    Bounds b = box(Vector(0, 0, 0), Vector(1, 1, 1));
    EXPECT_TRUE(b.extendWithMargin(box(Vector(-1, 0, 0), Vector(0.5, 1, 1)), 0.1));
    EXPECT_DOUBLE_EQ(b.min().x, -1.15);
    EXPECT_EQ(b.min().y, 0);
    EXPECT_EQ(b.max(), Vector(1, 1, 1));
    EXPECT_DOUBLE_EQ(b.centre().x, (-1.15 + 1) / 2);
    EXPECT_FALSE(b.hasSphere());
    // Inside: nothing moves.
    Bounds before = b;
    EXPECT_FALSE(b.extendWithMargin(box(Vector(0, 0.2, 0.2), Vector(0.5, 0.8, 0.8)), 0.1));
    EXPECT_EQ(b, before);
    EXPECT_FALSE(b.extendWithMargin(Bounds(), 0.1));
    EXPECT_EQ(b, before);
    // An empty record takes the other with its margins.
    Bounds empty;
    EXPECT_TRUE(empty.extendWithMargin(box(Vector(0, 0, 0), Vector(2, 4, 6)), 0.5));
    EXPECT_TRUE(boxIs(empty, Vector(-1, -2, -3), Vector(3, 6, 9)));
}

TEST(BoundsTest, ExtendWithMarginZeroIsAPlainUnion) {
    Bounds b = sphereBox(Vector(0, 0, 0), Vector(1, 1, 1), Vector(0.5, 0.5, 0.5), 0.1);
    EXPECT_TRUE(b.extendWithMargin(box(Vector(0.5, 0.5, 0.5), Vector(3, 1, 2)), 0));
    EXPECT_TRUE(boxIs(b, Vector(0, 0, 0), Vector(3, 1, 2)));
    EXPECT_FALSE(b.hasSphere());
    EXPECT_EQ(b.centre(), Vector(1.5, 0.5, 1));
    EXPECT_EQ(b.corner(0), Vector(3, 1, 2));
}

TEST(BoundsTest, IntersectsNeedsBothValidAndTestsTheBoxesOnEveryAxis) {
    Bounds a = box(Vector(0, 0, 0), Vector(1, 1, 1));
    EXPECT_TRUE(a.intersects(a));
    EXPECT_FALSE(a.intersects(Bounds()));
    EXPECT_FALSE(Bounds().intersects(a));
    EXPECT_TRUE(a.intersects(box(Vector(1, 1, 1), Vector(2, 2, 2))));  // touching counts
    EXPECT_FALSE(a.intersects(box(Vector(1.5, 0, 0), Vector(2, 1, 1))));
    EXPECT_FALSE(a.intersects(box(Vector(0, -2, 0), Vector(1, -0.1, 1))));
    EXPECT_FALSE(a.intersects(box(Vector(0, 0, 1.01), Vector(1, 1, 2))));
    EXPECT_TRUE(a.intersects(box(Vector(0.2, 0.2, -5), Vector(0.4, 0.4, 5))));
}

TEST(BoundsTest, SpheresOverlapWithinTheSumOfTheirRadii) {
    // Boxes overlap in both cases; the spheres decide.
    Bounds a = sphereBox(Vector(-1, -1, -1), Vector(1, 1, 1), Vector(0, 0, 0), 1);
    Bounds near = sphereBox(Vector(0.8, -1, -1), Vector(2.8, 1, 1), Vector(1.8, 0, 0), 1);
    EXPECT_TRUE(a.intersects(near));
    EXPECT_TRUE(near.intersects(a));
    Bounds touching = sphereBox(Vector(0.5, -1, -1), Vector(3, 1, 1), Vector(2, 0, 0), 1);
    EXPECT_TRUE(a.intersects(touching));
    Bounds apart = sphereBox(Vector(0.9, -1, -1), Vector(3, 1, 1), Vector(2.5, 0, 0), 1);
    EXPECT_FALSE(a.intersects(apart));
    // Without a sphere of its own on one side the boxes alone decide.
    EXPECT_TRUE(a.intersects(box(Vector(0.9, -1, -1), Vector(3, 1, 1))));
}

TEST(BoundsTest, EqualityIgnoresLeftoversOfEmptyRecords) {
    Bounds a = box(Vector(0, 0, 0), Vector(1, 1, 1));
    Bounds b = box(Vector(0, 0, 0), Vector(1, 1, 1));
    EXPECT_EQ(a, b);
    b.setSphere(b.centre(), b.radius());
    EXPECT_NE(a, b);
    a.clear();
    EXPECT_NE(a, b);
    b.clear();
    EXPECT_EQ(a, b);
}

}  // namespace
