#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene/Matrix.h"
#include "scene/Placement.h"
#include "scene/Random.h"
#include "tests/scene/SceneTestUtil.h"

using kessa::Matrix;
using kessa::Placement;
using kessa::Vector;
using kessa_test::fullProduct;
using kessa_test::valuesNear;
using kessa_test::vectorNear;

namespace {

Matrix fromValues(std::initializer_list<double> v) {
    std::vector<double> values(v);
    Matrix m;
    m.set(values.data());
    return m;
}

// One sample of each kind, built through the operations that give that kind.
Matrix sampleOfKind(int kind) {
    Matrix m;
    switch (kind) {
    case Matrix::Rotation:
        m.setRotation(30, Vector(1, 2, 3));
        break;
    case Matrix::RotationTranslation:
        m.setRotation(-50, Vector(0, 1, 1));
        m.translate(Vector(4, -5, 6));
        break;
    case Matrix::Affine:
        m.setRotation(75, Vector(1, 0, 1));
        m.scale(Vector(2, 0.5, 3));
        m.translate(Vector(-1, 2, 7));
        break;
    case Matrix::General:
        m = fromValues({1, 2, 0, 0.5, 0, 1, 3, 0, 2, 0, 1, 0.25, 1, -1, 2, 2});
        break;
    default:
        break;
    }
    return m;
}

const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Vector transformed(const Vector& p, const Matrix& m) {
    Vector out;
    Matrix::transformPoint(out, p, m);
    return out;
}

TEST(MatrixTest, DefaultIsIdentityAndIdentityValuesOfAnotherKindAreNot) {
    Matrix m;
    EXPECT_EQ(m.kind(), Matrix::Identity);
    EXPECT_TRUE(m.isIdentity());
    EXPECT_EQ(m.classify(), Matrix::Identity);
    EXPECT_TRUE(valuesNear(m, identity, 0));
    m.setTranslation(Vector(0, 0, 0));
    EXPECT_EQ(m.kind(), Matrix::RotationTranslation);
    EXPECT_FALSE(m.isIdentity());
    m.setIdentity();
    EXPECT_TRUE(m.isIdentity());
}

TEST(MatrixTest, ClassifyFollowsTheKindRules) {
    double s = std::sqrt(1.00000000000005);
    EXPECT_EQ(fromValues({s, 0, 0, 0, 0, s, 0, 0, 0, 0, s, 0, 0, 0, 0, 1}).kind(), Matrix::Rotation);
    EXPECT_EQ(fromValues({s, 0, 0, 0, 0, s, 0, 0, 0, 0, s, 0, 1, 0, 0, 1}).kind(), Matrix::RotationTranslation);
    EXPECT_EQ(fromValues({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}).kind(), Matrix::Affine);
    double t = std::sqrt(1.0000000000002);
    EXPECT_EQ(fromValues({t, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}).kind(), Matrix::Affine);
    EXPECT_EQ(fromValues({1, 0, 0, 1e-30, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}).kind(), Matrix::General);
    EXPECT_EQ(fromValues({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2}).kind(), Matrix::General);
    EXPECT_EQ(fromValues({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}).kind(), Matrix::Identity);
    EXPECT_EQ(fromValues({0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}).kind(), Matrix::Rotation);
}

TEST(MatrixTest, ShearedUnitRowsAreNotARotation) {
    // Every row has unit length but rows 0 and 1 are not orthogonal: the
    // transpose would not undo it.
    Matrix m = fromValues({1, 0, 0, 0, 0.6, 0.8, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    EXPECT_EQ(m.kind(), Matrix::Affine);
    Matrix inverse, product;
    m.invert(inverse);
    product.multiply(m, inverse);
    EXPECT_TRUE(valuesNear(product, identity, 1e-15));
}

// Also: the product may overwrite either operand.
TEST(MatrixTest, ProductKindTable) {
    const int expected[5][5] = {
        {0, 1, 2, 3, 4}, {1, 1, 2, 3, 4}, {2, 2, 2, 3, 4}, {3, 3, 3, 3, 4}, {4, 4, 4, 4, 4},
    };
    for (int ka = 0; ka < 5; ++ka)
        for (int kb = 0; kb < 5; ++kb) {
            Matrix a = sampleOfKind(ka), b = sampleOfKind(kb);
            ASSERT_EQ(a.kind(), ka);
            ASSERT_EQ(b.kind(), kb);
            Matrix c;
            c.multiply(a, b);
            EXPECT_EQ(c.kind(), expected[ka][kb]) << ka << " x " << kb;
            // The short paths leave out only terms that are exactly zero.
            double full[16];
            fullProduct(a, b, full);
            EXPECT_TRUE(valuesNear(c, full, 0)) << ka << " x " << kb;
            Matrix first = a;
            first.multiply(first, b);
            Matrix second = b;
            second.multiply(a, second);
            EXPECT_EQ(first, c) << ka << " x " << kb;
            EXPECT_EQ(second, c) << ka << " x " << kb;
        }
    Matrix square = sampleOfKind(Matrix::Affine), squared;
    squared.multiply(square, square);
    square.multiply(square, square);
    EXPECT_EQ(square, squared);
}

TEST(MatrixTest, ProductAppliesTheLeftOperandFirst) {
    Matrix rotate, move, both;
    rotate.setRotation(90, Vector(0, 0, 1));
    move.setTranslation(Vector(10, 0, 0));
    both.multiply(rotate, move);
    EXPECT_TRUE(vectorNear(transformed(Vector(1, 0, 0), both), Vector(10, 1, 0), 1e-15));
    both.multiply(move, rotate);
    EXPECT_TRUE(vectorNear(transformed(Vector(1, 0, 0), both), Vector(0, 11, 0), 1e-14));
}

TEST(MatrixTest, RotationsAboutZXAndADiagonal) {
    Matrix m;
    m.setRotation(90, Vector(0, 0, 1));
    EXPECT_EQ(m.kind(), Matrix::Rotation);
    const double rows[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_TRUE(valuesNear(m, rows, 1e-16));
    EXPECT_TRUE(vectorNear(transformed(Vector(1, 0, 0), m), Vector(0, 1, 0), 1e-16));
    m.setRotation(90, Vector(1, 0, 0));
    EXPECT_TRUE(vectorNear(transformed(Vector(0, 1, 0), m), Vector(0, 0, 1), 1e-16));
    // A non-unit diagonal axis: a third of a turn cycles the axes.
    m.setRotation(120, Vector(1, 1, 1));
    EXPECT_EQ(m.kind(), Matrix::Rotation);
    EXPECT_TRUE(vectorNear(transformed(Vector(1, 0, 0), m), Vector(0, 1, 0), 1e-15));
    EXPECT_TRUE(vectorNear(transformed(Vector(0, 1, 0), m), Vector(0, 0, 1), 1e-15));
    EXPECT_TRUE(vectorNear(transformed(Vector(0, 0, 1), m), Vector(1, 0, 0), 1e-15));
}

TEST(MatrixTest, RotationAxisIsNormalisedOrRefused) {
    Matrix a, b;
    a.setRotation(37, Vector(0, 0, 2));
    b.setRotation(37, Vector(0, 0, 1));
    EXPECT_EQ(a, b);
    a.setRotation(30, Vector(0, 0, 0));
    EXPECT_EQ(a.kind(), Matrix::Identity);
    EXPECT_TRUE(a.isIdentity());
    a.setRotation(30, Vector(1e-60, 0, 0));
    EXPECT_TRUE(a.isIdentity());
}

// Each operation in place is the product with the matrix it stands for: the
// plain forms multiply on the right, the pre- forms on the left. The short
// paths keep exact values, but for translations of a general matrix.
TEST(MatrixTest, OperationsInPlaceAreProducts) {
    const Vector v(2, 3, 4), axis(1, -1, 0.5);
    Matrix t, s = fromValues({2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}), r;
    t.setTranslation(v);
    r.setRotation(25, axis);
    struct Row {
        void (*apply)(Matrix&, const Vector&, const Vector&);
        const Matrix& by;
        bool pre;
        double tolerance;
    } rows[] = {
        {[](Matrix& m, const Vector& v, const Vector&) { m.translate(v); }, t, false, 1e-14},
        {[](Matrix& m, const Vector& v, const Vector&) { m.preTranslate(v); }, t, true, 1e-14},
        {[](Matrix& m, const Vector& v, const Vector&) { m.scale(v); }, s, false, 0},
        {[](Matrix& m, const Vector& v, const Vector&) { m.preScale(v); }, s, true, 0},
        {[](Matrix& m, const Vector&, const Vector& a) { m.rotate(25, a); }, r, false, 0},
        {[](Matrix& m, const Vector&, const Vector& a) { m.preRotate(25, a); }, r, true, 0},
    };
    for (const Row& row : rows)
        for (int kind = 0; kind < 5; ++kind) {
            SCOPED_TRACE(testing::Message() << "operation " << (&row - rows) << ", kind " << kind);
            Matrix base = sampleOfKind(kind), m = base, expected;
            row.apply(m, v, axis);
            if (row.pre)
                expected.multiply(row.by, base);
            else
                expected.multiply(base, row.by);
            EXPECT_EQ(m.kind(), expected.kind());
            EXPECT_TRUE(valuesNear(m, expected.values(), kind == Matrix::General ? row.tolerance : 0));
        }
}

// Also: a matrix may be inverted into itself.
TEST(MatrixTest, InverseOfEachKindUndoesIt) {
    for (int kind = 0; kind < 5; ++kind) {
        Matrix m = sampleOfKind(kind), inverse, product;
        m.invert(inverse);
        EXPECT_EQ(inverse.kind(), kind);
        product.multiply(m, inverse);
        EXPECT_TRUE(valuesNear(product, identity, 1e-14)) << kind;
        product.multiply(inverse, m);
        EXPECT_TRUE(valuesNear(product, identity, 1e-14)) << kind;
        m.invert(m);
        EXPECT_EQ(m, inverse) << kind;
    }
}

TEST(MatrixTest, InverseOfRotationTranslation) {
    Matrix m, inverse, product;
    m.setRotation(90, Vector(0, 0, 1));
    m.translate(Vector(1, 2, 3));
    Matrix& same = m.invert(inverse);
    EXPECT_EQ(&same, &inverse);
    EXPECT_EQ(inverse.kind(), Matrix::RotationTranslation);
    EXPECT_TRUE(vectorNear(inverse.translation(), Vector(-2, 1, -3), 1e-15));
    EXPECT_TRUE(vectorNear(inverse.row(0), Vector(0, -1, 0), 1e-16));
    product.multiply(m, inverse);
    EXPECT_TRUE(valuesNear(product, identity, 1e-15));
}

TEST(MatrixTest, InverseNeedsRowExchanges) {
    // Zero on the diagonal: elimination must pick another pivot row.
    Matrix m = fromValues({0, 2, 0, 0, 3, 0, 0, 0, 0, 0, 4, 0, 5, 6, 7, 1});
    ASSERT_EQ(m.kind(), Matrix::Affine);
    Matrix inverse, product;
    m.invert(inverse);
    EXPECT_EQ(inverse.kind(), Matrix::Affine);
    product.multiply(m, inverse);
    EXPECT_TRUE(valuesNear(product, identity, 1e-15));
}

// Scale, rotation and translation in random measure: the inverse is affine
// with exactly the fourth column of one, so it still classifies (and reads
// back from a stream) as kind 3.
TEST(MatrixTest, AffineInversesKeepAnExactFourthColumn) {
    kessa::Random random(2024);
    auto between = [&](double lo, double hi) { return lo + (hi - lo) * random.next(); };
    for (int i = 0; i < 20000; ++i) {
        Matrix m, inverse, product;
        m.setRotation(between(-180, 180), Vector(between(-1, 1), between(-1, 1), between(-1, 1)));
        m.scale(Vector(between(0.1, 10), between(0.1, 10), between(0.1, 10)));
        m.translate(Vector(between(-1000, 1000), between(-1000, 1000), between(-1000, 1000)));
        ASSERT_EQ(m.kind(), Matrix::Affine);
        m.invert(inverse);
        ASSERT_EQ(inverse.kind(), Matrix::Affine);
        for (int r = 0; r < 4; ++r)
            ASSERT_EQ(inverse(r, 3), r == 3 ? 1.0 : 0.0) << "matrix " << i << ", row " << r;
        ASSERT_EQ(inverse.classify(), Matrix::Affine) << i;
        product.multiply(m, inverse);
        ASSERT_TRUE(valuesNear(product, identity, 1e-9)) << i;
    }
}

TEST(MatrixTest, SingularInverseIsIdentity) {
    Matrix m;
    m.scale(Vector(1, 0, 1));
    Matrix inverse = sampleOfKind(Matrix::Affine);
    m.invert(inverse);
    EXPECT_EQ(inverse.kind(), Matrix::Identity);
    EXPECT_TRUE(inverse.isIdentity());
    Matrix general = fromValues({1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 1, 1, 0, 0, 1});
    general.invert(inverse);
    EXPECT_TRUE(inverse.isIdentity());
}

TEST(MatrixTest, EulerAngles) {
    Matrix m;
    m.setEuler(30, 20, 40);
    EXPECT_EQ(m.kind(), Matrix::Rotation);
    const double rows[16] = {0.553490792972,  0.687671714341, -0.469846310393, 0,
                             -0.604022773555, 0.719846310393, 0.342020143326,  0,
                             0.573414711288,  0.094492871206, 0.813797681349,  0,
                             0,               0,              0,               1};
    EXPECT_TRUE(valuesNear(m, rows, 1e-12));
    EXPECT_EQ(m.classify(), Matrix::Rotation);
    // Row 1 is the forward direction of a camera with that pitch and heading.
    Placement p;
    p.pitch = 20;
    p.heading = 40;
    Vector forward;
    p.direction(forward);
    EXPECT_TRUE(vectorNear(m.row(1), forward, 1e-15));
}

TEST(MatrixTest, EulerWithoutRollAndInSinglePrecision) {
    Matrix m, r;
    m.setEuler(0, 0, 90);
    r.setRotation(90, Vector(0, 0, 1));
    EXPECT_TRUE(valuesNear(m, r.values(), 1e-16));
    Matrix precise, coarse;
    precise.setEuler(30, 20, 40);
    coarse.setEulerFloat(30, 20, 40);
    EXPECT_EQ(coarse.kind(), Matrix::Rotation);
    EXPECT_TRUE(valuesNear(coarse, precise.values(), 1e-6));
    EXPECT_NE(coarse, precise);
    EXPECT_EQ(coarse(1, 2), double(float(std::sin(20 * 3.141592653589793 / 180))));
}

TEST(MatrixTest, PlacementRoundTrip) {
    Placement p;
    p.position = Vector(1, 2, 3);
    p.pitch = 20;
    p.roll = 30;
    p.heading = 40;
    p.scale = Vector(2, 3, 4);
    Matrix m;
    m.setPlacement(p);
    EXPECT_EQ(m.kind(), Matrix::Affine);
    Matrix rotation;
    rotation.setEuler(30, 20, 40);
    for (int r = 0; r < 3; ++r)
        EXPECT_TRUE(vectorNear(m.row(r), rotation.row(r) * p.scale[r], 1e-15)) << r;
    EXPECT_EQ(m.translation(), Vector(1, 2, 3));
    Vector scale;
    m.getScale(scale);
    EXPECT_TRUE(vectorNear(scale, Vector(2, 3, 4), 1e-14));

    Placement back;
    back.setFromMatrix(m);
    EXPECT_TRUE(vectorNear(back.position, p.position, 0));
    EXPECT_TRUE(vectorNear(back.scale, p.scale, 1e-14));
    EXPECT_NEAR(back.pitch, 20, 1e-12);
    EXPECT_NEAR(back.roll, 30, 1e-12);
    EXPECT_NEAR(back.heading, 40, 1e-12);
    // A rotation alone comes back with unit scale.
    m.setEuler(10, 20, 30);
    back.setFromMatrix(m);
    EXPECT_EQ(back.scale, Vector(1, 1, 1));
    EXPECT_EQ(back.position, Vector(0, 0, 0));
    EXPECT_NEAR(back.heading, 30, 1e-12);
}

TEST(MatrixTest, PlacementRoundTripOverManyAngles) {
    for (double pitch = -85; pitch <= 85; pitch += 17)
        for (double roll = -170; roll <= 170; roll += 34)
            for (double heading = -175; heading <= 175; heading += 35) {
                Placement p;
                p.pitch = pitch;
                p.roll = roll;
                p.heading = heading;
                p.position = Vector(pitch, roll, heading);
                Matrix m;
                m.setPlacement(p);
                EXPECT_EQ(m.kind(), Matrix::RotationTranslation);
                Placement back;
                back.setFromMatrix(m);
                ASSERT_NEAR(back.pitch, pitch, 1e-9);
                ASSERT_NEAR(back.roll, roll, 1e-9);
                ASSERT_NEAR(back.heading, heading, 1e-9);
                EXPECT_EQ(back.scale, Vector(1, 1, 1));
            }
}

TEST(MatrixTest, PlacementAtPitchNinetyLosesTheHeadingSign) {
    Placement p;
    p.pitch = 90;
    p.heading = -30;
    Matrix m;
    m.setPlacement(p);
    Placement back;
    back.setFromMatrix(m);
    EXPECT_NEAR(back.pitch, 90, 1e-6);
    EXPECT_EQ(back.roll, 0);
    EXPECT_NEAR(back.heading, 30, 1e-9);
}

TEST(MatrixTest, GetScale) {
    Matrix m;
    m.setTranslation(Vector(5, 5, 5));
    Vector s;
    m.getScale(s);
    EXPECT_EQ(s, Vector(1, 1, 1));
    m.setIdentity();
    m.scale(Vector(0, -2, 3));
    m.getScale(s);
    EXPECT_EQ(s, Vector(1, 2, 3));
}

TEST(MatrixTest, PlacementDirection) {
    Placement p;
    Vector d;
    p.heading = 90;
    p.direction(d);
    EXPECT_TRUE(vectorNear(d, Vector(-1, 0, 0), 1e-15));
    p.heading = 0;
    p.pitch = 45;
    p.direction(d);
    EXPECT_TRUE(vectorNear(d, Vector(0, std::sqrt(0.5), std::sqrt(0.5)), 1e-15));
}

TEST(MatrixTest, TransformPoint4) {
    Matrix m = sampleOfKind(Matrix::General);
    const double in[4] = {1, 2, 3, 4};
    double out[4];
    Matrix::transformPoint4(out, in, m);
    for (int j = 0; j < 4; ++j)
        EXPECT_EQ(out[j], in[0] * m(0, j) + in[1] * m(1, j) + in[2] * m(2, j) + in[3] * m(3, j));
    double same[4] = {1, 2, 3, 4};
    Matrix::transformPoint4(same, same, m);
    for (int j = 0; j < 4; ++j)
        EXPECT_EQ(same[j], out[j]);
}

TEST(MatrixTest, TransformPointsByKind) {
    std::vector<Vector> points = {{1, 2, 3}, {-4, 0.5, 2}, {0, 0, 0}, {1e3, -1e3, 7}};
    for (int kind = 0; kind < 4; ++kind) {
        Matrix m = sampleOfKind(kind);
        std::vector<Vector> out(points.size());
        m.transformPoints(points.data(), out.data(), points.size());
        for (std::size_t i = 0; i < points.size(); ++i)
            EXPECT_TRUE(vectorNear(out[i], transformed(points[i], m), 0)) << kind << " " << i;
    }
    // A general matrix divides by the homogeneous w.
    Matrix general = sampleOfKind(Matrix::General);
    std::vector<Vector> out = points;
    general.transformPoints(out.data(), out.data(), out.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double in[4] = {points[i].x, points[i].y, points[i].z, 1};
        double h[4];
        Matrix::transformPoint4(h, in, general);
        EXPECT_TRUE(vectorNear(out[i], Vector(h[0] / h[3], h[1] / h[3], h[2] / h[3]), 1e-12)) << i;
    }
}

TEST(MatrixTest, TransformTriangles) {
    Matrix m;
    m.setRotation(90, Vector(0, 0, 1));
    m.translate(Vector(10, 0, 0));
    const float triangles[18] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 2, 0, 0, 0, 2, 0, 0, 0, 2};
    float out[19];
    out[18] = 99;
    kessa::transformTriangles(triangles, triangles + 18, out, m);
    const float expected[18] = {10, 1, 0, 9, 0, 0, 10, 0, 1, 10, 2, 0, 8, 0, 0, 10, 0, 2};
    for (int i = 0; i < 18; ++i)
        EXPECT_NEAR(out[i], expected[i], 1e-6) << i;
    EXPECT_EQ(out[18], 99);
    // A partial triangle at the end is not read.
    out[0] = -1;
    kessa::transformTriangles(triangles, triangles + 8, out, m);
    EXPECT_EQ(out[0], -1);
}

}  // namespace
