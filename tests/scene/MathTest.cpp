// Matrices, vectors, placements and bounds, as properties against plain
// references (the full 4 x 4 product, the eight corners of a box) over
// random samples, the special cases as rows, and their stream forms.
#include <gtest/gtest.h>

#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "scene/Matrix.h"
#include "scene/Placement.h"
#include "tests/scene/SceneTest.h"
#include "tests/support/LogCapture.h"

using namespace kessa_test;
using kessa::Bounds;
using kessa::Matrix;
using kessa::Placement;

namespace {

Matrix fromValues(std::initializer_list<double> v) {
    Matrix m;
    m.set(std::vector<double>(v).data());
    return m;
}

// A random matrix of a kind, built through the operations that give it.
Matrix randomOfKind(int kind, std::mt19937& random) {
    std::uniform_real_distribution<double> u(-1, 1);
    Matrix m;
    if (kind == Matrix::General) {
        double v[16];
        for (double& x : v)
            x = u(random) * 3;
        m.set(v);
        return m;
    }
    if (kind >= Matrix::Rotation)
        m.setRotation(u(random) * 180, Vector(u(random), u(random), u(random)));
    if (kind >= Matrix::Affine)
        m.scale(Vector(0.1 + 5 * std::fabs(u(random)), 0.1 + 5 * std::fabs(u(random)), 0.1 + 5 * std::fabs(u(random))));
    if (kind >= Matrix::RotationTranslation)
        m.translate(Vector(u(random), u(random), u(random)) * 1000);
    return m;
}

::testing::AssertionResult near(const Matrix& a, const Matrix& b, double tolerance) {
    for (int i = 0; i < 16; ++i)
        if (!(std::fabs(a.values()[i] - b.values()[i]) <= tolerance * (1 + std::fabs(b.values()[i]))))
            return ::testing::AssertionFailure() << "value " << i << ": " << a.values()[i] << " vs " << b.values()[i];
    return ::testing::AssertionSuccess();
}

// The plain product, every term summed.
Matrix product(const Matrix& a, const Matrix& b) {
    double v[16];
    for (int i = 0; i < 16; ++i)
        v[i] = a(i / 4, 0) * b(0, i % 4) + a(i / 4, 1) * b(1, i % 4) + a(i / 4, 2) * b(2, i % 4) + a(i / 4, 3) * b(3, i % 4);
    return fromValues({v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11], v[12], v[13], v[14], v[15]});
}

Vector transformed(const Vector& p, const Matrix& m) {
    Vector out;
    Matrix::transformPoint(out, p, m);
    return out;
}

// The kind of a product is the wider of the two; the short paths leave out
// only terms that are exactly zero; a product may overwrite either operand.
// Each operation in place is the product with the matrix it stands for
// (the plain forms multiply on the right, the pre- forms on the left). An
// inverse keeps the kind and undoes the matrix, an affine one with exactly
// the fourth column of one; a matrix may be inverted into itself.
TEST(MatrixTest, ProductsOperationsAndInversesAgainstThePlainProduct) {
    std::mt19937 random(16);
    std::uniform_real_distribution<double> u(-1, 1);
    const Matrix identity;
    for (int round = 0; round < 400; ++round)
        for (int ka = 0; ka < 5; ++ka) {
            const Matrix a = randomOfKind(ka, random);
            ASSERT_EQ(a.kind(), ka);
            for (int kb = 0; kb < 5; ++kb) {
                const Matrix b = randomOfKind(kb, random);
                Matrix c, first = a, second = b;
                c.multiply(a, b);
                first.multiply(first, b);
                second.multiply(a, second);
                ASSERT_EQ(c.kind(), std::max(ka, kb)) << ka << " x " << kb;
                ASSERT_TRUE(near(c, product(a, b), 0) && first == c && second == c) << ka << " x " << kb;
            }
            Matrix inverse, in = a;
            a.invert(inverse);
            in.invert(in);
            ASSERT_TRUE(inverse.kind() == ka && in == inverse) << ka;
            ASSERT_TRUE(near(product(a, inverse), identity, 1e-9) && near(product(inverse, a), identity, 1e-9)) << ka;
            for (int r = 0; ka == Matrix::Affine && r < 4; ++r)
                ASSERT_EQ(inverse(r, 3), r == 3 ? 1.0 : 0.0) << "round " << round << ", row " << r;
            const Vector v(u(random), u(random), u(random)), axis(u(random), u(random), u(random));
            const double angle = u(random) * 180;
            Matrix t, s, rot;
            t.setTranslation(v);
            s.scale(v);
            rot.setRotation(angle, axis);
            const struct {
                void (*apply)(Matrix&, const Vector&, const Vector&, double);
                const Matrix& by;
                bool pre;
            } rows[] = {
                {[](Matrix& m, const Vector& v, const Vector&, double) { m.translate(v); }, t, false},
                {[](Matrix& m, const Vector& v, const Vector&, double) { m.preTranslate(v); }, t, true},
                {[](Matrix& m, const Vector& v, const Vector&, double) { m.scale(v); }, s, false},
                {[](Matrix& m, const Vector& v, const Vector&, double) { m.preScale(v); }, s, true},
                {[](Matrix& m, const Vector&, const Vector& a, double d) { m.rotate(d, a); }, rot, false},
                {[](Matrix& m, const Vector&, const Vector& a, double d) { m.preRotate(d, a); }, rot, true},
            };
            for (const auto& op : rows) {
                Matrix m = a;
                op.apply(m, v, axis, angle);
                const Matrix expected = op.pre ? product(op.by, a) : product(a, op.by);
                ASSERT_TRUE(near(m, expected, 1e-14) && m.kind() == std::max(ka, op.by.kind())) << ka << " op " << &op - rows;
            }
            // Points: each kind's bulk transform is the single one, a general
            // matrix's divides by the homogeneous w.
            const Vector points[3] = {v * 100, axis, Vector()};
            Vector out[3];
            a.transformPoints(points, out, 3);
            for (int i = 0; i < 3; ++i) {
                const double in4[4] = {points[i].x, points[i].y, points[i].z, 1};
                double h[4];
                Matrix::transformPoint4(h, in4, a);
                ASSERT_TRUE(vectorNear(out[i], Vector(h[0], h[1], h[2]) * (1 / h[3]), 1e-9 * (1 + out[i].length())));
                ASSERT_TRUE(ka == Matrix::General || vectorNear(out[i], transformed(points[i], a), 0));
            }
        }
}

TEST(MatrixTest, SpecialCases) {
    const double s = std::sqrt(1.00000000000005), t = std::sqrt(1.0000000000002);
    const struct {
        Matrix m;
        int kind;
    } kinds[] = {
        {fromValues({s, 0, 0, 0, 0, s, 0, 0, 0, 0, s, 0, 0, 0, 0, 1}), Matrix::Rotation},
        {fromValues({s, 0, 0, 0, 0, s, 0, 0, 0, 0, s, 0, 1, 0, 0, 1}), Matrix::RotationTranslation},
        {fromValues({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}), Matrix::Affine},
        {fromValues({t, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}), Matrix::Affine},
        {fromValues({1, 0, 0, 1e-30, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}), Matrix::General},
        {fromValues({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2}), Matrix::General},
        {fromValues({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}), Matrix::Identity},
        {fromValues({0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}), Matrix::Rotation},
        // Unit rows that are not orthogonal: the transpose would not undo it.
        {fromValues({1, 0, 0, 0, 0.6, 0.8, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}), Matrix::Affine},
        // Zero on the diagonal: elimination must pick another pivot row.
        {fromValues({0, 2, 0, 0, 3, 0, 0, 0, 0, 0, 4, 0, 5, 6, 7, 1}), Matrix::Affine},
    };
    for (const auto& k : kinds) {
        Matrix inverse;
        k.m.invert(inverse);
        EXPECT_TRUE(k.m.kind() == k.kind && near(product(k.m, inverse), Matrix(), 1e-13)) << &k - kinds;
    }
    Matrix m;
    m.setTranslation(Vector(0, 0, 0));
    EXPECT_TRUE(m.kind() == Matrix::RotationTranslation && !m.isIdentity() && m != Matrix() && Matrix().classify() == Matrix::Identity);
    // Singular matrices invert to the identity.
    Matrix inverse = kinds[2].m;
    m.setIdentity();
    m.scale(Vector(1, 0, 1));
    m.invert(inverse);
    EXPECT_TRUE(inverse.isIdentity() && inverse.kind() == Matrix::Identity);
    fromValues({1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 1, 1, 0, 0, 1}).invert(inverse);
    EXPECT_TRUE(inverse.isIdentity());
    // Rotations about z, x and a diagonal; an axis is normalised or refused.
    m.setRotation(90, Vector(0, 0, 1));
    EXPECT_TRUE(near(m, fromValues({0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}), 1e-16) && m.kind() == Matrix::Rotation);
    Matrix same;
    same.setRotation(90, Vector(0, 0, 2));
    EXPECT_EQ(same, m);
    m.setRotation(90, Vector(1, 0, 0));
    EXPECT_TRUE(vectorNear(transformed({0, 1, 0}, m), {0, 0, 1}, 1e-16));
    m.setRotation(120, Vector(1, 1, 1));
    EXPECT_TRUE(vectorNear(transformed({1, 0, 0}, m), {0, 1, 0}, 1e-15) && vectorNear(transformed({0, 0, 1}, m), {1, 0, 0}, 1e-15));
    for (const Vector& none : {Vector(0, 0, 0), Vector(1e-60, 0, 0)}) {
        m.setRotation(30, none);
        EXPECT_TRUE(m.isIdentity() && m.kind() == Matrix::Identity);
    }
    // The product applies the left operand first.
    Matrix turn, move, both;
    turn.setRotation(90, Vector(0, 0, 1));
    move.setTranslation(Vector(10, 0, 0));
    both.multiply(turn, move);
    EXPECT_TRUE(vectorNear(transformed({1, 0, 0}, both), {10, 1, 0}, 1e-15));
    // A partial triangle at the end is not read.
    const float triangles[18] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 2, 0, 0, 0, 2, 0, 0, 0, 2}, expected[18] = {10, 1, 0, 9, 0, 0, 10, 0, 1, 10, 2, 0, 8, 0, 0, 10, 0, 2};
    float out[19];
    out[18] = 99;
    kessa::transformTriangles(triangles, triangles + 18, out, both);
    for (int i = 0; i < 18; ++i)
        EXPECT_NEAR(out[i], expected[i], 1e-6) << i;
    out[0] = -1;
    kessa::transformTriangles(triangles, triangles + 8, out, both);
    EXPECT_TRUE(out[18] == 99 && out[0] == -1);
}

// Euler angles against published values; row 1 is the forward direction of
// a camera with that pitch and heading; placements come apart again.
TEST(MatrixTest, EulerAnglesAndPlacements) {
    Matrix m, r, coarse;
    m.setEuler(30, 20, 40);
    EXPECT_TRUE(m.kind() == Matrix::Rotation && m.classify() == Matrix::Rotation);
    EXPECT_TRUE(near(m, fromValues({0.553490792972, 0.687671714341, -0.469846310393, 0, -0.604022773555, 0.719846310393,
                                   0.342020143326, 0, 0.573414711288, 0.094492871206, 0.813797681349, 0, 0, 0, 0, 1}), 1e-11));
    coarse.setEulerFloat(30, 20, 40);
    EXPECT_TRUE(coarse.kind() == Matrix::Rotation && near(coarse, m, 1e-6) && coarse != m);
    EXPECT_EQ(coarse(1, 2), double(float(std::sin(20 * 3.141592653589793 / 180))));
    r.setRotation(90, Vector(0, 0, 1));
    m.setEuler(0, 0, 90);
    EXPECT_TRUE(near(m, r, 1e-16));
    Placement p;
    p.position = Vector(1, 2, 3);
    p.pitch = 20, p.roll = 30, p.heading = 40;
    p.scale = Vector(2, 3, 4);
    Vector forward, scale;
    p.direction(forward);
    m.setPlacement(p);
    r.setEuler(30, 20, 40);
    EXPECT_TRUE(m.kind() == Matrix::Affine && m.translation() == Vector(1, 2, 3) && vectorNear(r.row(1), forward, 1e-15));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(vectorNear(m.row(i), r.row(i) * p.scale[i], 1e-15)) << i;
    m.getScale(scale);
    Placement back;
    back.setFromMatrix(m);
    EXPECT_TRUE(vectorNear(scale, {2, 3, 4}, 1e-14) && vectorNear(back.scale, p.scale, 1e-14) && back.position == p.position);
    EXPECT_TRUE(std::fabs(back.pitch - 20) + std::fabs(back.roll - 30) + std::fabs(back.heading - 40) < 1e-11);
    for (double pitch = -85; pitch <= 85; pitch += 17)
        for (double roll = -170; roll <= 170; roll += 34)
            for (double heading = -175; heading <= 175; heading += 35) {
                p = Placement();
                p.pitch = pitch, p.roll = roll, p.heading = heading;
                p.position = Vector(pitch, roll, heading);
                m.setPlacement(p);
                back.setFromMatrix(m);
                ASSERT_TRUE(m.kind() == Matrix::RotationTranslation && back.scale == Vector(1, 1, 1));
                ASSERT_LT(std::fabs(back.pitch - pitch) + std::fabs(back.roll - roll) + std::fabs(back.heading - heading), 1e-9);
            }
    // At pitch 90 the heading's sign is lost; scale comes from the rows' lengths.
    p = Placement();
    p.pitch = 90, p.heading = -30;
    m.setPlacement(p);
    back.setFromMatrix(m);
    EXPECT_TRUE(std::fabs(back.pitch - 90) < 1e-6 && back.roll == 0 && std::fabs(back.heading - 30) < 1e-9);
    m.setEuler(10, 20, 30);
    back.setFromMatrix(m);
    EXPECT_TRUE(back.scale == Vector(1, 1, 1) && back.position == Vector() && std::fabs(back.heading - 30) < 1e-12) << "a rotation alone";
    m.setIdentity();
    m.scale(Vector(0, -2, 3));
    m.getScale(scale);
    EXPECT_EQ(scale, Vector(1, 2, 3));
    p.pitch = 45, p.heading = 0;
    p.direction(forward);
    EXPECT_TRUE(vectorNear(forward, Vector(0, std::sqrt(0.5), std::sqrt(0.5)), 1e-15));
}

TEST(VectorTest, ArithmeticNormalisingAndAngles) {
    Vector a(1, 2, 3), b(-4, 5, 0.5), c = a;
    c[1] = 9;
    EXPECT_TRUE(a + b == Vector(-3, 7, 3.5) && a - b == Vector(5, -3, 2.5) && a * 2 == Vector(2, 4, 6) && -a == Vector(-1, -2, -3));
    EXPECT_TRUE(a.dot(b) == 7.5 && Vector(1, 0, 0).cross(Vector(0, 1, 0)) == Vector(0, 0, 1) && Vector(3, 4, 12).length() == 13);
    EXPECT_TRUE(c == Vector(1, 9, 3) && c[2] == 3);
    // Lengths below 1e-50 are left alone (the squared length comes back).
    const struct {
        Vector in, out;
        double result, zeroed;
    } rows[] = {{{3, 4, 0}, {0.6, 0.8, 0}, 5, 5},   {{1e-51, 0, 0}, {1e-51, 0, 0}, 1e-102, 0},
                {{0, 0, 0}, {0, 0, 0}, 0, 0},       {{1e-49, 0, 0}, {1, 0, 0}, 1e-49, 1e-49},
                {{0, -2, 0}, {0, -1, 0}, 2, 2}};
    for (const auto& r : rows) {
        Vector v = r.in, w = r.in;
        EXPECT_NEAR(Vector::normalize(v), r.result, 1e-63);
        EXPECT_NEAR(Vector::normalizeOrZero(w), r.zeroed, 1e-63);
        EXPECT_TRUE(vectorNear(v, r.out, 1e-15) && vectorNear(w, r.zeroed ? r.out : Vector(), 1e-15)) << r.in.x;
    }
    // Single precision: near unit length is left exactly as it is.
    float unit[3] = {0.6f, 0.8f, 0.0f}, nearUnit[3] = {1.0000004f, 0, 0}, tiny[3] = {1e-10f, 0, 0}, longer[3] = {0, 0, -4};
    EXPECT_TRUE(kessa::normalizeFloat3(unit) && unit[0] == 0.6f && kessa::normalizeFloat3(nearUnit) && nearUnit[0] == 1.0000004f);
    EXPECT_TRUE(!kessa::normalizeFloat3(tiny) && tiny[0] == 1e-10f && kessa::normalizeFloat3(longer) && longer[2] == -1.0f);
    double plane[4] = {10, 0, 3, 4}, nearPlane[4] = {5, 1.0000001, 0, 0}, degenerate[4] = {7, 0, 0, 0};
    kessa::normalizePlane(plane);
    kessa::normalizePlane(nearPlane);
    kessa::normalizePlane(degenerate);
    EXPECT_TRUE(plane[0] == 2 && std::fabs(plane[2] - 0.6) < 1e-15 && nearPlane[0] == 5 && nearPlane[1] == 1.0000001 && degenerate[0] == 7);
    double heading, pitch;
    float h, p;
    Vector::toAngles(Vector(-1, 0, 0), &heading, &pitch);
    EXPECT_TRUE(std::fabs(heading - 90) < 1e-12 && pitch == 0);
    Vector::toAngles(Vector(0, 1, 1), &heading, &pitch);
    EXPECT_TRUE(heading == 0 && std::fabs(pitch - 45) < 1e-12);
    Vector::toAngles(Vector(1, 0, 0), &heading, &pitch);
    Vector::toAnglesFloat(Vector(0, -1, -1), &h, &p);
    EXPECT_TRUE(std::fabs(heading + 90) < 1e-12 && std::fabs(std::fabs(h) - 180) < 1e-4 && std::fabs(p + 45) < 1e-4);
}

Bounds sphereBox(const Vector& min, const Vector& max, const Vector& centre, double radius) {
    Bounds b = box(min, max);
    b.setSphere(centre, radius);
    return b;
}

// A transformed box is exactly the one around the eight transformed
// corners; an extended sphere holds both spheres and is no larger than it
// needs to be.
TEST(BoundsTest, TransformsAndUnionsAgainstTheirCorners) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> pos(-100, 100), angle(-180, 180), scale(-3, 3), size(0.1, 4);
    for (int n = 0; n < 2000; ++n) {
        Matrix m;
        m.setRotation(angle(rng), Vector(pos(rng), pos(rng), pos(rng)));
        if (n % 3 == 1)
            m.translate(Vector(pos(rng), pos(rng), pos(rng)));
        if (n % 3 == 2)
            m.scale(Vector(scale(rng), scale(rng), scale(rng)));
        Vector lo(pos(rng), pos(rng), pos(rng)), expectMin(1e300, 1e300, 1e300), expectMax(-1e300, -1e300, -1e300);
        Bounds source = box(lo, lo + Vector(std::fabs(pos(rng)), std::fabs(pos(rng)), std::fabs(pos(rng)))), t;
        for (int i = 0; i < 8; ++i) {
            const Vector p = transformed(source.corner(i), m);
            for (int k = 0; k < 3; ++k)
                expectMin[k] = std::min(expectMin[k], p[k]), expectMax[k] = std::max(expectMax[k], p[k]);
        }
        t.setTransformed(source, m);
        ASSERT_TRUE(t.min() == expectMin && t.max() == expectMax && !t.hasSphere()) << n;
        Vector c1(pos(rng), pos(rng), pos(rng)), c2 = c1 * 0.1 + Vector(pos(rng), pos(rng), pos(rng)) * 0.1;
        double r1 = size(rng), r2 = size(rng);
        Bounds a = sphereBox(c1 - Vector(r1, r1, r1), c1 + Vector(r1, r1, r1), c1, r1);
        a.extend(sphereBox(c2 - Vector(r2, r2, r2), c2 + Vector(r2, r2, r2), c2, r2));
        ASSERT_LE((c1 - a.centre()).length() + r1, a.radius() + 1e-9);
        ASSERT_LE((c2 - a.centre()).length() + r2, a.radius() + 1e-9);
        ASSERT_LE(a.radius(), ((c1 - c2).length() + r1 + r2) / 2 + std::max(r1, r2) + 1e-9);
    }
}

TEST(BoundsTest, SpecialCases) {
    // An empty record: a unit radius and a clear that keeps the box.
    Bounds empty, cleared = sphereBox({0, 0, 0}, {2, 2, 2}, {1, 1, 1}, 5), b = box({0, 0, 0}, {2, 2, 2});
    cleared.clear();
    EXPECT_TRUE(!empty.valid() && !empty.hasSphere() && empty.radius() == 1 && empty.radiusSquared() == 1 && cleared == empty);
    EXPECT_TRUE(!cleared.hasSphere() && cleared.max() == Vector(2, 2, 2) && cleared.radius() == 1);
    empty.setSphere({1, 2, 3}, 4);
    EXPECT_TRUE(!empty.valid() && !empty.hasSphere()) << "a sphere needs a box";
    EXPECT_TRUE(!b.hasSphere() && b.centre() == Vector(1, 1, 1) && b.radiusSquared() == 3 && b.radius() == std::sqrt(3.0));
    b.set({-1, -2, -3}, {1, 2, 3});
    const Vector corners[] = {{1, 2, 3}, {-1, 2, 3}, {1, -2, 3}, {-1, -2, 3}, {1, 2, -3}, {-1, 2, -3}, {1, -2, -3}, {-1, -2, -3}};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(b.corner(i), corners[i]) << i;
    // Unions: with empty records, and spheres that hold one another.
    Bounds big = sphereBox({-5, -5, -5}, {5, 5, 5}, {0, 0, 0}, 5), small = sphereBox({1, 1, 1}, {2, 2, 2}, {1.5, 1.5, 1.5}, 0.5);
    Bounds u = small, v = big, w = sphereBox({-1, -1, -1}, {1, 1, 1}, {0, 0, 0}, 1), none;
    u.extend(big);
    v.extend(small);
    w.extend(sphereBox({-1, -1, -1}, {1, 1, 1}, {0, 0, 0}, 3));
    none.extend(small);
    EXPECT_TRUE(u.centre() == Vector() && u.radius() == 5 && u.min() == Vector(-5, -5, -5) && v.radius() == 5 && v.centre() == Vector());
    EXPECT_TRUE(w.radius() == 3 && w.radiusSquared() == 9 && none == small && none.hasSphere());
    none.extend(Bounds());
    EXPECT_EQ(none, small);
    Bounds apart = sphereBox({-1, -1, -1}, {1, 1, 1}, {0, 0, 0}, 1);
    apart.extend(sphereBox({2, -1, -1}, {4, 1, 1}, {3, 0, 0}, 1));
    EXPECT_TRUE(boxIs(apart, {-1, -1, -1}, {4, 1, 1}) && vectorNear(apart.centre(), {1.5, 0, 0}, 1e-15) && apart.radius() == 2.5);
    // A transform drops an explicit sphere; an empty one stays empty and is not counted.
    const unsigned long transforms = Bounds::transformCount();
    Matrix m;
    m.setTranslation({10, 0, 0});
    w.setTransformed(w, m);
    b.setTransformed(Bounds(), m);
    EXPECT_TRUE(boxIs(w, {9, -1, -1}, {11, 1, 1}) && !w.hasSphere() && !b.valid() && Bounds::transformCount() == transforms + 1);
    b.setTransformed(box({0, 0, 0}, {1, 1, 1}), Matrix());
    EXPECT_EQ(b, box({0, 0, 0}, {1, 1, 1}));
    // Growing by a margin of the other's size, only where it reaches out.
    b = box({0, 0, 0}, {1, 1, 1});
    EXPECT_TRUE(b.extendWithMargin(box({-1, 0, 0}, {0.5, 1, 1}), 0.1));
    EXPECT_TRUE(std::fabs(b.min().x + 1.15) < 1e-15 && b.min().y == 0 && b.max() == Vector(1, 1, 1) && !b.hasSphere());
    Bounds before = b, grown;
    EXPECT_FALSE(b.extendWithMargin(box({0, 0.2, 0.2}, {0.5, 0.8, 0.8}), 0.1) || b.extendWithMargin(Bounds(), 0.1));
    EXPECT_TRUE(b == before && grown.extendWithMargin(box({0, 0, 0}, {2, 4, 6}), 0.5) && boxIs(grown, {-1, -2, -3}, {3, 6, 9}));
    Bounds plain = sphereBox({0, 0, 0}, {1, 1, 1}, {0.5, 0.5, 0.5}, 0.1);
    EXPECT_TRUE(plain.extendWithMargin(box({0.5, 0.5, 0.5}, {3, 1, 2}), 0) && !plain.hasSphere() && plain.centre() == Vector(1.5, 0.5, 1));
    // Boxes meet on every axis, touching counts; spheres of both decide
    // within the sum of their radii.
    Bounds a = box({0, 0, 0}, {1, 1, 1});
    EXPECT_TRUE(a.intersects(a) && !a.intersects(Bounds()) && !Bounds().intersects(a) && a.intersects(box({1, 1, 1}, {2, 2, 2})));
    EXPECT_TRUE(!a.intersects(box({1.5, 0, 0}, {2, 1, 1})) && !a.intersects(box({0, -2, 0}, {1, -0.1, 1})));
    EXPECT_TRUE(!a.intersects(box({0, 0, 1.01}, {1, 1, 2})) && a.intersects(box({0.2, 0.2, -5}, {0.4, 0.4, 5})));
    Bounds s = sphereBox({-1, -1, -1}, {1, 1, 1}, {0, 0, 0}, 1);
    EXPECT_TRUE(s.intersects(sphereBox({0.8, -1, -1}, {2.8, 1, 1}, {1.8, 0, 0}, 1)) && s.intersects(sphereBox({0.5, -1, -1}, {3, 1, 1}, {2, 0, 0}, 1)));
    EXPECT_TRUE(!s.intersects(sphereBox({0.9, -1, -1}, {3, 1, 1}, {2.5, 0, 0}, 1)) && s.intersects(box({0.9, -1, -1}, {3, 1, 1})));
    // Equality ignores the leftovers of empty records.
    Bounds e = box({0, 0, 0}, {1, 1, 1}), f = e;
    f.setSphere(f.centre(), f.radius());
    EXPECT_NE(e, f);
    e.clear();
    EXPECT_NE(e, f);
    f.clear();
    EXPECT_EQ(e, f);
}

// ---- stream forms ----

using Bytes = std::vector<unsigned char>;

template <class T>
Bytes written(const T& value, bool swap = false) {
    orvel::MemoryDataDest out;
    out.swap = swap;
    value.write(out);
    return Bytes(out.data(), out.data() + out.size());
}

Bytes matrixBytes(unsigned first, const double values[16], int kind) {
    Bytes101 b = body().u32(first);
    for (int i = 0; i < 16; ++i)
        b.f64(values[i]);
    if (kind >= 0)
        b.byte(kind);
    return b.bytes;
}

// Identity and kind bytes; each kind reads back in either byte order with
// its kind, also a kind wider than its values; an unknown kind byte means
// general, no kind byte (the older form) a classified kind; a kind narrower
// than the values is corrected with a log line; a cut stream leaves the
// matrix alone.
TEST(StreamFormTest, Matrices) {
    std::mt19937 random(3);
    Bytes b = written(Matrix());
    EXPECT_TRUE(b.size() == 133u && Bytes(b.begin(), b.begin() + 4) == Bytes(4, 0xFF) && b[10] == 0xF0 && b[11] == 0x3F && b[12] == 0);
    const int kindBytes[5] = {1, 2, 3, 4, 100};
    for (bool swap : {false, true})
        for (int kind = 0; kind < 5; ++kind) {
            Matrix m = randomOfKind(kind, random), back = randomOfKind((kind + 1) % 5, random);
            b = written(m, swap);
            orvel::MemoryDataSource in(b.data(), unsigned(b.size()), false);
            in.swap = swap;
            EXPECT_TRUE(b.back() == kindBytes[kind] && back.read(in) && back == m && in.bytesRemaining() == 0) << kind;
        }
    Matrix wide, back;
    wide.scale(Vector(1, 1, 1));
    b = written(wide);
    orvel::MemoryDataSource in(b.data(), unsigned(b.size()), false);
    EXPECT_TRUE(back.read(in) && back.kind() == Matrix::Affine);
    const double shifted[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 4, -5, 6, 1}, scale[16] = {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 1, 1, 1};
    const struct {
        Bytes bytes;
        int kind;
        const char* log;
    } rows[] = {{matrixBytes(0xFFFFFFFF, shifted, 7), Matrix::General, ""},
                {matrixBytes(0, shifted, 0x55), Matrix::RotationTranslation, ""},
                {matrixBytes(12345, scale, 0x55), Matrix::Affine, ""},
                {matrixBytes(0xFFFFFFFF, scale, 2), Matrix::Affine, "Matrix::read() - kind 1 does not fit the values, taking 3\n"}};
    for (const auto& r : rows) {
        LogCapture log;
        orvel::MemoryDataSource source(r.bytes.data(), unsigned(r.bytes.size()), false);
        EXPECT_TRUE(back.read(source) && back.kind() == r.kind && log.text() == r.log) << &r - rows;
        EXPECT_EQ(source.bytesRemaining(), r.bytes.size() - 132 - (r.bytes[0] == 0xFF)) << "the next field is not read";
    }
    Matrix inverse;
    back.invert(inverse);
    EXPECT_TRUE(near(product(back, inverse), Matrix(), 1e-15)) << "a true inverse, not a transpose";
    b = written(randomOfKind(Matrix::Affine, random));
    const Matrix before = randomOfKind(Matrix::Rotation, random);
    for (std::size_t n = 0; n < b.size(); ++n) {
        orvel::MemoryDataSource part(b.data(), unsigned(n), false);
        Matrix m = before;
        EXPECT_TRUE(!m.read(part) && m == before) << n;
    }
}

// A box record, then a sphere; unknown tags are passed over and a sphere
// before any box is ignored; a cut record keeps what was whole; random and
// damaged bytes always give a consistent matrix and bounds.
TEST(StreamFormTest, BoundsAndDamage) {
    Bounds b = sphereBox({-1, -2, -3}, {4, 5, 6}, {1, 1, 1}, 3.5);
    Bytes w = written(b);
    double radius;
    std::memcpy(&radius, &w[74], 8);
    EXPECT_TRUE(w.size() == 83u && w[0] == 1 && w[49] == 2 && w[82] == 0 && radius == 3.5 && written(Bounds()) == Bytes{0});
    for (const Bounds& original : {b, box({-1, -2, -3}, {4, 5, 6})}) {
        w = written(original);
        Bytes both = w, none = written(Bounds());
        both.insert(both.end(), none.begin(), none.end());
        orvel::MemoryDataSource in(both.data(), unsigned(both.size()), false);
        Bounds back;
        EXPECT_TRUE(back.read(in) && back.hasSphere() && back.min() == original.min() && back.radius() == original.radius());
        EXPECT_TRUE(back.radiusSquared() == original.radius() * original.radius() && back.read(in) && !back.valid());
        for (std::size_t n = 0; n < w.size(); ++n) {
            orvel::MemoryDataSource part(w.data(), unsigned(n), false);
            EXPECT_TRUE(!back.read(part) && back.valid() == (n >= 49) && back.hasSphere() == (n >= 82)) << n;
        }
    }
    // An unknown tag, a sphere before any box, a box, the end, the next field.
    Bytes101 odd = body().raw({9, 2}).f64(5).f64(5).f64(5).f64(1).byte(1).f64(0).f64(0).f64(0).f64(2).f64(2).f64(2).raw({0, 0x77});
    orvel::MemoryDataSource in(odd.bytes.data(), unsigned(odd.bytes.size()), false);
    Bounds back;
    EXPECT_TRUE(back.read(in) && back.valid() && !back.hasSphere() && back.centre() == Vector(1, 1, 1) && in.readByte() == 0x77);
    std::mt19937 rng(2024);
    Bytes valid = written(randomOfKind(Matrix::RotationTranslation, rng)), validBounds = written(b);
    valid.insert(valid.end(), validBounds.begin(), validBounds.end());
    LogCapture log;
    for (int round = 0; round < 20000; ++round) {
        Bytes d = valid;
        if (round % 2) {
            for (int f = 1 + rng() % 8; f > 0; --f)
                d[rng() % d.size()] = static_cast<unsigned char>(rng());
            d.resize(rng() % (d.size() + 1));
        } else {
            d.resize(rng() % 300);
            for (unsigned char& c : d)
                c = static_cast<unsigned char>(rng() % 4 == 0 ? rng() % 3 : rng());
        }
        orvel::MemoryDataSource source(d.data(), unsigned(d.size()), false);
        Matrix m;
        Bounds bounds;
        if (m.read(source))
            ASSERT_TRUE(m.kind() >= m.classify() && m.kind() <= Matrix::General);
        else
            ASSERT_TRUE(m.isIdentity());
        bounds.read(source);
        ASSERT_TRUE(bounds.valid() || !bounds.hasSphere());
    }
}

}  // namespace
