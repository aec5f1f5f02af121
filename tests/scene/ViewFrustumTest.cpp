// The six planes of the default viewer's frustum against values worked out by
// hand, and the sphere, box and corner passes of the bounds test.
#include <gtest/gtest.h>

#include "scene/Bounds.h"
#include "scene/Matrix.h"
#include "scene/render/Viewer.h"
#include "tests/scene/SceneTestUtil.h"

using kessa::Bounds;
using kessa::Matrix;
using kessa::Vector;
using kessa::Viewer;
using kessa::ViewFrustum;
using kessa_test::box;

namespace {

::testing::AssertionResult planeNear(const ViewFrustum& f, int i, std::initializer_list<double> expected) {
    const double* p = f.plane(i);
    int k = 0;
    for (double e : expected) {
        if (!(std::fabs(p[k] - e) <= 1e-7))
            return ::testing::AssertionFailure() << "plane " << i << ": {" << p[0] << ", " << p[1] << ", " << p[2]
                                                 << ", " << p[3] << "}";
        ++k;
    }
    return ::testing::AssertionSuccess();
}

ViewFrustum defaultFrustum() {
    Viewer v;
    return v.frustum();
}

}  // namespace

TEST(ViewFrustumTest, ClearedFrustum) {
    ViewFrustum f;
    EXPECT_EQ(f.enabledMask(), 0u);
    EXPECT_EQ(f.activeMask(), 0u);
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(planeNear(f, i, {0, 0, 0, 1}));
    EXPECT_EQ(f.corner(7), Vector());
    EXPECT_EQ(f.boxMax(), Vector());
    // Nothing to test: not culled, whatever the bounds.
    EXPECT_FALSE(f.test(Bounds(), 0));
}

TEST(ViewFrustumTest, PlanesOfTheDefaultViewer) {
    ViewFrustum f = defaultFrustum();
    EXPECT_EQ(f.enabledMask(), ViewFrustum::allPlanes);
    EXPECT_EQ(f.activeMask(), ViewFrustum::allPlanes);
    EXPECT_TRUE(planeNear(f, ViewFrustum::nearPlane, {1, 0, -1, 0}));
    EXPECT_TRUE(planeNear(f, ViewFrustum::firstColumn, {0, -0.9238795, -0.3826834, 0}));
    EXPECT_TRUE(planeNear(f, ViewFrustum::firstRow, {0, 0, -0.3826834, -0.9238795}));
    EXPECT_TRUE(planeNear(f, ViewFrustum::farPlane, {-1000, 0, 1, 0}));
    // One pixel short of the window's last column and row.
    EXPECT_TRUE(planeNear(f, ViewFrustum::lastColumn, {0, 0.9265702, -0.3761220, 0}));
    EXPECT_TRUE(planeNear(f, ViewFrustum::lastRow, {0, 0, -0.3761220, 0.9265702}));
    // The near plane's cross product is already of unit length: kept exactly.
    EXPECT_EQ(f.plane(ViewFrustum::nearPlane)[0], 1);
    EXPECT_EQ(f.plane(ViewFrustum::nearPlane)[2], -1);
    // A wide window.
    Viewer v;
    v.setWindowSize(200, 100);
    EXPECT_TRUE(planeNear(v.frustum(), ViewFrustum::firstColumn, {0, -0.7700762, -0.6379520, 0}));
    EXPECT_TRUE(planeNear(v.frustum(), ViewFrustum::lastColumn, {0, 0.7732136, -0.6341456, 0}));
}

TEST(ViewFrustumTest, CornersAndBoxComeFromThePickRays) {
    ViewFrustum f = defaultFrustum();
    const double t = 0.41421356237309503, t99 = t * 49 / 50;
    EXPECT_TRUE(kessa_test::vectorNear(f.corner(0), Vector(-t, 1, -t), 1e-12));
    EXPECT_TRUE(kessa_test::vectorNear(f.corner(3), Vector(-t * 1000, 1000, t99 * 1000), 1e-9));
    EXPECT_TRUE(kessa_test::vectorNear(f.corner(6), Vector(t99, 1, t99), 1e-12));
    EXPECT_TRUE(kessa_test::vectorNear(f.boxMin(), Vector(-t * 1000, 1, -t * 1000), 1e-9));
    EXPECT_TRUE(kessa_test::vectorNear(f.boxMax(), Vector(t99 * 1000, 1000, t99 * 1000), 1e-9));
}

// Empty bounds are culled, and so are bounds behind the camera, beyond the
// far plane or off to the side; a sphere wholly inside switches testing off,
// and bounds crossing the near plane keep the mask.
TEST(ViewFrustumTest, SpherePassOfTheBoundsTest) {
    Bounds empty = box(Vector(-1, 9, -1), Vector(1, 11, 1));
    empty.clear();
    const unsigned all = ViewFrustum::allPlanes;
    struct Row {
        Bounds bounds;
        unsigned mask;
        bool culled;
        unsigned activeAfter;  // when kept
    } rows[] = {
        {empty, all, true, 0},
        {box(Vector(-1, 9, -1), Vector(1, 11, 1)), all, false, 0},
        {box(Vector(-1, -0.5, -1), Vector(1, 1.5, 1)), 5, false, 5},
        {box(Vector(-1, -6, -1), Vector(1, -4, 1)), all, true, 0},
        {box(Vector(-1, 1002, -1), Vector(1, 1004, 1)), all, true, 0},
        {box(Vector(-40, 10, -1), Vector(-20, 12, 1)), all, true, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.bounds.max().y);
        ViewFrustum f = defaultFrustum();
        EXPECT_EQ(f.test(r.bounds, r.mask), r.culled);
        if (!r.culled) {
            EXPECT_EQ(f.activeMask(), r.activeAfter);
        }
    }
}

TEST(ViewFrustumTest, ASphereTouchingAPlaneFromOutsideIsLeftToTheCorners) {
    ViewFrustum f = defaultFrustum();
    // s equals the radius at the near plane: the sphere pass lets it through,
    // but no corner of the box lies inside the near plane.
    Bounds touching = box(Vector(-1, -1, -1), Vector(1, 1, 1));
    touching.setSphere(Vector(0, 0, 0), 1);
    EXPECT_TRUE(f.test(touching, ViewFrustum::allPlanes));
    // A box reaching past the near plane is kept.
    Bounds reaching = box(Vector(-1, -1, -1), Vector(1, 1.01, 1));
    reaching.setSphere(Vector(0, 0, 0), 1);
    EXPECT_FALSE(f.test(reaching, ViewFrustum::allPlanes));
}

TEST(ViewFrustumTest, BoxesOutsideTheFrustumBoxAreCulled) {
    ViewFrustum f = defaultFrustum();
    // A sphere that crosses the near plane but a box far above everything.
    Bounds b = box(Vector(-1, -1, 2000), Vector(1, 1, 2001));
    b.setSphere(Vector(0, 0.5, 0), 1);
    ViewFrustum::resetTestCount();
    EXPECT_TRUE(f.test(b, ViewFrustum::allPlanes));
    EXPECT_EQ(ViewFrustum::testCount(), 1);
}

TEST(ViewFrustumTest, CountsTests) {
    ViewFrustum f = defaultFrustum();
    ViewFrustum::resetTestCount();
    f.test(box(Vector(-1, 9, -1), Vector(1, 11, 1)), 0);
    EXPECT_EQ(ViewFrustum::testCount(), 0);
    f.test(box(Vector(-1, 9, -1), Vector(1, 11, 1)), ViewFrustum::allPlanes);
    f.test(box(Vector(-1, -6, -1), Vector(1, -4, 1)), ViewFrustum::allPlanes);
    EXPECT_EQ(ViewFrustum::testCount(), 2);
    // Decided by the corners: not counted.
    f.test(box(Vector(-1, -0.5, -1), Vector(1, 1.5, 1)), ViewFrustum::allPlanes);
    EXPECT_EQ(ViewFrustum::testCount(), 2);
}

TEST(ViewFrustumTest, TransformMovesTheFrustumIntoLocalSpace) {
    ViewFrustum camera = defaultFrustum();
    // A level whose origin sits 20 units ahead of the camera and is turned a
    // quarter about z: local to camera is R x T, the frustum moves by its inverse.
    Matrix toCamera, toLocal;
    toCamera.setRotation(90, Vector(0, 0, 1));
    toCamera.translate(Vector(0, 20, 0));
    toCamera.invert(toLocal);
    ViewFrustum local;
    local.transform(camera, toLocal);
    EXPECT_EQ(local.enabledMask(), ViewFrustum::allPlanes);
    Vector nearCorner;
    Matrix::transformPoint(nearCorner, camera.corner(0), toLocal);
    EXPECT_TRUE(kessa_test::vectorNear(local.corner(0), nearCorner, 1e-12));
    // The local origin is inside, wholly.
    EXPECT_FALSE(local.test(box(Vector(-1, -1, -1), Vector(1, 1, 1)), ViewFrustum::allPlanes));
    EXPECT_EQ(local.activeMask(), 0u);
    // Local x is camera y: 25 units back along it is behind the camera, 25
    // units ahead is well inside.
    EXPECT_TRUE(local.test(box(Vector(-26, -1, -1), Vector(-24, 1, 1)), ViewFrustum::allPlanes));
    EXPECT_FALSE(local.test(box(Vector(24, -1, -1), Vector(26, 1, 1)), ViewFrustum::allPlanes));
    // Each plane agrees with the camera frustum's for a point moved along.
    Vector p(3, 40, -2), q;
    Matrix::transformPoint(q, p, toLocal);
    for (int i = 0; i < 6; ++i) {
        const double *a = camera.plane(i), *b = local.plane(i);
        EXPECT_NEAR(a[0] + a[1] * p.x + a[2] * p.y + a[3] * p.z, b[0] + b[1] * q.x + b[2] * q.y + b[3] * q.z, 1e-9);
    }
}

TEST(ViewFrustumTest, TransformingAClearedFrustumCopiesOnlyItsMask) {
    ViewFrustum built = defaultFrustum();
    ViewFrustum cleared;
    Matrix m;
    m.setTranslation(Vector(1, 2, 3));
    built.transform(cleared, m);
    EXPECT_EQ(built.enabledMask(), 0u);
    EXPECT_EQ(built.activeMask(), ViewFrustum::allPlanes);
    EXPECT_TRUE(planeNear(built, ViewFrustum::nearPlane, {1, 0, -1, 0}));
}

// A mirrored level (an instance or joint with a negative determinant) turns
// the corners the other way round: its planes, and those of the plain levels
// below it, must still face outwards.
TEST(ViewFrustumTest, PlanesFaceOutwardsWhateverTheHandedness) {
    const ViewFrustum camera = defaultFrustum();
    // Across the first column's plane 50 ahead, and behind the camera.
    const Bounds crossing = box(Vector(-22, 48, -2), Vector(-18, 52, 2));
    const Bounds behind = box(Vector(-2, -52, -2), Vector(2, -48, 2));
    Matrix step, stepInverse;
    step.setRotation(20, Vector(0, 0, 1));
    step.translate(Vector(1, -2, 3));
    step.invert(stepInverse);
    for (const Vector& scale :
         {Vector(1, 1, 1), Vector(-1, 1, 1), Vector(1, -2, 1), Vector(-1, -1, -1), Vector(-1, -1, 3)}) {
        Matrix level, below, toLevel, toBelow;
        level.setRotation(35, Vector(1, 2, 3));
        level.preScale(scale);
        level.translate(Vector(3, 10, -4));
        below.multiply(step, level);
        level.invert(toLevel);
        below.invert(toBelow);
        ViewFrustum inLevel, inBelow;
        inLevel.transform(camera, toLevel);
        inBelow.transform(inLevel, stepInverse);
        for (int depth = 0; depth < 2; ++depth) {
            SCOPED_TRACE(testing::Message() << "scale (" << scale.x << ", " << scale.y << ", " << scale.z
                                            << "), depth " << depth);
            ViewFrustum& f = depth ? inBelow : inLevel;
            const Matrix& toLocal = depth ? toBelow : toLevel;
            Bounds moved;
            moved.setTransformed(crossing, toLocal);
            EXPECT_FALSE(f.test(moved, ViewFrustum::allPlanes));
            moved.setTransformed(behind, toLocal);
            EXPECT_TRUE(f.test(moved, ViewFrustum::allPlanes));
            // A point lies on the same side of each plane in both spaces.
            for (const Vector& p : {Vector(0, 50, 0), Vector(-30, 50, 0), Vector(0, 50, 30), Vector(0, 2000, 0)}) {
                Vector q;
                Matrix::transformPoint(q, p, toLocal);
                for (int i = 0; i < 6; ++i) {
                    const double *a = camera.plane(i), *b = f.plane(i);
                    EXPECT_EQ(a[0] + a[1] * p.x + a[2] * p.y + a[3] * p.z > 0,
                              b[0] + b[1] * q.x + b[2] * q.y + b[3] * q.z > 0)
                        << "plane " << i << " at (" << p.x << ", " << p.y << ", " << p.z << ")";
                }
            }
        }
    }
}
