// Bezier segments and splines against de Casteljau's evaluation and against
// arc lengths integrated from the curve's speed (Gauss-Legendre), never
// against the code's own differencing.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "scene/Spline.h"
#include "tests/scene/SceneTestUtil.h"

using kessa::Bezier;
using kessa::Spline;
using kessa::Vector;
using kessa_test::vectorNear;

namespace {

Bezier segment(std::initializer_list<Vector> points) {
    Bezier b;
    int i = 0;
    for (const Vector& p : points)
        b.setControlPoint(i++, p);
    return b;
}

// de Casteljau: the point and the derivative at t.
void casteljau(const Bezier& b, double t, Vector& point, Vector& derivative) {
    Vector q[4] = {b.controlPoint(0), b.controlPoint(1), b.controlPoint(2), b.controlPoint(3)};
    for (int level = 3; level > 0; --level) {
        if (level == 1)
            derivative = (q[1] - q[0]) * 3;
        for (int i = 0; i < level; ++i)
            q[i] = q[i] * (1 - t) + q[i + 1] * t;
    }
    point = q[0];
}

// Arc length from 0 to t: 3-point Gauss-Legendre over 256 pieces.
double arcLength(const Bezier& b, double t) {
    const double x[3] = {-0.7745966692414834, 0, 0.7745966692414834}, w[3] = {5 / 9.0, 8 / 9.0, 5 / 9.0};
    double h = t / 256, sum = 0;
    for (int k = 0; k < 256; ++k)
        for (int i = 0; i < 3; ++i) {
            Vector p, d;
            casteljau(b, h * (k + 0.5 + 0.5 * x[i]), p, d);
            sum += w[i] * d.length() * h * 0.5;
        }
    return sum;
}

Bezier randomSegment(std::mt19937& random, Vector p) {
    std::uniform_real_distribution<double> unit(-1, 1);
    Bezier b;
    for (int i = 0; i < 4; ++i, p += Vector(1 + unit(random), unit(random), unit(random)))
        b.setControlPoint(i, p);
    return b;
}

// Straight along x from a to b, control points evenly spaced.
Bezier line(double a, double b) {
    double s = (b - a) / 3;
    return segment({{a, 0, 0}, {a + s, 0, 0}, {a + 2 * s, 0, 0}, {b, 0, 0}});
}

}  // namespace

// The table sums 64 chords: never longer than the curve, and close to it.
TEST(BezierCurve, AgainstDeCasteljauAndTheIntegratedLength) {
    std::mt19937 random(5);
    for (int round = 0; round < 30; ++round) {
        Bezier b = randomSegment(random, {0, 0, 0});
        for (double t = 0; t <= 1; t += 0.125) {
            Vector p, d, cp, cd;
            b.evaluate(t, p, &d);
            casteljau(b, t, cp, cd);
            EXPECT_TRUE(vectorNear(p, cp, 1e-12) && vectorNear(d, cd, 1e-12));
        }
        b.update();
        double whole = arcLength(b, 1);
        EXPECT_LE(b.length(), whole + 1e-12);
        EXPECT_NEAR(b.length(), whole, 1e-3 * whole);
        for (int i = 0; i < 64; i += 7)
            EXPECT_NEAR(b.tableEntry(i), arcLength(b, i / 64.0), 1e-3 * whole);
    }
    // Evenly spaced points on a line: every chord is exact.
    Bezier straight = line(0, 3);
    EXPECT_EQ(straight.parameterAt(1.5), 0.5);
    EXPECT_EQ(straight.length(), 3);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(straight.tableEntry(i), float(3.0 * i / 64));
    // The usual quarter-circle approximation, against pi / 2.
    const double k = 0.5522847498;
    Bezier arc = segment({{1, 0, 0}, {1, k, 0}, {k, 1, 0}, {0, 1, 0}});
    arc.update();
    EXPECT_NEAR(arc.length(), 1.5707963, 3e-4);
}

// Located parameters land where the integrated arc length says they should.
TEST(SplinePath, LocateAgainstIntegratedDistances) {
    std::mt19937 random(7);
    Spline s;
    std::vector<double> lengths;
    for (Vector start; lengths.size() < 4; start = s.segment(s.segmentCount() - 1).controlPoint(3)) {
        s.addSegment(randomSegment(random, start));
        lengths.push_back(arcLength(s.segment(s.segmentCount() - 1), 1));
    }
    double total = s.length();
    EXPECT_NEAR(total, lengths[0] + lengths[1] + lengths[2] + lengths[3], 2e-3 * total);
    int k;
    double t;
    for (double d = 0.013; d < total; d += total / 97) {
        ASSERT_TRUE(s.locate(d, k, t));
        double before = 0;
        for (int i = 0; i < k; ++i)
            before += lengths[std::size_t(i)];
        EXPECT_NEAR(before + arcLength(s.segment(k), t), d, 2e-3 * total) << "d " << d;
    }
    for (double d : {-1.0, 0.0, total, total + 5}) {
        ASSERT_TRUE(s.locate(d, k, t));
        EXPECT_EQ(k, d < total ? 0 : 3);
        EXPECT_EQ(t, d < total ? 0 : 1);
    }
}

TEST(SplinePath, BoundariesAndClosedWrapping) {
    Spline s;
    s.addSegment(line(0, 3));
    s.addSegment(line(3, 9));
    s.addSegment(segment({{9, 0, 0}, {9.25, 0, 0}, {9.75, 0, 0}, {10, 0, 0}}));
    int k, k2;
    double t, t2;
    // At a boundary the earlier segment answers, at its end.
    ASSERT_TRUE(s.locate(3, k, t));
    EXPECT_TRUE(k == 0 && t == 1);
    ASSERT_TRUE(s.locate(4.5, k, t));
    EXPECT_TRUE(k == 1 && t == 0.25);
    s.setClosed(true);
    EXPECT_NEAR(s.length(), 10, 1e-12);
    for (auto pair : {std::make_pair(12.0, 2.0), std::make_pair(-3.0, 7.0), std::make_pair(23.0, 3.0)}) {
        ASSERT_TRUE(s.locate(pair.first, k, t) && s.locate(pair.second, k2, t2));
        EXPECT_EQ(k, k2);
        EXPECT_NEAR(t, t2, 1e-9);
    }
    // An edited segment alone is rebuilt.
    s.segment(1).setControlPoint(3, {9, 4, 0});
    EXPECT_TRUE(!s.segment(0).isStale() && s.segment(1).isStale());
    EXPECT_NEAR(s.length(), 4 + arcLength(s.segment(1), 1), 1e-3);
}

// A closed spline that stays at one point has no length to wrap around: it
// answers its start, not a NaN parameter of a segment before the first.
TEST(SplinePath, ClosedSplineOfNoLengthGivesItsStart) {
    Spline s;
    for (int i = 0; i < 2; ++i)
        s.addSegment(segment({{2, 2, 2}, {2, 2, 2}, {2, 2, 2}, {2, 2, 2}}));
    s.setClosed(true);
    int k = -1;
    double t = -1;
    ASSERT_TRUE(s.locate(5, k, t));
    EXPECT_TRUE(k == 0 && t == 0);
    Spline empty;
    EXPECT_EQ(empty.length(), 0);
    EXPECT_FALSE(empty.locate(1, k, t));
}

TEST(SplinePath, StreamFormRoundTrip) {
    std::mt19937 random(8);
    Spline s;
    s.setClosed(true);
    s.addSegment(randomSegment(random, {1, 2, 3}));
    s.addSegment(randomSegment(random, s.segment(0).controlPoint(3)));
    orvel::MemoryDataDest out;
    s.write(out);
    // 1 closed; per segment 100, the points under 1 to 4 and 0; 0.
    const std::vector<unsigned char> bytes(out.data(), out.data() + out.size());
    ASSERT_EQ(bytes.size(), 2u + 2 * (1 + 4 * 25 + 1) + 1);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 4), (std::vector<unsigned char>{1, 1, 100, 1}));
    EXPECT_TRUE(bytes[103] == 0 && bytes[104] == 100 && bytes.back() == 0);
    orvel::MemoryDataSource in(out.data(), out.size(), false);
    Spline back;
    back.read(in);
    ASSERT_EQ(back.segmentCount(), 2);
    EXPECT_TRUE(back.closed());
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(back.segment(i / 4).controlPoint(i % 4), s.segment(i / 4).controlPoint(i % 4));
    EXPECT_EQ(back.length(), s.length());
    // Cut short anywhere, a read keeps what it got and stays usable.
    for (unsigned n = 0; n < out.size(); ++n) {
        orvel::MemoryDataSource part(out.data(), n, false);
        Spline cut;
        cut.read(part);
        int k;
        double t;
        EXPECT_TRUE(cut.segmentCount() <= 2 && (!cut.locate(0.5, k, t) || (t >= 0 && t <= 1)));
    }
}
