// Ray tests and triangle gathering on batches and geometry branches, checked
// against plain references over random triangle soups.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "BunchTestUtil.h"
#include "GeometryTestUtil.h"
#include "SceneTestUtil.h"
#include "scene/GeometryBranch.h"
#include "scene/Ray.h"

using kessa::Bounds;
using kessa::GeoBunch;
using kessa::GeoBunchBuilder;
using kessa::Ray;
using kessa::RayHit;
using kessa::Vector;
using kessa_test::triangle;

namespace {

using Corners = std::array<float, 9>;

Vector corner(const Corners& t, int k) { return Vector(t[3 * k], t[3 * k + 1], t[3 * k + 2]); }

// Möller and Trumbore's test: the distance of a hit strictly inside the
// triangle and strictly inside the segment, or -1.
double reference(const Corners& t, const Ray& ray, bool oneSided) {
    Vector a = corner(t, 0), e1 = corner(t, 1) - a, e2 = corner(t, 2) - a;
    if (oneSided && e1.cross(e2).dot(ray.direction) >= 0)
        return -1;
    Vector p = ray.direction.cross(e2);
    double det = e1.dot(p);
    if (det == 0)
        return -1;
    Vector s = ray.origin - a, q = s.cross(e1);
    double u = s.dot(p) / det, v = ray.direction.dot(q) / det, d = e2.dot(q) / det;
    return u > 0 && v > 0 && u + v < 1 && d > 0 && d < ray.length ? d : -1;
}

// A batch of the triangles as they are (no index list) or built (indexed).
orvel::ref_ptr<GeoBunch> batchOf(const GeoBunchBuilder& b, bool indexed, bool oneSided) {
    orvel::ref_ptr<GeoBunch> bunch(new GeoBunch);
    if (indexed) {
        bunch->setTriangles(b);
    } else {
        orvel::ref_ptr<GeoBunch::vertex_data> v(new GeoBunch::vertex_data);
        for (const GeoBunchBuilder::Triangle& t : b.triangles)
            for (const GeoBunchBuilder::Corner& c : t.corners)
                v->push_back(c.position);
        bunch->setVertexData(v, true);
    }
    bunch->material().first = oneSided ? 1 : 0;
    return bunch;
}

Ray rayFrom(const Vector& from, const Vector& to) {
    Ray r;
    r.setOrigin(from);
    r.aimAt(to);
    return r;
}

TEST(GeoBunchRay, RandomSoupsAgreeWithAPlainReference) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> at(-1, 5);
    for (int round = 0; round < 40; ++round) {
        GeoBunchBuilder soup = kessa_test::latticeSoup(random, 50, 9, 0.5f);
        const bool oneSided = round % 2 == 0;
        orvel::ref_ptr<GeoBunch> bunch = batchOf(soup, round % 4 < 2, oneSided);
        for (int i = 0; i < 50; ++i) {
            Ray ray = rayFrom({at(random), at(random), at(random)}, {at(random), at(random), at(random)});
            double nearest = ray.length;
            for (const GeoBunchBuilder::Triangle& t : soup.triangles) {
                double d = reference(kessa_test::cornersOf(t), ray, oneSided);
                if (d >= 0 && d < nearest)
                    nearest = d;
            }
            RayHit hit;
            hit.distance = ray.length;
            const bool expected = nearest < ray.length;
            ASSERT_EQ(bunch->intersectRay(ray, hit, true), expected);
            EXPECT_EQ(hit.distance, ray.length);
            ASSERT_EQ(bunch->intersectRay(ray, hit, false), expected);
            EXPECT_NEAR(hit.distance, nearest, 1e-9);
        }
    }
}

TEST(GeoBunchRay, EdgesCornersAndPlaneEndsAreNoHits) {
    GeoBunchBuilder one;
    one.triangles = {triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), triangle({0, 0, 0.5f}, {1, 0, 0.5f}, {0, 1, 0.5f})};
    GeoBunchBuilder wall;
    wall.triangles = {triangle({0, 0, 0}, {0, 0, 1}, {1, 1, 0})};
    struct Row {
        const GeoBunchBuilder& soup;
        bool oneSided;
        Vector from, to;
        double distance;  // -1: no hit
    } const rows[] = {
        {one, true, {0.25, 0.25, 1}, {0.25, 0.25, -1}, 0.5},
        {one, true, {0.25, 0.25, 1}, {0.25, 0.25, 0.5}, -1},   // ends on the plane
        {one, true, {0.25, 0.25, 0.6}, {0.25, 0.25, -1}, 0.1},
        {one, true, {0.5, 0, 1}, {0.5, 0, -1}, -1},             // along an edge
        {one, true, {0.5, 0.5, 0.2}, {0.5, 0.5, -1}, -1},       // the long edge
        {one, true, {0, 0, 0.2}, {0, 0, -1}, -1},               // a corner
        {one, true, {0.25, 0.25, -1}, {0.25, 0.25, 0.2}, -1},   // from behind
        {one, false, {0.25, 0.25, -1}, {0.25, 0.25, 0.2}, 1},
        // A wall at 45 degrees, its normal's largest components equal.
        {wall, true, {0, 1, 0.25}, {2 / std::sqrt(2.0), 1 - 2 / std::sqrt(2.0), 0.25}, std::sqrt(0.5)},
    };
    for (const Row& r : rows) {
        Ray ray = rayFrom(r.from, r.to);
        for (bool indexed : {false, true}) {
            RayHit hit;
            hit.distance = ray.length;
            EXPECT_EQ(batchOf(r.soup, indexed, r.oneSided)->intersectRay(ray, hit, false), r.distance >= 0);
            EXPECT_NEAR(hit.distance, r.distance >= 0 ? r.distance : ray.length, 1e-12) << r.from.x << " " << r.from.z;
        }
    }
}

// Every triangle not wholly beyond one face of the box, as a plain loop
// over the soup finds them; two-sided batches give each twice.
TEST(GeoBunchGather, RandomBoxesAgreeWithAPlainReference) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> at(-1, 5);
    for (int round = 0; round < 40; ++round) {
        GeoBunchBuilder soup = kessa_test::latticeSoup(random, 60, 9, 0.5f);
        const bool twoSided = round % 2 == 1;
        orvel::ref_ptr<GeoBunch> bunch = batchOf(soup, round % 4 < 2, !twoSided);
        Vector p(at(random), at(random), at(random)), q(at(random), at(random), at(random));
        Bounds box;
        box.set({std::min(p.x, q.x), std::min(p.y, q.y), std::min(p.z, q.z)},
                {std::max(p.x, q.x), std::max(p.y, q.y), std::max(p.z, q.z)});
        std::vector<Corners> expected;
        for (const GeoBunchBuilder::Triangle& t : soup.triangles) {
            Corners c = kessa_test::cornersOf(t);
            int outside = 63;
            for (int k = 0; k < 3; ++k) {
                int code = 0;
                for (int axis = 0; axis < 3; ++axis)
                    code |= (c[3 * k + axis] < box.min()[axis] ? 1 : 0) << 2 * axis |
                            (c[3 * k + axis] > box.max()[axis] ? 2 : 0) << 2 * axis;
                outside &= code;
            }
            if (outside)
                continue;
            expected.push_back(c);
            if (twoSided)
                expected.push_back({c[0], c[1], c[2], c[6], c[7], c[8], c[3], c[4], c[5]});
        }
        kessa::TriangleVector gathered;
        bunch->gatherTriangles(box, gathered);
        ASSERT_EQ(gathered.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_TRUE(std::equal(expected[i].begin(), expected[i].end(), gathered[i].p));
    }
    // The count walked: strip lengths, and the plain indices of an indexed batch.
    GeoBunch strips;
    strips.setVertexData(kessa_test::row(12), true);
    strips.setStripData(kessa_test::strips({4, -5}));
    kessa::TriangleVector out;
    EXPECT_EQ(strips.gatherTriangles(kessa_test::box({-1, -1, -1}, {20, 1, 1}), out), 9u);
    strips.setIndexData(kessa_test::indices({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(strips.gatherTriangles(kessa_test::box({-1, -1, -1}, {20, 1, 1}), out), 12u);
}

// The branch: the nearest batch the filter leaves in is named.
TEST(GeometryBranchRay, TheNearestBatchNotFilteredOutIsNamed) {
    kessa::GeometryBranch branch;
    for (float z : {0.f, 0.5f}) {
        GeoBunchBuilder b;
        b.triangles.push_back(triangle({0, 0, z}, {1, 0, z}, {0, 1, z}));
        branch.addTriangles(b);
    }
    struct SkipOne : kessa::BunchFilter {
        const GeoBunch* skipped = nullptr;
        bool skip(const GeoBunch& b) override { return &b == skipped; }
    } filter;
    const Ray ray = rayFrom({0.25, 0.25, 1}, {0.25, 0.25, -1});
    for (std::size_t skipped : {0u, 1u}) {
        filter.skipped = branch.bunches()[skipped];
        RayHit hit;
        EXPECT_TRUE(branch.intersectRay(ray, hit, false, &filter));
        EXPECT_EQ(hit.bunch, branch.bunches()[1 - skipped]);
        EXPECT_DOUBLE_EQ(hit.distance, skipped ? 1 : 0.5);
    }
    kessa::TriangleVector out;
    EXPECT_EQ(branch.gatherTriangles(kessa_test::box({0, 0, 0}, {1, 1, 1}), out, &filter), 3u);
    EXPECT_EQ(out.size(), 1u);
}

}  // namespace
